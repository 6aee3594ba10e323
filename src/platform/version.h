// The program's version, as the build gives it (the project version in
// CMakeLists.txt). Shown by `tarvex --version`, Help > About and written into
// exported files.
#pragma once

#ifndef TARVEX_VERSION
#define TARVEX_VERSION "unknown"
#endif

namespace tarvex {

inline constexpr const char* PROGRAM_VERSION = TARVEX_VERSION;

}  // namespace tarvex
