#include "app/capture/focus_mode.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/capture/camera_dialog_model.h"
#include "app/display_pipeline.h"
#include "camera/readout.h"
#include "camera/usb_commands.h"

namespace tarvex {

namespace {

// A left press ends the mode; other inputs were handled by the window and are
// no request to stop.
bool stop_pressed(EventPump& pump) {
  pump.pump();
  const bool stop = pump.take(Input::LeftButton);
  pump.clear(Inputs(Input::Key) | Inputs(Input::RightButton));
  return stop;
}

}  // namespace

double window_fwhm(const std::uint16_t* window) {
  constexpr int side = SMALL_FRAME_SIDE;
  double ring = 0;
  int peak = 0;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const int v = window[y * side + x];
      peak = std::max(peak, v);
      if (y == 0 || y == side - 1 || x == 0 || x == side - 1) ring += v;
    }
  }
  const double background = ring / (4 * side - 4);
  if (peak <= background) return 0.0;
  const double half = background + (peak - background) / 2.0;
  int area = 0;
  for (int i = 0; i < SMALL_FRAME_SAMPLES; ++i) area += window[i] >= half ? 1 : 0;
  return 2.0 * std::sqrt(area / std::numbers::pi);
}

FocusRun run_focus_mode(Tarvex& app, FocusFront& front, int max_frames) {
  FocusRun run;
  AcquisitionSettings& acq = app.acquisition;
  if (acq.range == ExposureRange::Minutes || acq.value >= 100) return run;

  FrameStore& fs = app.store();
  std::uint16_t* window = fs.CurrentFrame.data();
  // Kept once per stay in the small-frame display: a second Start in the same
  // dialog must not keep a focus frame as the picture.
  if (app.focus_saved_samples.empty())
    app.focus_saved_samples.assign(window, window + SMALL_FRAME_SAMPLES);
  app.display.SmallFrameMode = true;
  const WindowPosition at = reachable_window(acq.focus_x, acq.focus_y);
  app.camera.readout.window_x = at.x;
  app.camera.readout.window_y = at.y;

  EventPump& pump = app.ports.pump;
  Clock& clock = app.ports.clock;
  // The press on "Start" is no request to stop.
  pump.clear();
  for (bool first = true;; first = false) {
    if (stop_pressed(pump)) {
      run.outcome = FocusOutcome::Stopped;
      break;
    }
    if (!first) {
      clock.beep();
      if (acq.pause_between && !front.pause_prompt()) {
        run.outcome = FocusOutcome::Stopped;
        break;
      }
      // Window events wait during this second.
      if (app.settings.focus_delay) clock.sleep_ms(FOCUS_DELAY_MS);
      if (stop_pressed(pump)) {
        run.outcome = FocusOutcome::Stopped;
        break;
      }
    }
    const WindowStretch stretch{
        std::clamp(app.display.palette_bits, MIN_WINDOW_BITS, MAX_WINDOW_BITS),
        app.display.max_stretch_all};
    int peak = 0;
    app.ports.progress.busy_cursor(true);
    // Window events are handled during a long exposure so the window repaints.
    const LinkResult read =
        take_window_frame(app.camera.link, app.ports.clock, app.camera.readout, acq.value,
                          acq.range, stretch, window, &peak, &app.ports.pump);
    app.ports.progress.busy_cursor(false);
    if (read != LinkResult::Ok) {
      // The link has reported the failure; an unplugged camera would fail
      // again on every frame.
      run.outcome = FocusOutcome::Failed;
      break;
    }
    ++run.frames;
    run.peak = peak;
    refresh_display(app);
    front.frame_shown(peak);
    if (max_frames > 0 && run.frames >= max_frames) {
      run.outcome = FocusOutcome::Finished;
      break;
    }
  }
  return run;
}

void end_focus_display(Tarvex& app) {
  if (!app.focus_saved_samples.empty()) {
    std::copy(app.focus_saved_samples.begin(), app.focus_saved_samples.end(),
              app.store().CurrentFrame.begin());
    app.focus_saved_samples.clear();
    app.focus_saved_samples.shrink_to_fit();
  }
  app.display.SmallFrameMode = false;
}

namespace {

void place_window(Tarvex& app, WindowPosition at) {
  app.acquisition.focus_x = at.x;
  app.acquisition.focus_y = at.y;
  app.camera.readout.window_x = at.x;
  app.camera.readout.window_y = at.y;
}

}  // namespace

void arm_focus_centre(Tarvex& app) {
  app.acquisition.focus_centre_armed = true;
}

bool focus_centre_click(Tarvex& app, int x, int y) {
  if (!app.acquisition.focus_centre_armed) return false;
  app.acquisition.focus_centre_armed = false;
  place_window(app, window_for_centre(x, y));
  return true;
}

void default_focus_centre(Tarvex& app) {
  app.acquisition.focus_centre_armed = false;
  place_window(app, {DEFAULT_WINDOW_X, DEFAULT_WINDOW_Y});
}

}  // namespace tarvex
