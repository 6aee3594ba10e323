// The command line of the tarvex program:
//   tarvex [--simulator [--sky stars|chart]] [--screenshot PNG] [FILE]
//   tarvex --help | --version
// --help and --version are answered before any window (or display) is
// needed; FILE is opened as File > Open opens it (the desktop entry passes
// the file a user opened with Tarvex). Qt's own options (-platform, -style,
// ...) are taken by Qt before these are read.
#pragma once

#include <string>
#include <vector>

namespace tarvex::ui {

struct LaunchOptions {
  bool help = false;
  bool version = false;
  bool simulator = false;
  std::string sky;         // --sky: "stars" or "chart", empty when not given
  std::string screenshot;  // save a picture of the window there, then stop
  std::string file;        // the file to open
  std::string error;       // a usage error, when the line could not be read
};

// Only looks for --help (-h) and --version, which need no display; every
// other argument is left for parse_launch_arguments once Qt took its own.
LaunchOptions early_launch_options(const std::vector<std::string>& args);

// Reads the arguments after the program name (with Qt's options removed).
// "--" ends the options, so a file whose name starts with '-' can be opened.
LaunchOptions parse_launch_arguments(const std::vector<std::string>& args);

// The text of --help.
std::string launch_usage();
// The text of --version: "tarvex 0.1".
std::string launch_version();

}  // namespace tarvex::ui
