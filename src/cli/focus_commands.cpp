// tarvex-cli focus: the camera dialog's focus mode without the window, one
// line per frame, so focusing can be scripted or watched from a terminal.
#include <cstdio>

#include "app/capture/camera_dialog_model.h"
#include "app/capture/focus_mode.h"
#include "camera/usb_commands.h"
#include "cli/interrupt.h"
#include "cli/subcommands.h"
#include "platform/messages.h"

namespace tarvex::cli {

namespace {

constexpr int DEFAULT_FOCUS_FRAMES = 10;

// Prints each frame as it is shown: its number, peak and the star's width.
class PrintingFocusFront : public FocusFront {
 public:
  PrintingFocusFront(Tarvex& app, std::ostream& out) : app_(app), out_(out) {}
  void frame_shown(int peak) override {
    char line[96];
    std::snprintf(line, sizeof line, "frame %d: peak %d fwhm %.1f px\n", ++frames_, peak,
                  window_fwhm(app_.store().CurrentFrame.data()));
    out_ << line;
  }

 private:
  Tarvex& app_;
  std::ostream& out_;
  int frames_ = 0;
};

}  // namespace

int focus_command(const Options& o, std::ostream& out, std::ostream& err) {
  for (const std::string& flag : o.capture.given) {
    if (flag != "--frames" && flag != "--range" && flag != "--value" && flag != "--centre")
      return usage_error(err, flag + " does not belong to focus");
  }
  if (o.capture.range && *o.capture.range == ExposureRange::Minutes)
    return usage_error(err, "focus takes the ranges q, h, t or s");
  // An interruption is the camera dialog's Stop: the frame being read
  // finishes and the mode ends as it does in the window.
  InterruptPump pump(Input::LeftButton);
  InterruptScope interrupts;
  return with_context(
      o, err,
      [&](Tarvex& app) {
        AcquisitionSettings& acq = app.acquisition;
        apply_capture_options(o.capture, acq);
        if (acq.value >= 100) {
          err << "tarvex-cli: focus frames are shorter than 100 units of their range\n";
          return 2;
        }
        if (o.capture.centre) {
          const WindowPosition at =
              window_for_centre(o.capture.centre->first, o.capture.centre->second);
          acq.focus_x = at.x;
          acq.focus_y = at.y;
        }
        app.camera.find(app.settings.usb_debug_info);
        if (!app.camera.camera_present()) {
          show_message(app.ports.messages, Msg::CallerText, TEXT_NO_CAMERA);
          return 1;
        }
        PrintingFocusFront front(app, out);
        const FocusRun run =
            run_focus_mode(app, front, o.capture.frames.value_or(DEFAULT_FOCUS_FRAMES));
        end_focus_display(app);
        if (run.outcome == FocusOutcome::Stopped && pump.interrupted) return 130;
        return run.outcome == FocusOutcome::Finished || run.outcome == FocusOutcome::Stopped ? 0
                                                                                             : 1;
      },
      &pump);
}

}  // namespace tarvex::cli
