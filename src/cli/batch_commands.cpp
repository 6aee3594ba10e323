// The image subcommands of tarvex-cli: process (read INPUT, run steps, save),
// info (describe INPUT) and steps (list the steps).
#include <filesystem>
#include <vector>

#include "app/display_pipeline.h"
#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/fits_commands.h"
#include "cli/fits_keys.h"
#include "cli/steps.h"
#include "cli/subcommands.h"
#include "files/raw_file.h"
#include "platform/file_io.h"

namespace tarvex::cli {

namespace fs = std::filesystem;

namespace {

bool copy_file_atomically(const fs::path& from, const fs::path& to) {
  InputFile in;
  if (!in.open(from)) return false;
  std::vector<char> data(static_cast<std::size_t>(in.size()));
  if (!data.empty() && !in.read(data.data(), data.size())) return false;
  AtomicFile out;
  return out.open(to) && out.write(data.data(), data.size()) && out.commit(true);
}

// Reads INPUT into the context (or shows the start-up ramp). Returns false
// when the file was refused (the command reported why).
bool read_input(Tarvex& app, const Options& o, std::ostream& out) {
  if (o.input != "ramp") {
    if (!open_image(app, o.input).ok()) return false;
    if (o.command == "process") out << "opened " << o.input << "\n";
  } else {
    refresh_display(app);
    if (o.command == "process") out << "start-up ramp\n";
  }
  after_paint(app);
  return true;
}

struct PlannedStep {
  const StepInfo* info;
  StepKeys keys;
  std::string text;
};

// The saves process ends with, in this order. Returns the exit status.
int save_outputs(Tarvex& app, const Options& o, std::ostream& out, std::ostream& err) {
  if (o.save_raw) {
    if (!save_image(app, *o.save_raw).ok()) return 1;
    out << "saved KR File " << o.save_raw->string() << "\n";
  }
  if (o.save_flat) {
    if (!save_flat_image(app, *o.save_flat).ok()) return 1;
    out << "saved flat field " << o.save_flat->string() << "\n";
  }
  if (o.save_tiff) {
    if (!save_tiff_command(app, *o.save_tiff).ok()) return 1;
    out << "saved TIFF file " << o.save_tiff->string() << "\n";
  }
  if (o.save_fits) {
    if (!save_fits_image(app, *o.save_fits).ok()) return 1;
    out << "saved FITS " << o.save_fits->string() << "\n";
  }
  if (o.export_fits) {
    if (!export_standard_fits_command(app, *o.export_fits, StandardFitsSamples::Int16).ok())
      return 1;
    out << "exported standard FITS " << o.export_fits->string() << "\n";
  }
  if (o.export_fits_float) {
    if (!export_standard_fits_command(app, *o.export_fits_float, StandardFitsSamples::Float32).ok())
      return 1;
    out << "exported standard FITS (floating point) " << o.export_fits_float->string() << "\n";
  }
  if (o.export_tiff16) {
    if (!export_tiff16_command(app, *o.export_tiff16).ok()) return 1;
    out << "exported 16-bit TIFF " << o.export_tiff16->string() << "\n";
  }
  if (o.bitmap) {
    if (!refresh_display(app).ok()) return 1;
    const fs::path written = app.paths.bitmap_file(app.display.SmallFrameMode);
    if (!copy_file_atomically(written, *o.bitmap)) {
      err << "tarvex-cli: cannot write " << o.bitmap->string() << "\n";
      return 1;
    }
    out << "wrote display bitmap " << o.bitmap->string() << "\n";
  }
  return 0;
}

}  // namespace

int steps_command(const Options&, std::ostream& out, std::ostream&) {
  for (const auto& s : steps().all()) out << s.name << "  " << s.help << "\n";
  return 0;
}

int info_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (o.input.empty()) return usage_error(err, "no INPUT given");
  if (!o.steps.empty() || o.save_raw || o.save_flat || o.save_tiff || o.bitmap || o.save_fits ||
      o.fits_unsigned || !o.fits_keys.empty() || o.export_fits || o.export_fits_float ||
      o.export_tiff16) {
    return usage_error(err, "info takes only an INPUT");
  }
  return with_context(o, err, [&](Tarvex& app) {
    bool input_is_fits = false;
    if (o.input != "ramp") {
      InputFile probe;
      if (probe.open(o.input)) {
        out << "length: " << probe.size() << "\n";
        out << "layout: " << layout_name(layout_for_length(probe.size())) << "\n";
      }
    }
    if (!read_input(app, o, out)) return 1;
    if (o.input != "ramp") {
      InputFile probe;
      input_is_fits = probe.open(o.input) && is_fits_layout(layout_for_length(probe.size()));
    }
    const FrameStore& f = app.store();
    if (o.input == "ramp") out << "layout: start-up ramp\n";
    out << "IsBinned: " << f.IsBinned << "\n";
    out << "IsColour: " << f.IsColour << "\n";
    out << "HasBytePlanes: " << f.HasBytePlanes << "\n";
    out << "title: " << printable_text(window_title(app.current_file_name)) << "\n";
    if (input_is_fits) print_fits_text(out, app.fits, app.history);
    return 0;
  });
}

int process_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (o.input.empty()) return usage_error(err, "no INPUT given");
  // Check every step before anything runs, so a typing error costs nothing.
  std::vector<PlannedStep> plan;
  for (const auto& text : o.steps) {
    std::string name, error;
    StepKeys keys;
    if (!parse_step(text, name, keys, error)) return usage_error(err, error);
    const StepInfo* info = steps().find(name);
    if (info == nullptr) return usage_error(err, "unknown step '" + name + "'");
    plan.push_back({info, std::move(keys), text});
  }
  // The --fits keys are checked on a scratch record now, and applied once
  // INPUT is read (reading a file resets the record).
  {
    FitsText scratch;
    std::string error;
    for (const auto& kv : o.fits_keys)
      if (!set_fits_key(scratch, kv, error)) return usage_error(err, error);
  }

  return with_context(o, err, [&](Tarvex& app) {
    // Every step's values are checked before the input is read or any step
    // runs: a bad value in a late step must not leave an early step's files
    // behind (a Quick Save's image, its raised number).
    {
      const StepCheckScope checking;
      for (const auto& step : plan) {
        const StepResult r = step.info->run(app, step.keys);
        if (r.status == STEP_USAGE) return usage_error(err, "step '" + step.text + "': " + r.error);
      }
    }
    if (!read_input(app, o, out)) return 1;
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
    const int saved = save_outputs(app, o, out, err);
    if (saved != 0) return saved;
    // The display bitmap is one of the files the run writes: when it could
    // not be written (its message was shown once), the run did not succeed.
    if (app.display_bitmap_failed) {
      err << "tarvex-cli: the display bitmap "
          << app.paths.bitmap_file(app.display.SmallFrameMode).string()
          << " could not be written\n";
      return 1;
    }
    return 0;
  });
}

}  // namespace tarvex::cli
