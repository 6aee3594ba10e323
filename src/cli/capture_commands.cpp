// The capture subcommand: the composition of the sequencer with tarvex-cli's
// ports. Stage texts and messages go to the error stream (with a progress bar
// when it is a terminal), one line per file written to standard output; a
// Ctrl-C stops the run as a key press stops it in the window.
#include "cli/capture_commands.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>

#include "app/capture/sequencer.h"
#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/fits_commands.h"
#include "app/guiding/autoguider.h"
#include "cli/guide_commands.h"
#include "cli/interrupt.h"
#include "cli/steps.h"
#include "cli/subcommands.h"
#include "platform/basic_ports.h"

namespace tarvex::cli {

namespace {

// Stage texts as lines on the error stream; on a terminal a bar follows the
// position on the line below the stage.
class StageProgress : public Progress {
 public:
  StageProgress(std::ostream& err, bool bar) : err_(err), bar_(bar) {}
  ~StageProgress() override { end_bar(); }
  void open(const std::string& caption) override {
    end_bar();
    if (caption == last_) return;
    last_ = caption;
    err_ << caption << "\n";
    err_.flush();
  }
  void set_position(int position) override {
    if (!bar_) return;
    const int filled = std::clamp(position, 0, 256) * 40 / 256;
    err_ << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] "
         << std::clamp(position, 0, 256) * 100 / 256 << "% ";
    err_.flush();
    drawn_ = true;
  }
  void close() override {
    end_bar();
    last_.clear();
  }
  void busy_cursor(bool) override {}

 private:
  void end_bar() {
    if (drawn_) err_ << "\n";
    drawn_ = false;
  }
  std::ostream& err_;
  bool bar_;
  bool drawn_ = false;
  std::string last_;
};

// The camera dialog of the command line: the options, then "Take Photo".
class OptionsFront : public CaptureFront {
 public:
  OptionsFront(const CaptureOptions& options, std::ostream& out) : options_(options), out_(out) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& settings) override {
    apply_capture_options(options_, settings);
    return CameraDialogResult::TakePhoto;
  }
  void autosaved(const std::filesystem::path& file) override {
    out_ << "autosaved " << file.string() << "\n";
    out_.flush();
  }
  // Nobody is there to answer: the run ends at the first failed save.
  bool continue_after_failed_save() override { return false; }

 private:
  const CaptureOptions& options_;
  std::ostream& out_;
};

std::optional<int> whole_number(const std::string& text) {
  const auto v = parse_whole_number(text);
  if (!v || *v < -1000000 || *v > 1000000) return std::nullopt;
  return static_cast<int>(*v);
}

}  // namespace

OptionRead read_capture_option(const std::string& flag,
                               const std::function<std::optional<std::string>()>& next_value,
                               CaptureOptions& c, std::string& error) {
  auto flag_only = [&](bool& field) {
    field = true;
    c.given.push_back(flag);
    return OptionRead::Read;
  };
  if (flag == "--average") return flag_only(c.average);
  if (flag == "--alt-slew") return flag_only(c.alternative_slew);
  if (flag == "--continuous") return flag_only(c.continuous);
  if (flag == "--countdown") return flag_only(c.countdown);
  if (flag == "--auto-dark") return flag_only(c.auto_dark);
  if (flag == "--colour") return flag_only(c.colour);
  if (flag == "--autosave") return flag_only(c.autosave);
  if (flag == "--beep") return flag_only(c.beep);
  if (flag == "--self-guide") return flag_only(c.self_guide);
  if (flag == "--half-time") return flag_only(c.half_time);
  const bool takes_value = flag == "--range" || flag == "--value" || flag == "--mode" ||
                           flag == "--count" || flag == "--delay" || flag == "--dark" ||
                           flag == "--star" || flag == "--guide-range" || flag == "--guide-value" ||
                           flag == "--minutes" || flag == "--frames" || flag == "--centre";
  if (!takes_value) return OptionRead::NotCapture;
  c.given.push_back(flag);
  const std::optional<std::string> v = next_value();
  if (!v) {
    error = flag + " needs a value";
    return OptionRead::Bad;
  }
  if (flag == "--range") {
    const auto range = v->size() == 1 ? exposure_range_from_letter((*v)[0]) : std::nullopt;
    if (!range) {
      error = "--range takes q, h, t, s or m, not " + *v;
      return OptionRead::Bad;
    }
    c.range = range;
  } else if (flag == "--mode") {
    if (*v == "fast") {
      c.mode = ExposureMode::Fast;
    } else if (*v == "progressive") {
      c.mode = ExposureMode::Progressive;
    } else if (*v == "interlaced") {
      c.mode = ExposureMode::Interlaced;
    } else {
      error = "--mode takes fast, progressive or interlaced, not " + *v;
      return OptionRead::Bad;
    }
  } else if (flag == "--star" || flag == "--centre") {
    const auto comma = v->find(',');
    const auto x = comma == std::string::npos ? std::nullopt : whole_number(v->substr(0, comma));
    const auto y = comma == std::string::npos ? std::nullopt : whole_number(v->substr(comma + 1));
    if (!x || !y || *x < 0 || *x >= FRAME_WIDTH || *y < 0 || *y >= FRAME_HEIGHT) {
      error = flag + " takes X,Y inside the frame (0..751, 0..579), not " + *v;
      return OptionRead::Bad;
    }
    (flag == "--star" ? c.star : c.centre) = std::make_pair(*x, *y);
  } else if (flag == "--guide-range") {
    const auto range = v->size() == 1 ? exposure_range_from_letter((*v)[0]) : std::nullopt;
    if (!range || range == ExposureRange::Minutes) {
      error = "--guide-range takes q, h, t or s, not " + *v;
      return OptionRead::Bad;
    }
    c.guide_range = range;
  } else if (flag == "--guide-value" || flag == "--minutes" || flag == "--frames") {
    const std::optional<int> n = whole_number(*v);
    if (!n || *n < 1 || *n > 999) {
      error = flag + " takes a whole number from 1 to 999, not " + *v;
      return OptionRead::Bad;
    }
    (flag == "--minutes" ? c.minutes : flag == "--frames" ? c.frames : c.guide_value) = *n;
  } else if (flag == "--dark") {
    if (v->empty()) {
      error = "--dark needs a file name";
      return OptionRead::Bad;
    }
    c.dark = *v;
  } else {
    const std::optional<int> n = whole_number(*v);
    if (flag == "--value") {
      if (!n || *n < 1) {
        error = "--value takes a whole number of range units from 1, not " + *v;
        return OptionRead::Bad;
      }
      c.value = *n;
    } else if (flag == "--count") {
      if (!n || *n < 1 || *n > MAX_EXPOSURE_COUNT) {
        error = "--count takes 1 to 20 exposures, not " + *v;
        return OptionRead::Bad;
      }
      c.count = *n;
    } else {
      if (!n || *n < 0 || *n > MAX_DELAY_MINUTES) {
        error = "--delay takes 0 to 20 minutes, not " + *v;
        return OptionRead::Bad;
      }
      c.delay_minutes = *n;
    }
  }
  return OptionRead::Read;
}

