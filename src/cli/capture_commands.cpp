// The capture subcommand: the composition of the sequencer with tarvex-cli's
// ports. Stage texts and messages go to the error stream (with a progress bar
// when it is a terminal), one line per file written to standard output; a
// Ctrl-C stops the run as a key press stops it in the window.
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
#include "app/telescope.h"
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
  void autosaved_standard(const std::filesystem::path& file) override {
    out_ << "autosaved standard " << file.string() << "\n";
    out_.flush();
  }
  // Nobody is there to answer: the run ends at the first failed save.
  bool continue_after_failed_save() override { return false; }
  LiveStackSettings live_stack() const override {
    LiveStackSettings s;
    s.on = options_.live_stack.has_value();
    if (options_.live_stack) s.file = *options_.live_stack;
    if (options_.save_every) s.every = *options_.save_every;
    return s;
  }

 private:
  const CaptureOptions& options_;
  std::ostream& out_;
};

}  // namespace

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

  if (c.live_stack && !c.continuous)
    return usage_error(err, "--live-stack stacks a continuous run: give --continuous too");
  if (c.save_every && !c.live_stack)
    return usage_error(err, "--save-every belongs to --live-stack");
  if (c.frames && (!c.continuous || *c.frames < 2))
    return usage_error(err,
                       "--frames ends a continuous run after 2 or more exposures: give "
                       "--continuous too");
  if (c.dither && !(c.self_guide && c.autosave))
    return usage_error(err,
                       "--dither moves the guide star between the saved exposures of a "
                       "self-guided run: give --self-guide and --autosave too");
  InterruptPump pump;
  StageProgress progress(err, &err == &std::cerr && ::isatty(STDERR_FILENO));
  InterruptScope interrupts;
  return with_context(
      o, err,
      [&](Tarvex& app) {
        // With an LX200 chosen, its link is opened so that the standard
        // copies of automatic saving carry where the telescope points.
        if (link_type(app) == LinkType::Lx200) ensure_link_open(app);
        if (c.dark) app.dark_frame_path = *c.dark;
        if (c.star) app.star.position = {c.star->first, c.star->second, 0, 0};
        OptionsFront front(c, out);
        Autoguider guider(app);
        if (c.self_guide) {
          apply_capture_options(c, app.acquisition);  // the guide exposure for the star search
          if (!prepare_guiding(app, o, guider, err)) return 1;
          print_guide_events(guider, err, app.ports.clock.now_ms());
        }
        GuidingReport guiding(guider, err);
        Sequencer sequencer(app, front, guiding);
        const CaptureOutcome outcome = sequencer.take_photo();
        progress.close();
        err << "capture: " << sequencer.exposures_taken() << " exposure"
            << (sequencer.exposures_taken() == 1 ? "" : "s") << " taken, "
            << sequencer.files_saved() << " saved\n";
        if (const LiveStackRun* live = sequencer.live_stack()) {
          out << "live stack " << live->options().out.string() << ": " << live->frames()
              << " frames stacked, " << live->trailed() << " refused as trailed, "
              << live->unregistered() << " not registered, saved " << live->saves() << " times\n";
          if (live->save_failed()) return 1;
        }
        if (sequencer.exposures_taken() > 0) {
          if (o.save_raw) {
            if (!save_image(app, *o.save_raw).ok()) return 1;
            out << "saved KR File " << o.save_raw->string() << "\n";
          }
          if (o.save_fits) {
            if (!save_fits_image(app, *o.save_fits).ok()) return 1;
            out << "saved FITS " << o.save_fits->string() << "\n";
          }
          if (o.save_tiff) {
            if (!save_tiff_command(app, *o.save_tiff).ok()) return 1;
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
