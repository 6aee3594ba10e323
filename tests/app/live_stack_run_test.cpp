// The live stack on the simulated camera: exposures taken on a virtual clock
// with the mount drifting between them, hot pixels on the sensor, a
// satellite crossing one exposure and one exposure trailed.
#include "app/stack/live_stack_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/capture/sequencer.h"
#include "files/fits_image.h"
#include "one_shot_front.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "test_support.h"

namespace tarvex {
namespace {

// A camera, its virtual clock and a context around it.
struct SimRig {
  explicit SimRig(const SkyConfig& sky) : camera(clock, sky) {
    app =
        std::make_unique<Tarvex>(Paths(dir.path() / "data"),
                                 Ports{messages, clock, pump, progress, launcher, display, camera});
  }
  testing::TempDir dir;
  VirtualClock clock;
  RecordingMessages messages;
  ScriptedPump pump{clock};
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SimCamera camera;
  std::unique_ptr<Tarvex> app;
};

std::unique_ptr<Frame> expose(SimRig& rig) {
  // One interlaced exposure of a second, raw, as the camera dialog takes it.
  OneShotFront front = one_exposure(ExposureMode::Interlaced, ExposureRange::Seconds, 1);
  Sequencer sequencer(*rig.app, front);
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Done);
  return std::make_unique<Frame>(rig.app->store().CurrentFrame);
}

// A satellite's trail across the raw frame: two rows wide, bright.
void add_trail(Frame& f) {
  for (int x = 0; x < FRAME_WIDTH; ++x) {
    const int y = 100 + x * 3 / 10;
    for (int w = 0; w < 2; ++w) f[(y + w) * FRAME_WIDTH + x] = 30000;
  }
}

// Stars trailed along the rows by 18 columns: the frame averaged with
// itself moved by whole mosaic periods (two columns), so the colours stay
// in place.
void smear(Frame& f) {
  constexpr int kSmear = 10;
  const Frame copy = f;
  for (int y = 0; y < FRAME_HEIGHT; ++y)
    for (int x = 0; x < FRAME_WIDTH; ++x) {
      int sum = 0;
      for (int k = 0; k < kSmear; ++k) sum += copy[y * FRAME_WIDTH + std::max(0, x - 2 * k)];
      f[y * FRAME_WIDTH + x] = static_cast<std::uint16_t>(sum / kSmear);
    }
}

// Stacks `frames` exposures, the mount drifting 2.5, 1.5 pixels between them.
// With `dirty`, the sensor has hot pixels and exposure 5 has a satellite
// trail; exposure 4 is always trailed.
struct Stacked {
  std::vector<float> planes;
  std::vector<float> first;  // the first exposure alone
  int frames = 0, trailed = 0, saves = 0;
  double worst_ms = 0;
};
Stacked stack_night(bool dirty, int frames, const std::filesystem::path& out) {
  SkyConfig sky;
  sky.seed = 5;
  sky.hot_pixels = dirty ? 40 : 0;
  sky.extended_objects = false;
  SimRig rig(sky);
  LiveStackOptions options;
  options.out = out;
  options.save_every = 4;
  options.show = false;
  LiveStackRun live(*rig.app, options);
  Stacked s;
  for (int k = 0; k < frames; ++k) {
    auto raw = expose(rig);
    if (dirty && k == 5) add_trail(*raw);
    if (k == 4) smear(*raw);
    live.add_exposure(*raw, false);
    s.worst_ms = std::max(s.worst_ms, live.last_ms());
    if (k == 0) s.first = live.result();
    rig.camera.shift_pointing(2.5, 1.5);
  }
  live.finish();
  s.planes = live.result();
  s.frames = live.frames();
  s.trailed = live.trailed();
  s.saves = live.saves();
  return s;
}

TEST(LiveStackRun, HotPixelsAndATrailDoNotSurviveAndTheNoiseFalls) {
  testing::TempDir dir;
  const Stacked clean = stack_night(false, 10, dir / "clean.fits");
  const Stacked dirty = stack_night(true, 10, dir / "dirty.fits");
  // The trailed exposure is refused and counted; the other nine are stacked.
  EXPECT_EQ(dirty.trailed, 1);
  EXPECT_EQ(dirty.frames, 9);
  // Saved at the fourth and eighth frame and at the end.
  EXPECT_EQ(dirty.saves, 3);
  std::printf("slowest frame %.1f ms\n", dirty.worst_ms);

  // Where the clean stack is sky, the dirty one is no brighter beyond its
  // noise: neither a hot pixel nor the trail got through. (Without the
  // rejection, each hot pixel would add 40000 / 9 to its place.)
  const std::size_t n = FRAME_SAMPLES;
  for (int p = 0; p < 3; ++p) {
    const float* c = clean.planes.data() + p * n;
    const float* d = dirty.planes.data() + p * n;
    const Background bg = estimate_background(PlaneView{c, FRAME_WIDTH, FRAME_HEIGHT});
    const Background one =
        estimate_background(PlaneView{clean.first.data() + p * n, FRAME_WIDTH, FRAME_HEIGHT});
    // The noise falls as the square root of the frames, give or take a tenth.
    EXPECT_GT(one.sigma / bg.sigma, 0.9 * std::sqrt(9.0)) << "plane " << p;
    int checked = 0, outliers = 0;
    for (int y = 8; y < FRAME_HEIGHT - 8; ++y)
      for (int x = 8; x < FRAME_WIDTH - 8; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * FRAME_WIDTH + x;
        if (c[i] > bg.level + 5 * bg.sigma) continue;
        ++checked;
        if (d[i] - c[i] > 5 * bg.sigma) ++outliers;
      }
    EXPECT_GT(checked, FRAME_SAMPLES / 2);
    EXPECT_EQ(outliers, 0) << "plane " << p;
  }
  // The saved file is the stack: three planes of 32-bit floats.
  const FitsImageRead back = read_fits_image(dir / "dirty.fits");
  ASSERT_TRUE(back.image) << back.error;
  EXPECT_EQ(back.image->planes, 3);
  EXPECT_EQ(back.image->data, dirty.planes);
}

// A continuous run of the camera command with the live stack: the window
// shows the stack and its frame count after every exposure, and a stop
// (a key press) still saves what was stacked since the last save.
TEST(LiveStackRun, ContinuousRunShowsTheStackAndSavesWhenStopped) {
  SkyConfig sky;
  sky.seed = 5;
  SimRig rig(sky);
  struct Front : CaptureFront {
    CameraDialogResult run_camera_dialog(AcquisitionSettings& a) override {
      a.mode = ExposureMode::Interlaced;
      a.range = ExposureRange::Seconds;
      a.value = 1;
      a.continuous = true;
      return CameraDialogResult::TakePhoto;
    }
    LiveStackSettings live_stack() const override {
      LiveStackSettings s;
      s.on = true;
      s.every = 4;
      return s;
    }
  } front;
  // An exposure with its read and the pause between takes about six
  // seconds: the key arrives during the sixth.
  rig.pump.press_at(rig.clock.now_ms() + 62000, Input::Key);
  Sequencer sequencer(*rig.app, front);
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Stopped);
  const LiveStackRun* live = sequencer.live_stack();
  ASSERT_NE(live, nullptr);
  const int n = live->frames();
  EXPECT_GE(n, 5);
  EXPECT_NE(n % 4, 0) << "the stop must come between two saves";
  EXPECT_EQ(live->saves(), n / 4 + 1);
  EXPECT_EQ(rig.display.title, "Tarvex - Live Stack - " + std::to_string(n) + " frames");
  EXPECT_TRUE(rig.display.last_colour);
  EXPECT_TRUE(rig.app->store().IsColour);
  const auto file = rig.app->paths.data_root() / LIVE_STACK_FILE;
  const FitsImageRead back = read_fits_image(file);
  ASSERT_TRUE(back.image) << back.error;
  EXPECT_EQ(back.image->data, live->result());
  EXPECT_TRUE(rig.messages.shown.empty());
}

}  // namespace
}  // namespace tarvex
