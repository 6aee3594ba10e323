// tarvex-cli's command line: the one parser of every subcommand and option,
// the one usage text (tarvex-cli --help) and the one form of a refusal (what
// was wrong, then "see tarvex-cli --help"). The letters of the exposure
// ranges and of the link types are read here and nowhere else in tarvex-cli.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/acquisition.h"
#include "app/indi_choice.h"
#include "app/stack/batch_stack.h"
#include "files/settings_choices.h"
#include "scope/mount.h"
#include "scope/precession.h"
#include "sim/sim_mount.h"
#include "sim/sim_mount_options.h"
#include "sim/sky_renderer.h"

namespace tarvex::cli {

struct CaptureOptions {
  std::optional<ExposureRange> range;
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
  std::optional<ExposureRange> guide_range;
  std::optional<int> guide_value;
  std::optional<int> minutes;  // guide: how long to guide
  // guide --benchmark [--scenario NAME]: the guiding benchmark; guide
  // --unguided: frames without corrections, the star's path printed.
  bool benchmark = false;
  bool unguided = false;
  std::optional<std::string> scenario;
  // focus: how many frames, and the centre of the focus window.
  std::optional<int> frames;
  std::optional<std::pair<int, int>> centre;
  // capture --continuous: the live stack's file and how often it is saved.
  std::optional<std::filesystem::path> live_stack;
  std::optional<int> save_every;
  // capture --self-guide --autosave --dither PX: the reference moves by up to
  // PX pixels between exposures.
  std::optional<double> dither;
  // The capture options given, in order, so other subcommands can refuse them.
  std::vector<std::string> given;
};

// `scope SUBCOMMAND`: what to send the mount.
struct ScopeOptions {
  std::string name;  // goto-messier, goto-ngc, goto-planet, goto, move, ...
  std::optional<int> port;
  std::optional<LinkType> link;
  long number = 0;  // catalogue number or milliseconds
  Direction direction = Direction::East;
  std::string word;  // the direction as given
  bool inward = false;
  bool fast = false;
  std::optional<MoveRate> rate;
  Coordinates target;
  // centre: the go-to that starts it (goto-messier, goto-ngc, goto; the
  // number above, or the J2000 position), the tolerance, the tries and the
  // exposure of its frames.
  std::string centre_goto;
  SkyPosition centre_position;
  double tolerance_arcsec = 30;
  int tries = 3;
  CaptureOptions exposure;
};

// `mount-sim`: how the simulated mount behaves and for how long it serves.
struct MountSimOptions {
  MountBehaviour behaviour = MountBehaviour::Normal;
  long reply_delay_ms = 0;
  long run_for_ms = 0;  // 0: until interrupted
};

// `solve FILE`: the focal length and the hint, when given.
struct SolveOptions {
  std::optional<double> focal_length_mm;
  std::optional<SkyPosition> hint;
  std::optional<double> radius_degrees;
};

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
  // --sim-mount (with --simulator): where the simulated mount points and
  // how, for this run.
  SimMountOptions sim_mount;
  bool sim_mount_given = false;
  std::optional<long> exposure_ms;
  // --indi HOST:PORT --device NAME: the INDI mount this run drives, in place
  // of the mount the settings choose.
  std::optional<IndiMountChoice> indi;
  CaptureOptions capture;
  ScopeOptions scope;
  MountSimOptions mount_sim;
  // `stack`: the lights, masters, method and outputs.
  StackRequest stack;
  SolveOptions solve;
  // Every option given before or after the subcommand, in order.
  std::vector<std::string> given;
};

// A subcommand: returns the exit status (0 done, 1 a command reported a
// failure, 2 a usage error).
using Subcommand = int (*)(const Options& options, std::ostream& out, std::ostream& err);

// Reads the whole command line into `o`. Returns an exit status when the
// run ends here (a refusal, or --help), nothing when a subcommand is to run.
std::optional<int> parse_command_line(const std::vector<std::string>& args, Options& o,
                                      std::ostream& out, std::ostream& err);

// The subcommand the command line names; parse_command_line has refused
// every other name.
Subcommand subcommand_of(const Options& options);

// Prints "tarvex-cli: what" and "see tarvex-cli --help" on the next line
// to `err`; returns 2, the usage-error status.
int usage_error(std::ostream& err, const std::string& what);

// The camera dialog's settings as the options give them: an option not given
// keeps the dialog's default (a range given alone takes that range's first
// value, as the dialog's range buttons do).
void apply_capture_options(const CaptureOptions& options, AcquisitionSettings& settings);

// The link a guiding run uses in place of the settings' `settings_link`:
// under --simulator a link of type none becomes the LX200, so that the
// simulated mount takes the corrections. Nothing when the settings' holds,
// and nothing when the run names an INDI mount.
std::optional<LinkType> guiding_link_override(const Options& options, LinkType settings_link);

}  // namespace tarvex::cli
