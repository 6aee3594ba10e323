// The subcommands of tarvex-cli, the options they share and the composition
// root every subcommand that needs the program builds its context with. A
// subcommand is one function: it checks the options it was given (refusing
// what it does not take with a usage error), then runs.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/tarvex.h"
#include "cli/capture_commands.h"
#include "sim/sky_renderer.h"

namespace tarvex::cli {

// The command line as read: the subcommand, its INPUT and every option.
struct Options {
  std::optional<std::filesystem::path> data_root;
  std::string command;
  std::string input;
  std::vector<std::string> steps;
  std::optional<std::filesystem::path> save_raw, save_flat, save_tiff, bitmap, save_fits;
  // File > Export: standard FITS (16-bit or floating point) and 16-bit TIFF.
  std::optional<std::filesystem::path> export_fits, export_fits_float, export_tiff16;
  // --now: a local date and time the run's clock shows as its wall time.
  std::optional<std::tm> now;
  bool fits_unsigned = false;
  std::vector<std::string> fits_keys;
  bool simulator = false;
  // --virtual-time (with --simulator): a virtual clock, on which waits take
  // no time; the simulated camera takes its read time and the exposures
  // theirs on it, so a long sequence finishes in seconds.
  bool virtual_time = false;
  // --sky (with --simulator): what the simulated camera looks at.
  SkyScene sky = SkyScene::Stars;
  bool sky_given = false;
  std::optional<long> exposure_ms;
  CaptureOptions capture;
};

// Prints "tarvex-cli: what" and the usage text to `err`; returns 2, the
// usage-error status.
int usage_error(std::ostream& err, const std::string& what);

// The composition root: makes the run's ports once (messages to `err`, the
// one clock, with the wall time fixed by --now, the camera transport and the
// serial port chosen by --simulator), the context over them, loads the
// settings as at start-up and runs `body` on the context. Returns what
// `body` returns. A subcommand that reports progress or listens for a stop
// passes its own pump and progress window; the others get silent ones.
int with_context(const Options& options, std::ostream& err, const std::function<int(Tarvex&)>& body,
                 EventPump* pump = nullptr, Progress* progress = nullptr);

// A subcommand: returns the exit status (0 done, 1 a command reported a
// failure, 2 a usage error).
using Subcommand = int (*)(const Options& options, std::ostream& out, std::ostream& err);

// Image files (batch_commands.cpp).
int process_command(const Options& options, std::ostream& out, std::ostream& err);
int info_command(const Options& options, std::ostream& out, std::ostream& err);
int steps_command(const Options& options, std::ostream& out, std::ostream& err);

// Camera diagnostics (camera_commands.cpp).
int camera_info_command(const Options& options, std::ostream& out, std::ostream& err);
int read_field_command(const Options& options, std::ostream& out, std::ostream& err);
int focus_frame_command(const Options& options, std::ostream& out, std::ostream& err);

// Exposures and sequences (capture_commands.cpp).
int capture_command(const Options& options, std::ostream& out, std::ostream& err);

// Focus mode without the window (focus_commands.cpp).
int focus_command(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace tarvex::cli
