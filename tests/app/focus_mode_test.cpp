// The focus mode on the simulated camera and a virtual clock: what stops it
// and when, the pause prompt, the ranges that never start it, a failed read,
// and the astronomer's picture put back after focusing.
#include "app/capture/focus_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "app/capture/sequencer.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "test_support.h"

namespace tarvex {
namespace {

// Counts the window read requests the camera gets; a chosen bulk read fails.
class CountingUsb : public UsbTransport {
 public:
  CountingUsb(UsbTransport& inner, Clock& clock) : inner_(inner), clock_(clock) {}
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) override {
    return inner_.list_interfaces(cls);
  }
  int open_interface(UsbClass cls, const UsbInterface& which) override {
    return inner_.open_interface(cls, which);
  }
  int write_report(std::span<const std::uint8_t> report) override {
    ++reports;
    if (report.size() > 8 && report[1] == 4 && report[8] == READ_MODE_WINDOW)
      window_requests.push_back(clock_.now_ms());
    return inner_.write_report(report);
  }
  UsbRead bulk_read(std::span<std::uint8_t> destination) override {
    ++reads;
    if (reads == fail_read) return {EIO, 0};
    return inner_.bulk_read(destination);
  }
  int reports = 0;
  int reads = 0;
  int fail_read = 0;
  std::vector<std::uint32_t> window_requests;

 private:
  UsbTransport& inner_;
  Clock& clock_;
};

class ScriptedFront : public FocusFront {
 public:
  void frame_shown(int peak) override { peaks.push_back(peak); }
  bool pause_prompt() override {
    ++prompts;
    return prompts < stop_at_prompt || stop_at_prompt == 0;
  }
  std::vector<int> peaks;
  int prompts = 0;
  int stop_at_prompt = 0;  // the prompt answered "Stop" (1 = the first), 0 never
};

struct FocusRig {
  FocusRig() {
    app = std::make_unique<Tarvex>(Paths(dir.path() / "data"),
                                   Ports{messages, clock, pump, progress, launcher, display, usb});
    app->camera.find(false);
    EXPECT_TRUE(app->camera.camera_present());
    app->settings.focus_delay = false;
    app->acquisition.range = ExposureRange::Tenths;
    app->acquisition.value = 20;  // two seconds
    usb.reports = 0;
  }
  testing::TempDir dir;
  VirtualClock clock;
  ScriptedPump pump{clock};
  RecordingMessages messages;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SimCamera camera{clock};
  CountingUsb usb{camera, clock};
  ScriptedFront front;
  std::unique_ptr<Tarvex> app;
};

TEST(FocusMode, ALeftPressStopsAfterTheFrameInProgressAndAKeyDoesNot) {
  FocusRig rig;
  const std::uint32_t t0 = rig.clock.now_ms();
  rig.pump.press_at(t0 + 300, Input::Key);
  rig.pump.press_at(t0 + 400, Input::RightButton);
  rig.pump.press_at(t0 + 2000 + 2000 + 700, Input::LeftButton);  // during the third frame
  const FocusRun run = run_focus_mode(*rig.app, rig.front);
  EXPECT_EQ(run.outcome, FocusOutcome::Stopped);
  // The third frame was still read and shown; no fourth read was asked for.
  EXPECT_EQ(run.frames, 3);
  EXPECT_EQ(rig.usb.window_requests.size(), 3u);
  EXPECT_EQ(rig.front.peaks.size(), 3u);
  EXPECT_EQ(rig.front.peaks.back(), run.peak);
  EXPECT_TRUE(rig.app->display.SmallFrameMode);
  // One beep between frames, nothing reported.
  EXPECT_EQ(rig.clock.beeps, 2);
  EXPECT_TRUE(rig.messages.shown.empty());
  // The window was read at the focus-window position.
  EXPECT_EQ(rig.app->camera.readout.window_x, DEFAULT_WINDOW_X);
  EXPECT_EQ(rig.app->camera.readout.window_y, DEFAULT_WINDOW_Y);
}

TEST(FocusMode, StopInThePausePromptEndsBeforeTheNextFrame) {
  FocusRig rig;
  rig.app->acquisition.pause_between = true;
  rig.front.stop_at_prompt = 2;
  const FocusRun run = run_focus_mode(*rig.app, rig.front);
  EXPECT_EQ(run.outcome, FocusOutcome::Stopped);
  EXPECT_EQ(rig.front.prompts, 2);
  EXPECT_EQ(run.frames, 2);
  EXPECT_EQ(rig.usb.window_requests.size(), 2u);
}

TEST(FocusMode, TheDelaySettingSpacesFramesByOneSecond) {
  for (bool delay : {false, true}) {
    FocusRig rig;
    rig.app->settings.focus_delay = delay;
    rig.app->acquisition.range = ExposureRange::Hundredths;
    rig.app->acquisition.value = 1;  // 10 ms, timed by the camera
    const FocusRun run = run_focus_mode(*rig.app, rig.front, 3);
    EXPECT_EQ(run.outcome, FocusOutcome::Finished);
    ASSERT_EQ(rig.usb.window_requests.size(), 3u);
    const std::uint32_t gap = rig.usb.window_requests[2] - rig.usb.window_requests[1];
    if (delay)
      EXPECT_GE(gap, 1000u);
    else
      EXPECT_LT(gap, 1000u);
  }
}

TEST(FocusMode, MinutesAndLongValuesNeverStart) {
  for (auto [range, value] :
       {std::pair{ExposureRange::Minutes, 1}, std::pair{ExposureRange::Seconds, 100},
        std::pair{ExposureRange::Tenths, 100}}) {
    FocusRig rig;
    rig.app->acquisition.range = range;
    rig.app->acquisition.value = value;
    const FocusRun run = run_focus_mode(*rig.app, rig.front);
    EXPECT_EQ(run.outcome, FocusOutcome::NotStarted);
    EXPECT_EQ(rig.usb.reports, 0) << exposure_range_to_letter(range) << value;
    EXPECT_FALSE(rig.app->display.SmallFrameMode);
    EXPECT_TRUE(rig.messages.shown.empty());
  }
}

TEST(FocusMode, AFailedReadEndsTheModeWithOneMessage) {
  FocusRig rig;
  rig.usb.fail_read = rig.usb.reads + 2;  // the second window read
  const FocusRun run = run_focus_mode(*rig.app, rig.front);
  EXPECT_EQ(run.outcome, FocusOutcome::Failed);
  EXPECT_EQ(run.frames, 1);
  EXPECT_EQ(rig.messages.shown.size(), 1u);
}

// The camera dialog of the sequencer, focusing twice and then cancelled.
class FocusThenCancel : public CaptureFront {
 public:
  explicit FocusThenCancel(Tarvex& app) : app_(app) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings&) override {
    ScriptedFront front;
    run_focus_mode(app_, front, 2);
    run_focus_mode(app_, front, 1);  // a second Start keeps the first saved rows
    frames = static_cast<int>(front.peaks.size());
    return take ? CameraDialogResult::TakePhoto : CameraDialogResult::Cancel;
  }
  int frames = 0;
  bool take = false;

