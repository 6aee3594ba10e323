#include "cli/cli.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/camera_transport.h"
#include "app/telescope_ports.h"
#include "cli/guide_commands.h"
#include "cli/scope_commands.h"
#include "cli/stack_command.h"
#include "cli/steps.h"
#include "cli/subcommands.h"
#include "platform/basic_ports.h"
#include "platform/stepping_clock.h"

namespace tarvex::cli {

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  tarvex-cli [--data-root DIR] process INPUT [--do STEP]... [--save-raw OUT]\n"
    "             [--save-flat OUT] [--save-tiff OUT] [--bitmap OUT] [--save-fits OUT]\n"
    "             [--fits-unsigned] [--fits KEY=VALUE]...\n"
    "             [--export-fits OUT] [--export-fits-float OUT] [--export-tiff16 OUT]\n"
    "             [--now \"YYYY-MM-DD HH:MM:SS\"]\n"
    "  tarvex-cli [--data-root DIR] info INPUT\n"
    "  tarvex-cli steps\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] camera-info\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] read-field [--exposure MS]\n"
    "             [--save-raw OUT]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] focus-frame [--exposure MS]\n"
    "             [--save-raw OUT]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] capture [--range q|h|t|s|m]\n"
    "             [--value N] [--mode fast|progressive|interlaced] [--count N] [--average]\n"
    "             [--alt-slew] [--continuous] [--delay MIN] [--countdown] [--dark FILE]\n"
    "             [--auto-dark] [--colour] [--autosave] [--beep] [--star X,Y]\n"
    "             [--self-guide [--half-time] [--guide-range q|h|t|s] [--guide-value N]]\n"
    "             [--save-raw OUT] [--save-fits OUT] [--save-tiff OUT]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] focus [--frames N]\n"
    "             [--range q|h|t|s] [--value N] [--centre X,Y]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] train [--star X,Y]\n"
    "             [--guide-range q|h|t|s] [--guide-value N]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] guide [--minutes M]\n"
    "             [--star X,Y] [--guide-range q|h|t|s] [--guide-value N]\n"
    "             [--fits focal-length=INCHES]\n"
    "  tarvex-cli [--data-root DIR] [--simulator [--virtual-time]] scope [--port N]\n"
    "             [--link l|b|n] goto-messier N | goto-ngc N | goto-planet NAME |\n"
    "             goto HH:MM [-]DD:MM | move n|s|e|w MS [--rate guide|centre|find|slew] |\n"
    "             pulse n|s|e|w MS | focus in|out MS [--fast] | info | reset-box\n"
    "  tarvex-cli --simulator mount-sim [--silent | --garbage] [--reply-delay MS] [--for MS]\n"
    "INPUT is a KR File or FITS file, or 'ramp' for the start-up ramp.\n"
    "STEP is name or name:key=value,key=value (see 'tarvex-cli steps').\n"
    "--fits sets the FITS text record after INPUT is read; KEY is one of\n"
    "  object, observer, telescope, instrument, origin, date, time, filter,\n"
    "  history, comment, exposure, focal-length, aperture.\n"
    "--export-fits and --export-fits-float write a standard FITS file (16-bit\n"
    "  integers, or 32-bit floating point) that any FITS reader opens;\n"
    "  --export-tiff16 a 16-bit grey or 48-bit colour TIFF file.\n"
    "--simulator uses the simulated camera instead of the one on USB; --virtual-time\n"
    "  runs its clock virtually, so a long sequence finishes in seconds; --sky chart\n"
    "  shows it a colour chart instead of the night sky (--sky stars);\n"
    "--exposure is in milliseconds (default 100).\n"
    "capture takes an exposure or a sequence as the camera dialog's settings of the\n"
    "  same names say (for this run only): --range and --value give the exposure\n"
    "  (thousandths, hundredths, tenths, seconds or minutes; default 1 s), --count\n"
    "  up to 20 exposures registered on a star and summed (--star X,Y: the star,\n"
    "  found near there; --average: averaged; --alt-slew: registered on\n"
    "  brightness profiles instead), --continuous repeats with\n"
    "  --delay minutes between, --countdown waits ten seconds first, --auto-dark\n"
    "  subtracts the dark frame (--dark FILE, default dark.def in the data folder),\n"
    "  --colour converts to colour, --autosave saves each result as the next FITS\n"
    "  file of the series, --beep beeps after each exposure. Ctrl-C stops the run.\n"
    "  --self-guide guides the exposures on the star (--star X,Y, else the brightest\n"
    "  one found) with guide frames of --guide-range/--guide-value (default 1 s) and\n"
    "  prints a guiding line per exposure; --half-time reads the first field at half\n"
    "  time. --continuous takes single exposures: it does not go with --count.\n"
    "focus runs the focus mode on the 128 x 128 focus window (centred near --centre,\n"
    "  else where the camera dialog keeps it) for --frames frames (default 10) and\n"
    "  prints one line per frame: its peak and the star's full width at half maximum.\n"
    "train measures the mount's guide rates and backlash and saves them; guide holds\n"
    "  the star (--star X,Y, else the brightest one found) for M minutes (default 1),\n"
    "  a line per correction and the RMS of both axes at the end (also in arcseconds\n"
    "  when the focal length is given); guide frames of --guide-range/--guide-value\n"
    "  (default 1 s). Ctrl-C ends guiding after the current frame.\n"
    "scope drives the mount over the Com Port (see 'tarvex-cli scope --help');\n"
    "  mount-sim serves the simulated mount on a pseudo-terminal for other programs.\n";

// The subcommands. Those that check --exposure themselves say so; every
// other one (and a missing or unknown command) refuses it first.
struct SubcommandEntry {
  const char* name;
  Subcommand run;
  bool checks_exposure;
};

constexpr SubcommandEntry kSubcommands[] = {
    {"process", process_command, false},
    {"info", info_command, false},
    {"steps", steps_command, true},  // lists the steps whatever else was given
    {"camera-info", camera_info_command, true},
    {"read-field", read_field_command, true},
    {"focus-frame", focus_frame_command, true},
    {"capture", capture_command, true},
    {"train", train_command, false},
    {"guide", guide_command, false},
    {"focus", focus_command, false},
};

const SubcommandEntry* find_subcommand(const std::string& name) {
  for (const auto& s : kSubcommands)
    if (name == s.name) return &s;
  return nullptr;
}

// Parses "YYYY-MM-DD HH:MM:SS" as a local calendar time.
std::optional<std::tm> parse_time(const std::string& text) {
  std::tm t{};
  int y, mo, d, h, mi, s;
  char tail;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
    return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 ||
      s > 60 || y < 1 || y > 9999) {
    return std::nullopt;
  }
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  return t;
}

