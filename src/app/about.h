// The text of Help > About: the program's version, the libraries it uses
// with their licences, and the data folder where it keeps its files.
#pragma once

#include <string>

#include "platform/paths.h"

namespace tarvex {

// `toolkit_version` is the version of the window toolkit the program runs
// on (the Qt version), which only the window knows.
std::string about_text(const Paths& paths, const std::string& toolkit_version);

}  // namespace tarvex