 private:
  Tarvex& app_;
};

TEST(FocusMode, ThePictureIsWholeAgainAfterCancel) {
  FocusRig rig;
  FrameStore& fs = rig.app->store();
  for (int i = 0; i < FRAME_SAMPLES; ++i) fs.CurrentFrame[i] = static_cast<std::uint16_t>(i * 7);
  const Frame before = fs.CurrentFrame;
  FocusThenCancel dialog(*rig.app);
  Sequencer sequencer(*rig.app, dialog);
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Cancelled);
  EXPECT_EQ(dialog.frames, 3);
  EXPECT_FALSE(rig.app->display.SmallFrameMode);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + FRAME_SAMPLES, fs.CurrentFrame.begin()));
  EXPECT_TRUE(rig.app->focus_saved_samples.empty());
}

TEST(FocusMode, AStoppedExposureAfterFocusingLeavesThePictureWhole) {
  FocusRig rig;
  FrameStore& fs = rig.app->store();
  std::fill(fs.CurrentFrame.begin(), fs.CurrentFrame.begin() + FRAME_SAMPLES, 1234);
  FocusThenCancel dialog(*rig.app);
  dialog.take = true;
  rig.app->acquisition.range = ExposureRange::Seconds;
  rig.app->acquisition.value = 5;
  Sequencer sequencer(*rig.app, dialog);
  // Focus frames of 5 s; the exposure is stopped by a key while it runs.
  rig.pump.press_at(rig.clock.now_ms() + 5000 * 3 + 3000 + 2000, Input::Key);
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Stopped);
  EXPECT_TRUE(std::all_of(fs.CurrentFrame.begin(), fs.CurrentFrame.begin() + FRAME_SAMPLES,
                          [](std::uint16_t v) { return v == 1234; }));
}

TEST(FocusMode, FocusFrameCentreTakesOneClickAndTheDefaultRestores) {
  FocusRig rig;
  Tarvex& app = *rig.app;
  EXPECT_FALSE(focus_centre_click(app, 300, 300));  // not armed: the click is not taken
  arm_focus_centre(app);
  EXPECT_TRUE(focus_centre_click(app, 200, 201));
  EXPECT_EQ(app.acquisition.focus_x, 136);
  EXPECT_EQ(app.acquisition.focus_y, 135);
  EXPECT_FALSE(focus_centre_click(app, 10, 10));  // one click only
  // Frames are read where the window was placed.
  run_focus_mode(app, rig.front, 1);
  EXPECT_EQ(app.camera.readout.window_x, 136);
  EXPECT_EQ(app.camera.readout.window_y, 135);
  default_focus_centre(app);
  EXPECT_EQ(app.acquisition.focus_x, 80);
  EXPECT_EQ(app.acquisition.focus_y, 312);
}

}  // namespace
}  // namespace tarvex