// Reads the arguments into `o`. Returns an exit status when the run ends
// here (a usage error, or --help), nothing when a subcommand is to run.
std::optional<int> parse_options(const std::vector<std::string>& args, Options& o,
                                 std::ostream& out, std::ostream& err) {
  std::size_t i = 0;
  auto need_value = [&](std::string& value) {
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
  };
  // An option that names one file or value may be given once: a second one
  // would silently replace the first.
  auto given_twice = [&](const std::string& option, bool already) {
    return already ? std::optional<int>(usage_error(err, option + " may be given only once"))
                   : std::nullopt;
  };
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
    if (a == "--data-root") {
      if (const auto twice = given_twice(a, o.data_root.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--data-root needs a folder");
      o.data_root = v;
    } else if (a == "--do") {
      if (!need_value(v)) return usage_error(err, "--do needs a step");
      o.steps.push_back(v);
    } else if (a == "--save-raw") {
      if (const auto twice = given_twice(a, o.save_raw.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-raw needs a file name");
      o.save_raw = v;
    } else if (a == "--save-flat") {
      if (const auto twice = given_twice(a, o.save_flat.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-flat needs a file name");
      o.save_flat = v;
    } else if (a == "--save-tiff") {
      if (const auto twice = given_twice(a, o.save_tiff.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-tiff needs a file name");
      o.save_tiff = v;
    } else if (a == "--now") {
      if (const auto twice = given_twice(a, o.now.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--now needs a time");
      o.now = parse_time(v);
      if (!o.now) return usage_error(err, "--now needs \"YYYY-MM-DD HH:MM:SS\", not '" + v + "'");
    } else if (a == "--bitmap") {
      if (const auto twice = given_twice(a, o.bitmap.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--bitmap needs a file name");
      o.bitmap = v;
    } else if (a == "--simulator") {
      o.simulator = true;
    } else if (a == "--sky") {
      if (!need_value(v) || !parse_sky_scene(v, o.sky))
        return usage_error(err, "--sky needs stars or chart");
      o.sky_given = true;
    } else if (a == "--virtual-time") {
      o.virtual_time = true;
    } else if (a == "--exposure") {
      if (const auto twice = given_twice(a, o.exposure_ms.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--exposure needs milliseconds");
      const auto ms = parse_whole_number(v);
      if (!ms || *ms < 1 || *ms > 65535)
        return usage_error(err, "--exposure needs milliseconds from 1 to 65535, not " + v);
      o.exposure_ms = *ms;
    } else if (a == "--save-fits") {
      if (const auto twice = given_twice(a, o.save_fits.has_value())) return twice;
      if (!need_value(v)) return usage_error(err, "--save-fits needs a file name");
      o.save_fits = v;
    } else if (a == "--export-fits") {
      if (!need_value(v)) return usage_error(err, "--export-fits needs a file name");
      o.export_fits = v;
    } else if (a == "--export-fits-float") {
      if (!need_value(v)) return usage_error(err, "--export-fits-float needs a file name");
      o.export_fits_float = v;
    } else if (a == "--export-tiff16") {
      if (!need_value(v)) return usage_error(err, "--export-tiff16 needs a file name");
      o.export_tiff16 = v;
    } else if (a == "--fits-unsigned") {
      o.fits_unsigned = true;
    } else if (a == "--fits") {
      if (!need_value(v)) return usage_error(err, "--fits needs KEY=VALUE");
      o.fits_keys.push_back(v);
    } else if (const OptionRead r = read_capture_option(
                   a,
                   [&]() -> std::optional<std::string> {
                     if (i + 1 >= args.size()) return std::nullopt;
                     return args[++i];
                   },
                   o.capture, v);
               r != OptionRead::NotCapture) {
      if (r == OptionRead::Bad) return usage_error(err, v);
    } else if (a == "--help" || a == "-h") {
      out << kUsage;
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      return usage_error(err, "unknown option " + a);
    } else if (o.command.empty()) {
      o.command = a;
    } else if (o.input.empty()) {
      o.input = a;
    } else {
      return usage_error(err, "unexpected argument " + a);
    }
  }
  return std::nullopt;
}

}  // namespace

int usage_error(std::ostream& err, const std::string& what) {
  err << "tarvex-cli: " << what << "\n" << kUsage;
  return 2;
}

int with_context(const Options& o, std::ostream& err, const std::function<int(Tarvex&)>& body,
                 EventPump* pump, Progress* progress) {
  StderrMessages messages(err);
  std::unique_ptr<Clock> base;
  VirtualClock* virtual_clock = nullptr;
  if (o.virtual_time) {
    auto v = std::make_unique<VirtualClock>();
    v->set_wall_time(std::time(nullptr));
    virtual_clock = v.get();
    base = std::move(v);
  } else if (o.now) {
    base = std::make_unique<FixedWallClock>(*o.now);
  } else {
    base = std::make_unique<SteadyClock>();
  }
  // The simulated mount takes its turn whenever the program reads the clock.
  SteppingClock clock(*base);
  NullPump null_pump;
  NullProgress null_progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  const std::unique_ptr<UsbTransport> usb = make_camera_transport(o.simulator, clock, o.sky);
  const Paths paths = o.data_root ? Paths(*o.data_root) : Paths::from_environment();
  TelescopePorts telescope;
  std::string error;
  if (!make_telescope_ports(o.simulator, clock, paths, telescope, error)) {
    err << "tarvex-cli: " << error << "\n";
    return 1;
  }
  attach_simulated_sky(*usb, telescope);
  Ports ports{
      messages, clock, pump ? *pump : null_pump, progress ? *progress : null_progress, launcher,
      display,  *usb};
  Tarvex app(paths, ports);
  app.telescope.port = telescope.serial.get();

  // Settings first, as at start-up; their result is ignored there too.
  load_settings_at_start(app.paths.settings_file(), app.settings, app.fits, app.ports.messages);
  remove_stale_temporary_files(app);
  // A virtual clock's wall time starts at --now, read in the zone the
  // settings have just set.
  if (virtual_clock != nullptr && o.now) {
    std::tm t = *o.now;
    t.tm_isdst = -1;
    virtual_clock->set_wall_time(std::mktime(&t));
  }
  init_frame_store(app.store());
  return body(app);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (is_scope_invocation(args)) return run_scope_cli(args, out, err);
  if (is_stack_invocation(args)) return run_stack_cli(args, out, err);
  Options o;
  if (const auto status = parse_options(args, o, out, err)) return *status;
  const SubcommandEntry* subcommand = find_subcommand(o.command);
  if (o.exposure_ms && !(subcommand && subcommand->checks_exposure))
    return usage_error(err, "--exposure belongs to read-field and focus-frame");
  if (!o.capture.given.empty() && o.command != "capture" && o.command != "train" &&
      o.command != "guide" && o.command != "focus")
    return usage_error(err, o.capture.given.front() + " belongs to capture");
  if (o.sky_given && !o.simulator)
    return usage_error(err, "--sky chooses what the simulated camera sees: add --simulator");
  if (o.virtual_time && !o.simulator)
    return usage_error(err, "--virtual-time runs the simulated camera's clock: add --simulator");
  if (subcommand == nullptr)
    return usage_error(err,
                       o.command.empty() ? "no command given" : "unknown command " + o.command);
  return subcommand->run(o, out, err);
}

}  // namespace tarvex::cli