void apply_capture_options(const CaptureOptions& o, AcquisitionSettings& a) {
  if (o.range) {
    a.range = *o.range;
    a.value = default_exposure_value(*o.range);
  }
  if (o.value) a.value = *o.value;
  if (o.mode) a.mode = *o.mode;
  if (o.count) a.count = *o.count;
  if (o.delay_minutes) a.delay_minutes = *o.delay_minutes;
  a.average = o.average;
  a.alternative_slew = o.alternative_slew;
  a.continuous = o.continuous;
  a.delay_before = o.countdown;
  a.auto_dark = o.auto_dark;
  a.auto_colour = o.colour;
  a.auto_save = o.autosave;
  if (o.beep) a.beep_after_exposure = true;
  if (o.guide_range) a.guide_range = *o.guide_range;
  if (o.guide_value) a.guide_value = *o.guide_value;
  if (o.self_guide) a.self_guide_next = true;
  if (o.half_time) a.half_time_download = true;
}

int capture_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (!o.input.empty()) return usage_error(err, "unexpected argument " + o.input);
  if (!o.steps.empty() || o.save_flat || o.bitmap || o.fits_unsigned || !o.fits_keys.empty() ||
      o.exposure_ms || o.export_fits || o.export_fits_float || o.export_tiff16)
    return usage_error(err, "capture does not take that option");
  const CaptureOptions& c = o.capture;
  const ExposureRange range = c.range.value_or(ExposureRange::Seconds);
  if (c.value && *c.value > exposure_value_maximum(range))
    return usage_error(err, "--value in range " + std::string(1, exposure_range_to_letter(range)) +
                                " goes up to " + std::to_string(exposure_value_maximum(range)));
  // A continuous run repeats single exposures; with a count it would take that
  // many single exposures and end, which is neither a sum nor a repetition.
  if (c.continuous && c.count.value_or(1) > 1)
    return usage_error(err,
                       "--continuous repeats single exposures until stopped and --count sums "
                       "one sequence: give one of them");

  InterruptPump pump;
  StageProgress progress(err, &err == &std::cerr && ::isatty(STDERR_FILENO));
  InterruptScope interrupts;
  return with_context(
      o, err,
      [&](Tarvex& app) {
        if (c.dark) app.dark_frame_path = *c.dark;
        if (c.star) app.star.position = {c.star->first, c.star->second, 0, 0};
        OptionsFront front(c, out);
        Autoguider guider(app);
        if (c.self_guide) {
          apply_capture_options(c, app.acquisition);  // the guide exposure for the star search
          if (!prepare_guiding(app, o, guider, err)) return 1;
        }
        GuidingReport guiding(guider, err);
        Sequencer sequencer(app, front, guiding);
        const CaptureOutcome outcome = sequencer.take_photo();
        progress.close();
        err << "capture: " << sequencer.exposures_taken() << " exposure"
            << (sequencer.exposures_taken() == 1 ? "" : "s") << " taken, "
            << sequencer.files_saved() << " saved\n";
        if (sequencer.exposures_taken() > 0) {
          if (o.save_raw) {
            if (save_image(app, *o.save_raw) != 0) return 1;
            out << "saved KR File " << o.save_raw->string() << "\n";
          }
          if (o.save_fits) {
            if (save_fits_image(app, *o.save_fits) != 0) return 1;
            out << "saved FITS " << o.save_fits->string() << "\n";
          }
          if (o.save_tiff) {
            if (save_tiff_command(app, *o.save_tiff) != 0) return 1;
            out << "saved TIFF file " << o.save_tiff->string() << "\n";
          }
        }
        switch (outcome) {
          case CaptureOutcome::Done: return 0;
          case CaptureOutcome::Stopped: return pump.interrupted ? 130 : 1;
          default: return 1;
        }
      },
      &pump, &progress);
}

}  // namespace tarvex::cli
