// tarvex-cli capture: an exposure or a sequence on the camera (or the
// simulated one), each option the camera dialog's setting of the same name,
// for this run only.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/acquisition.h"

namespace tarvex::cli {

struct CaptureOptions {
  std::optional<char> range;
  std::optional<int> value;
  std::optional<ExposureMode> mode;
  std::optional<int> count;
  std::optional<int> delay_minutes;
  std::optional<std::filesystem::path> dark;
  // The guide star a sum is registered on, as Pick Guide Star marks it.
  std::optional<std::pair<int, int>> star;
  bool average = false;
  bool alternative_slew = false;
  bool continuous = false;
  bool countdown = false;
  bool auto_dark = false;
  bool colour = false;
  bool autosave = false;
  bool beep = false;
  // Self-guiding (the camera dialog's self-guiding controls) and guide runs.
  bool self_guide = false;
  bool half_time = false;
  std::optional<char> guide_range;
  std::optional<int> guide_value;
  std::optional<int> minutes;  // guide: how long to guide
  // focus: how many frames, and the centre of the focus window.
  std::optional<int> frames;
  std::optional<std::pair<int, int>> centre;
  // The capture options given, in order, so other subcommands can refuse them.
  std::vector<std::string> given;
};

enum class OptionRead { NotCapture, Read, Bad };

// Reads one capture option `flag`, taking its value from `next_value` (empty
// when the command line has none left). Bad sets `error`.
OptionRead read_capture_option(const std::string& flag,
                               const std::function<std::optional<std::string>()>& next_value,
                               CaptureOptions& options, std::string& error);

// The camera dialog's settings as the options give them: an option not given
// keeps the dialog's default (a range given alone takes that range's first
// value, as the dialog's range buttons do).
void apply_capture_options(const CaptureOptions& options, AcquisitionSettings& settings);

}  // namespace tarvex::cli
