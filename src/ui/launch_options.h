// The command line of the tarvex program:
//   tarvex [--simulator [--sky stars|chart|real] [--sim-mount KEY=VALUE,...]]
//          [--screenshot PNG] [FILE]
//   tarvex --help | --version
// --help and --version are answered before any window (or display) is
// needed; FILE is opened as File > Open opens it (the desktop entry passes
// the file a user opened with Tarvex). Qt's own options (-platform, -style,
// ...) are taken by Qt before the line is read for the window.
#pragma once

#include <string>
#include <vector>

#include "app/camera_transport.h"

namespace tarvex::ui {

struct LaunchOptions {
  bool help = false;
  bool version = false;
  bool simulator = false;
  std::string sky;                       // --sky: "stars", "chart" or "real", empty when not given
  SkyScene sky_scene = SkyScene::Stars;  // what the simulated camera looks at
  SimMountOptions sim_mount;             // --sim-mount: how the simulated mount is set up
  bool sim_mount_given = false;
  std::string screenshot;  // save a picture of the window there, then stop
  std::string file;        // the file to open
  std::string error;       // the first usage error, when the line could not be read
};

// Reads the arguments after the program name (with Qt's options removed).
// "--" ends the options, so a file whose name starts with '-' can be opened.
// After a usage error the rest of the line is still read, so --help or
// --version behind a wrong option is still seen.
LaunchOptions parse_launch_arguments(const std::vector<std::string>& args);

// The same reading before Qt has taken its own options out of the line:
// only --help (-h) and --version, which need no display, are kept; Qt's
// options may look like errors or a file here, so nothing else is.
LaunchOptions early_launch_options(const std::vector<std::string>& args);

// The text of --help.
std::string launch_usage();
// The text of --version: "tarvex 0.1".
std::string launch_version();

}  // namespace tarvex::ui
