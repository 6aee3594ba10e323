// The tool bar's icons, drawn by the program itself.
#pragma once

#include <QIcon>

namespace tarvex::ui {

// The icon of a tool-bar bitmap id (24333 Save, 1000 camera, ...).
QIcon tool_icon(int bitmap);

}  // namespace tarvex::ui
