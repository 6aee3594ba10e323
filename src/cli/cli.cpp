#include "cli/cli.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/fits_commands.h"
#include "app/tarvex.h"
#include "app/camera_transport.h"
#include "cli/camera_commands.h"
#include "cli/fits_keys.h"
#include "cli/scope_commands.h"
#include "cli/steps.h"
#include "files/raw_file.h"
#include "platform/basic_ports.h"
#include "platform/file_io.h"

namespace tarvex::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  tarvex-cli [--data-root DIR] process INPUT [--do STEP]... [--save-raw OUT]\n"
    "             [--save-flat OUT] [--save-tiff OUT] [--bitmap OUT] [--save-fits OUT]\n"
    "             [--fits-unsigned] [--fits KEY=VALUE]...\n"
    "             [--now \"YYYY-MM-DD HH:MM:SS\"]\n"
    "  tarvex-cli [--data-root DIR] info INPUT\n"
    "  tarvex-cli steps\n"
    "  tarvex-cli [--data-root DIR] [--simulator] camera-info\n"
    "  tarvex-cli [--data-root DIR] [--simulator] read-field [--exposure MS] [--save-raw OUT]\n"
    "  tarvex-cli [--data-root DIR] [--simulator] focus-frame [--exposure MS] [--save-raw OUT]\n"
    "INPUT is a KR File or FITS file, or 'ramp' for the start-up ramp.\n"
    "STEP is name or name:key=value,key=value (see 'tarvex-cli steps').\n"
    "--fits sets the FITS text record after INPUT is read; KEY is one of\n"
    "  object, observer, telescope, instrument, origin, date, time, filter,\n"
    "  history, comment, exposure, focal-length, aperture.\n"
    "--simulator uses the simulated camera instead of the one on USB;\n"
    "--exposure is in milliseconds (default 100).\n";

// Messages go to the error stream as "message N: text".
class StreamMessages : public Messages {
 public:
  explicit StreamMessages(std::ostream& err) : err_(err) {}
  int message(unsigned code, const std::string& text) override {
    err_ << "message " << code << ": " << text << "\n";
    return 0;
  }
  int box(const std::string& caption, const std::string& text, BoxIcon) override {
    err_ << (caption.empty() ? std::string() : caption + ": ") << text << "\n";
    return 0;
  }
  // Nothing can be confirmed without a person at the keyboard.
  bool ask_yes_no(const std::string& caption, const std::string& text) override {
    err_ << caption << ": " << text << " -> no\n";
    return false;
  }

 private:
  std::ostream& err_;
};

// The CLI's progress window: silent.
class QuietProgress : public Progress {
 public:
  void open(const std::string&) override {}
  void set_position(int) override {}
  void close() override {}
  void busy_cursor(bool) override {}
};

class QuietDisplay : public DisplaySink {
 public:
  void set_title(const std::string& t) override { title = t; }
  void reload_bitmap(const std::string&, bool) override {}
  std::string title;
};

struct Options {
  std::optional<fs::path> data_root;
  std::string command;
  std::string input;
  std::vector<std::string> steps;
  std::optional<fs::path> save_raw, save_flat, save_tiff, bitmap, save_fits;
  std::optional<std::tm> now;
  bool fits_unsigned = false;
  std::vector<std::string> fits_keys;
  bool simulator = false;
  std::optional<long> exposure_ms;
};

bool copy_file_atomically(const fs::path& from, const fs::path& to) {
  InputFile in;
  if (!in.open(from)) return false;
  std::vector<char> data(static_cast<std::size_t>(in.size()));
  if (!data.empty() && !in.read(data.data(), data.size())) return false;
  AtomicFile out;
  return out.open(to) && out.write(data.data(), data.size()) && out.commit(true);
}

