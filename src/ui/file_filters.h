// The name filters of the window's file-open dialogs. The raw entry of the
// program's filters ("Velquor (~*.)") lists every name a raw save writes
// under it: the convention's leading '~', and the plain name a user types
// with no extension ("MyDark"), which the '~*' pattern alone would hide.
#pragma once

#include <QFileDialog>
#include <QString>

namespace tarvex::ui {

// Sets `filter` (the program's "description|pattern|..." form) as the
// dialog's name filters and selects entry `initial` (0-based).
void set_open_filters(QFileDialog& dialog, const char* filter, int initial);

}  // namespace tarvex::ui