int usage_error(std::ostream& err, const std::string& what) {
  err << "tarvex-cli: " << what << "\n" << kUsage;
  return 2;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (is_scope_invocation(args)) return run_scope_cli(args, out, err);
  Options o;
  std::size_t i = 0;
  auto need_value = [&](const std::string& flag, std::string& value) {
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    (void)flag;
    return true;
  };
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
    if (a == "--data-root") {
      if (!need_value(a, v)) return usage_error(err, "--data-root needs a folder");
      o.data_root = v;
    } else if (a == "--do") {
      if (!need_value(a, v)) return usage_error(err, "--do needs a step");
      o.steps.push_back(v);
    } else if (a == "--save-raw") {
      if (!need_value(a, v)) return usage_error(err, "--save-raw needs a file name");
      o.save_raw = v;
    } else if (a == "--save-flat") {
      if (!need_value(a, v)) return usage_error(err, "--save-flat needs a file name");
      o.save_flat = v;
    } else if (a == "--save-tiff") {
      if (!need_value(a, v)) return usage_error(err, "--save-tiff needs a file name");
      o.save_tiff = v;
    } else if (a == "--now") {
      if (!need_value(a, v)) return usage_error(err, "--now needs a time");
      o.now = parse_time(v);
      if (!o.now) return usage_error(err, "--now needs \"YYYY-MM-DD HH:MM:SS\", not '" + v + "'");
    } else if (a == "--bitmap") {
      if (!need_value(a, v)) return usage_error(err, "--bitmap needs a file name");
      o.bitmap = v;
    } else if (a == "--simulator") {
      o.simulator = true;
    } else if (a == "--exposure") {
      if (!need_value(a, v)) return usage_error(err, "--exposure needs milliseconds");
      char* end = nullptr;
      const long ms = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || ms < 1 || ms > 65535)
        return usage_error(err, "--exposure needs milliseconds from 1 to 65535, not " + v);
      o.exposure_ms = ms;
    } else if (a == "--save-fits") {
      if (!need_value(a, v)) return usage_error(err, "--save-fits needs a file name");
      o.save_fits = v;
    } else if (a == "--fits-unsigned") {
      o.fits_unsigned = true;
    } else if (a == "--fits") {
      if (!need_value(a, v)) return usage_error(err, "--fits needs KEY=VALUE");
      o.fits_keys.push_back(v);
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

  if (o.command == "steps") {
    for (const auto& s : steps().all()) out << s.name << "  " << s.help << "\n";
    return 0;
  }
  const bool camera_command = is_camera_command(o.command);
  if (camera_command) {
    if (!o.input.empty()) return usage_error(err, "unexpected argument " + o.input);
    if (!o.steps.empty() || o.save_flat || o.bitmap || o.save_fits || o.fits_unsigned ||
        !o.fits_keys.empty() || (o.command == "camera-info" && (o.save_raw || o.exposure_ms)))
      return usage_error(err, o.command + " does not take that option");
  } else if (o.exposure_ms) {
    return usage_error(err, "--exposure belongs to read-field and focus-frame");
  }
  if (!camera_command && o.command != "process" && o.command != "info") {
    return usage_error(err,
                       o.command.empty() ? "no command given" : "unknown command " + o.command);
  }
  if (!camera_command && o.input.empty()) return usage_error(err, "no INPUT given");
  if (o.command == "info" && (!o.steps.empty() || o.save_raw || o.save_flat || o.save_tiff ||
                              o.bitmap || o.save_fits || o.fits_unsigned || !o.fits_keys.empty())) {
    return usage_error(err, "info takes only an INPUT");
  }

  // Check every step before anything runs, so a typing error costs nothing.
  struct Planned {
    const StepInfo* info;
    StepKeys keys;
    std::string text;
  };
  std::vector<Planned> plan;
  for (const auto& text : o.steps) {
    std::string name, error;
    StepKeys keys;
    if (!parse_step(text, name, keys, error)) return usage_error(err, error);
    const StepInfo* info = steps().find(name);
    if (info == nullptr) return usage_error(err, "unknown step '" + name + "'");
    plan.push_back({info, std::move(keys), text});
  }

  set_fixed_time(o.now);
  // The --fits keys are checked on a scratch record now, and applied once
  // INPUT is read (reading a file resets the record).
  {
    FitsText scratch;
    std::string error;
    for (const auto& kv : o.fits_keys)
      if (!set_fits_key(scratch, kv, error)) return usage_error(err, error);
  }

  StreamMessages messages(err);
  SteadyClock clock;
  NullPump pump;
  QuietProgress progress;
  RecordingLauncher launcher;
  QuietDisplay display;
  Ports ports{messages, clock, pump, progress, launcher, display};
  Tarvex app(o.data_root ? Paths(*o.data_root) : Paths::from_environment(), ports);

  // Settings first, as at start-up; their result is ignored there too.
  load_settings(app.paths.settings_file(), app.settings, app.fits, app.ports.messages);
  init_frame_store(app.store());

  if (camera_command) {
    const auto usb = make_camera_transport(o.simulator, app.ports.clock);
    return run_camera_command(o.command, app, *usb, static_cast<int>(o.exposure_ms.value_or(100)),
                              o.save_raw, out, err);
  }

  if (o.input != "ramp") {
    if (o.command == "info") {
      InputFile probe;
      if (probe.open(o.input)) {
        out << "length: " << probe.size() << "\n";
        out << "layout: " << layout_name(layout_for_length(probe.size())) << "\n";
      }
    }
    if (open_image(app, o.input) != 0) return 1;
    if (o.command == "process") out << "opened " << o.input << "\n";
  } else {
    refresh_display(app);
    if (o.command == "process") out << "start-up ramp\n";
  }
  after_paint(app);

  bool input_is_fits = false;
  if (o.input != "ramp") {
    InputFile probe;
    input_is_fits = probe.open(o.input) && is_fits_layout(layout_for_length(probe.size()));
  }
  if (o.command == "info") {
    const FrameStore& f = app.store();
    if (o.input == "ramp") out << "layout: start-up ramp\n";
    out << "IsBinned: " << f.IsBinned << "\n";
    out << "IsColour: " << f.IsColour << "\n";
    out << "HasBytePlanes: " << f.HasBytePlanes << "\n";
    out << "title: " << window_title(app.current_file_name) << "\n";
    if (input_is_fits) print_fits_text(out, app.fits, app.history);
    return 0;
  }

  for (const auto& kv : o.fits_keys) {
    std::string error;
    set_fits_key(app.fits, kv, error);
  }
  if (o.fits_unsigned) app.fits.fits_unsigned = true;

  for (const auto& step : plan) {
    const StepResult r = step.info->run(app, step.keys);
    if (r.status == STEP_USAGE) return usage_error(err, "step '" + step.text + "': " + r.error);
    if (r.status != STEP_OK) {
      err << "tarvex-cli: step '" << step.text << "' failed\n";
      return 1;
    }
    after_paint(app);
    out << "step " << step.text << ": done (background level " << app.store().BackgroundLevel
        << ")\n";
    if (!r.output.empty()) out << r.output << "\n";
  }

  if (o.save_raw) {
    if (save_image(app, *o.save_raw) != 0) return 1;
    out << "saved KR File " << o.save_raw->string() << "\n";
  }
  if (o.save_flat) {
    if (save_flat_image(app, *o.save_flat) != 0) return 1;
    out << "saved flat field " << o.save_flat->string() << "\n";
  }
  if (o.save_tiff) {
    if (save_tiff_command(app, *o.save_tiff) != 0) return 1;
    out << "saved TIFF file " << o.save_tiff->string() << "\n";
  }
  if (o.save_fits) {
    if (save_fits_image(app, *o.save_fits) != 0) return 1;
    out << "saved FITS " << o.save_fits->string() << "\n";
  }
  if (o.bitmap) {
    if (refresh_display(app) != 0) return 1;
    const fs::path written = app.paths.bitmap_file(app.display.SmallFrameMode);
    if (!copy_file_atomically(written, *o.bitmap)) {
      err << "tarvex-cli: cannot write " << o.bitmap->string() << "\n";
      return 1;
    }
    out << "wrote display bitmap " << o.bitmap->string() << "\n";
  }
  return 0;
}

}  // namespace tarvex::cli
