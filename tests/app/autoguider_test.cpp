// The autoguider end to end on the simulators: the simulated camera's
// windows, the real serial code on the pseudo-terminal to the simulated
// mount, all on the virtual clock (seeded, repeatable). Guide exposure 1 s;
// the simulated window read takes 231 ms (32768 bytes at the field read's
// rate). Rates, backlash and drift are in window pixels.
#include "app/guiding/autoguider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/capture/sequencer.h"
#include "app/telescope.h"
#include "camera/readout.h"
#include "files/settings.h"
#include "guide_rig.h"
#include "one_shot_front.h"
#include "platform/basic_ports.h"
#include "platform/messages.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "scope/guiding.h"
#include "sim/sim_camera.h"
#include "sim/sim_mount.h"
#include "test_support.h"

namespace tarvex {
namespace {

TEST(AutoguiderSim, GuideStarLandsWhereThePlacementPutsIt) {
  // Bright stars across the part of the frame a guiding frame can reach,
  // from the top edge to the right of the window's column reach: each guide
  // window read by the simulated camera shows its star where the placement
  // said, within a pixel of the frame's star position.
  GuideRig rig(still_mount());
  SkyRenderer& sky = rig.camera->sky();
  std::array<std::uint16_t, GUIDE_WINDOW_SAMPLES> window{};
  int checked = 0;
  for (const auto& st : sky.stars()) {
    const double x = st.x + sky.pointing_x(), y = st.y + sky.pointing_y();
    if (st.flux < 2000 || x < 0 || y < 0) continue;
    const int gx = static_cast<int>(std::lround(x)), gy = static_cast<int>(std::lround(y));
    const GuidingFrame f = place_guiding_frame(gx, gy);
    const GuideWindow w = guide_window(f, gx, gy);
    if (!guide_window_holds_star(w, 8)) continue;
    ReadoutState& r = rig.app->camera.readout;
    r.window_x = w.at.x;
    r.window_y = w.at.y;
    ASSERT_EQ(take_window_frame(rig.app->camera.link, rig.clock, r, 1, ExposureRange::Seconds,
                                WindowStretch{}, window.data()),
              LinkResult::Ok);
    StarLocation& s = rig.app->star;
    s.guiding_frame = true;
    s.quiet = true;
    s.ignore_drift = false;
    if (locate_star(s, {window.data(), SMALL_FRAME_SIDE, SMALL_FRAME_SIDE}, w.star_column,
                    w.star_row, 8) != StarSearch::Found)
      continue;
    const double found_x = s.position.x + s.position.x_tenths / 10.0;
    const double found_y = s.position.y + s.position.y_tenths / 10.0;
    // Where the star truly is in the window, and where the placement put it.
    EXPECT_NEAR(found_x, x - w.at.x, 0.6) << gx << "," << gy;
    EXPECT_NEAR(found_y, y - w.at.y, 0.6) << gx << "," << gy;
    // The placement works on the picked pixel (gx, gy): the picked pixel
    // lands within a pixel of the frame's star position (and the centroid's
    // tenths and the noise add up to 0.15 to the measurement).
    if (gx - f.star_column <= WINDOW_MAX_X) {
      EXPECT_NEAR(found_x - (x - gx), f.star_column, 1.15) << gx << "," << gy;
      EXPECT_NEAR(found_y - (y - gy), f.star_row, 1.15) << gx << "," << gy;
    }
    ++checked;
  }
  std::printf("guide stars placed and found: %d\n", checked);
  EXPECT_GE(checked, 5);
}

TEST(AutoguiderSim, TrainingMeasuresTheGuideRatesAndBacklash) {
  GuideRig rig(still_mount());
  Autoguider guider(*rig.app);
  ASSERT_EQ(guider.train(), TrainOutcome::Done) << ::testing::PrintToString(codes(rig.messages));
  const TrainingResult& r = guider.last_training();
  std::printf(
      "trained: RA %d px/s (mount 6), Dec %d px/s (mount 5), backlash RA %d (4), Dec %d (6)\n",
      r.ra_rate, r.dec_rate, r.ra_backlash, r.dec_backlash);
  EXPECT_NEAR(r.ra_rate, 6, 1);
  EXPECT_NEAR(r.dec_rate, 5, 1);
  EXPECT_NEAR(r.ra_backlash, 4, 1);
  EXPECT_NEAR(r.dec_backlash, 6, 1);
  EXPECT_EQ(rig.app->settings.ra_pixels_per_sec, r.ra_rate);
  // An LX200 is not sent the control box's reset.
  EXPECT_EQ(rig.mount.control_box_resets(), 0);
  // The report, then the settings on disk.
  ASSERT_FALSE(rig.messages.shown.empty());
  Settings reloaded;
  FitsText fits;
  RecordingMessages quiet;
  EXPECT_FALSE(
      settings_load_failed(load_settings(rig.app->paths.settings_file(), reloaded, fits, quiet)));
  EXPECT_EQ(reloaded.dec_pixels_per_sec, r.dec_rate);
  EXPECT_FALSE(rig.app->star.guiding_frame);
  EXPECT_FALSE(rig.app->star.guiding_active);
}

TEST(AutoguiderSim, TrainingRefusesAPulseOfZeroOrLess) {
  GuideRig rig(still_mount());
  rig.app->settings.ra_hysteresis = 10;  // 1 s - 10 x 100 ms = 0
  Autoguider guider(*rig.app);
  EXPECT_EQ(guider.train(), TrainOutcome::Refused);
  EXPECT_EQ(rig.mount.received().size(), 0u);
  EXPECT_EQ(rig.app->settings.ra_pixels_per_sec, 6);
}

// Presses a key on the rig's pump once the clock reaches `at_ms`, as a user
// would while training runs.
struct KeyPressAt : ClockListener {
  KeyPressAt(NullPump& p, std::uint32_t t) : pump(p), at_ms(t) {}
  void on_clock(std::uint32_t now_ms) override {
    if (!pressed && now_ms >= at_ms) pump.press(Input::Key), pressed = true;
  }
  NullPump& pump;
  std::uint32_t at_ms;
  bool pressed = false;
};

TEST(AutoguiderSim, AKeyPressStopsTrainingBeforeItsNextPulse) {
  GuideRig rig(still_mount());
  rig.app->settings.ra_pixels_per_sec = 3;
  ASSERT_EQ(save_settings(rig.app->paths.settings_file(), rig.app->settings, rig.app->fits),
            FileSave::Ok);
  rig.mount.set_recording(true);
  const StarPosition before = rig.app->star.position;
  // Within the first declination pulse.
  KeyPressAt key(rig.pump, rig.clock.now_ms() + 2000);
  rig.clock.add_listener(key);
  Autoguider guider(*rig.app);
  EXPECT_EQ(guider.train(), TrainOutcome::Aborted);
  rig.clock.remove_listener(key);
  ASSERT_TRUE(key.pressed);
  EXPECT_FALSE(rig.pump.abort_requested()) << "the press was taken";
  // The pulse under way ended with its stop, and no other followed.
  int moves = 0, stops = 0;
  for (const auto& r : rig.mount.received()) {
    for (std::size_t i = 0; (i = r.bytes.find("#:M", i)) != std::string::npos; ++i) ++moves;
    for (std::size_t i = 0; (i = r.bytes.find("#:Q", i)) != std::string::npos; ++i) ++stops;
  }
  EXPECT_EQ(moves, 1);
  EXPECT_EQ(stops, 1);
  // No report, nothing saved, the frame given up and the star put back.
  EXPECT_TRUE(rig.messages.shown.empty()) << ::testing::PrintToString(codes(rig.messages));
  Settings reloaded;
  FitsText fits;
  RecordingMessages quiet;
  load_settings(rig.app->paths.settings_file(), reloaded, fits, quiet);
  EXPECT_EQ(reloaded.ra_pixels_per_sec, 3);
  EXPECT_EQ(rig.app->settings.ra_pixels_per_sec, 3);
  EXPECT_FALSE(rig.app->star.guiding_frame);
  EXPECT_FALSE(rig.app->star.guiding_active);
  EXPECT_EQ(rig.app->star.position.x, before.x);
  EXPECT_EQ(rig.app->star.position.y, before.y);
}

TEST(AutoguiderSim, MenuGuidingHoldsADriftingStar) {
  SimMountConfig mc;
  mc.drift_x = 0.5;
  mc.drift_y = 0.3;
  GuideRig rig(mc);
  rig.app->settings.ra_pixels_per_sec = 6;
  rig.app->settings.dec_pixels_per_sec = 5;
  Autoguider guider(*rig.app);
  int pulses = 0;
  guider.on_correction = [&](const GuideSample& s) { pulses += s.ra_pulse_ms != 0; };
  const double x0 = rig.mount.pointing_x();
  EXPECT_EQ(guider.guide(10 * 60 * 1000), GuideOutcome::Stopped);
  const GuideGraph& g = guider.graph();
  std::printf("guided %zu frames: RMS RA %.3f px, Dec %.3f px; %d RA pulses\n", g.size(), g.rms_x(),
              g.rms_y(), pulses);
  EXPECT_GT(g.size(), 300u);
  EXPECT_LT(g.rms_x(), 1.0);
  EXPECT_LT(g.rms_y(), 1.0);
  EXPECT_LT(std::abs(rig.mount.pointing_x() - x0), 3.0) << "the drift was taken out";
  ASSERT_FALSE(codes(rig.messages).empty());
  EXPECT_EQ(codes(rig.messages).back(), 51u);
  // Afterwards: the star position as it was, the guiding flags cleared.
  EXPECT_EQ(rig.app->star.position.x, rig.app->star_pick.guide_star_x);
  EXPECT_FALSE(rig.app->star.guiding_active);
}

TEST(AutoguiderSim, AStarBeyondTheCorrectionRangeIsToldAndGuidingGoesOn) {
  // The sky jumps 3.6 px once a minute has passed: within the search box,
  // beyond the 3 px a correction may cover. Nothing is sent for it, and after
  // three such frames the window and the correction lines say why.
  GuideRig rig(still_mount());
  Autoguider guider(*rig.app);
  struct Jump : ClockListener {
    SimCamera* camera = nullptr;
    std::uint32_t at = 0;
    void on_clock(std::uint32_t now) override {
      if (at != 0 && now >= at) {
        camera->shift_pointing(3.6, 0);
        at = 0;
      }
    }
  } jump;
  jump.camera = rig.camera.get();
  jump.at = rig.base.now_ms() + 60000;
  rig.clock.add_listener(jump);
  std::vector<GuideSample> samples;
  std::vector<std::string> titles;
  guider.on_correction = [&](const GuideSample& s) {
    samples.push_back(s);
    titles.push_back(guider.status());
  };
  rig.mount.set_recording(true);
  EXPECT_EQ(guider.guide(3 * 60000), GuideOutcome::Stopped);
  rig.clock.remove_listener(jump);
  ASSERT_EQ(jump.at, 0u);
  // The frames after the jump: counted in a row, marked, nothing sent.
  std::size_t first = 0;
  while (first < samples.size() && samples[first].beyond_range == 0) ++first;
  ASSERT_GT(first, 10u);
  ASSERT_GT(samples.size(), first + 20) << "guiding went on";
  for (std::size_t i = first; i < samples.size(); ++i) {
    EXPECT_EQ(samples[i].beyond_range, static_cast<int>(i - first + 1));
    EXPECT_EQ(samples[i].ra_pulse_ms, 0);
    EXPECT_EQ(samples[i].dec_pulse_ms, 0);
    const bool told = titles[i].find(BEYOND_RANGE_TEXT) != std::string::npos;
    EXPECT_EQ(told, i >= first + 2) << i - first;
  }
  for (std::size_t i = 0; i < first; ++i) EXPECT_EQ(titles[i], "Guiding Info");
  const GuideGraph& g = guider.graph();
  EXPECT_EQ(g.at(g.size() - 1).beyond_range, static_cast<int>(samples.size() - first));
}

TEST(AutoguiderSim, GuidingRefusedWithoutAGuideStarOrOneOutOfReach) {
  GuideRig rig(still_mount());
  rig.app->star_pick.guide_star_picked = false;
  Autoguider guider(*rig.app);
  EXPECT_EQ(guider.guide(1000), GuideOutcome::Refused);
  EXPECT_EQ(codes(rig.messages), std::vector<unsigned>{53});
  // A star the camera's guide window cannot reach: refused before anything
  // goes to the mount, by guiding and by training alike.
  rig.messages.shown.clear();
  rig.mount.set_recording(true);
  rig.app->star_pick.guide_star_picked = true;
  rig.app->star_pick.guide_star_x = 600;
  rig.app->star_pick.guide_star_y = 300;
  EXPECT_EQ(guider.guide(1000), GuideOutcome::Refused);
  EXPECT_EQ(guider.train(), TrainOutcome::Refused);
  EXPECT_EQ(codes(rig.messages), (std::vector<unsigned>{MESSAGE_CALLER_TEXT, MESSAGE_CALLER_TEXT}));
  EXPECT_TRUE(rig.mount.received().empty());
  EXPECT_FALSE(rig.app->star.guiding_active);
}

// The spread (RMS radius about the centroid, pixels) in x and y of the star
// whose brightest sample lies within `reach` of (x, y) in the current image.
void star_width(const Frame& f, int x, int y, int reach, double& sx, double& sy) {
  int best = -1, cx = x, cy = y;
  for (int j = std::max(8, y - reach); j <= std::min(FRAME_HEIGHT - 9, y + reach); ++j)
    for (int i = std::max(8, x - reach); i <= std::min(FRAME_WIDTH - 9, x + reach); ++i)
      if (f[j * FRAME_WIDTH + i] > best) best = f[j * FRAME_WIDTH + i], cx = i, cy = j;
  std::vector<int> ring;
  for (int i = -8; i <= 8; ++i) ring.push_back(f[(cy - 8) * FRAME_WIDTH + cx + i]);
  std::sort(ring.begin(), ring.end());
  const double background = ring[ring.size() / 2];
  double w = 0, mx = 0, my = 0, mxx = 0, myy = 0;
  for (int j = -7; j <= 7; ++j)
    for (int i = -7; i <= 7; ++i) {
      const double v = std::max(0.0, f[(cy + j) * FRAME_WIDTH + cx + i] - background);
      w += v, mx += v * i, my += v * j, mxx += v * i * i, myy += v * j * j;
    }
  sx = std::sqrt(mxx / w - (mx / w) * (mx / w));
  sy = std::sqrt(myy / w - (my / w) * (my / w));
}

// One exposure of `seconds` in fast mode, guided or not; the star's spread.
void expose(int seconds, bool guided, double& sx, double& sy, GuideRig*& out_rig,
            std::unique_ptr<GuideRig>& keep) {
  SimMountConfig mc;
  mc.drift_x = 0.5;
  mc.drift_y = 0.3;
  keep = std::make_unique<GuideRig>(mc);
  GuideRig& rig = *keep;
  out_rig = keep.get();
  rig.app->settings.ra_pixels_per_sec = 6;
  rig.app->settings.dec_pixels_per_sec = 5;
  Autoguider guider(*rig.app);
  OneShotFront front([&](AcquisitionSettings& a) {
    a.mode = ExposureMode::Fast;
    a.range = ExposureRange::Seconds;
    a.value = seconds;
    a.count = 1;
    a.self_guide_next = guided;
  });
  Sequencer sequencer(*rig.app, front, guider);
  const int x = rig.app->star_pick.guide_star_x, y = rig.app->star_pick.guide_star_y;
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
      << ::testing::PrintToString(codes(rig.messages));
  star_width(rig.app->store().CurrentFrame, x, y, guided ? 6 : 40, sx, sy);
}

TEST(AutoguiderSim, SelfGuidedExposureKeepsStarsRound) {
  std::unique_ptr<GuideRig> keep;
  GuideRig* rig = nullptr;
  double short_x, short_y, trailed_x, trailed_y, guided_x, guided_y;
  expose(2, false, short_x, short_y, rig, keep);
  expose(60, false, trailed_x, trailed_y, rig, keep);
  expose(60, true, guided_x, guided_y, rig, keep);
  std::printf(
      "star spread (px): unguided 2 s %.2f x %.2f, unguided 60 s %.2f x %.2f, "
      "self-guided 60 s %.2f x %.2f\n",
      short_x, short_y, trailed_x, trailed_y, guided_x, guided_y);
  EXPECT_GT(trailed_x, 2 * short_x) << "the unguided exposure is trailed";
  EXPECT_LT(guided_x, 1.2 * short_x);
  EXPECT_LT(guided_y, 1.2 * short_y);
  EXPECT_TRUE(rig->messages.shown.empty());
  EXPECT_FALSE(rig->app->star.guiding_frame);
}

TEST(AutoguiderSim, HalfTimeDownloadGivesBothFieldsTheirExposure) {
  // The first field is read at half time, the second at the end; guide
  // windows in between must not restart the second field's integration.
  GuideRig rig(still_mount());
  rig.app->settings.ra_pixels_per_sec = 6;
  rig.app->settings.dec_pixels_per_sec = 5;
  Autoguider guider(*rig.app);
  OneShotFront front([](AcquisitionSettings& a) {
    a.range = ExposureRange::Seconds;
    a.value = 20;
    a.self_guide_next = true;
    a.half_time_download = true;
  });
  Sequencer sequencer(*rig.app, front, guider);
  ASSERT_EQ(sequencer.take_photo(), CaptureOutcome::Done)
      << ::testing::PrintToString(codes(rig.messages));
  // The second field integrates from the restart after the half-time read
  // (the switch of the guiding frame included) to the end: at least the
  // half exposure, where a guide window used to restart it.
  EXPECT_GE(rig.camera->last_read_exposure_ms(), 10000);
  EXPECT_LE(rig.camera->last_read_exposure_ms(), 16000);
  // The second field is not the darker one.
  const Frame& f = rig.app->store().CurrentFrame;
  double even = 0, odd = 0;
  for (int y = 100; y < 400; y += 2)
    for (int x = 50; x < 700; ++x)
      even += f[y * FRAME_WIDTH + x], odd += f[(y + 1) * FRAME_WIDTH + x];
  EXPECT_GT(odd / even, 0.95);
}

// Moves the sky far at one moment: the guide star leaves its search box.
struct SkyJump : ClockListener {
  SkyRenderer* sky = nullptr;
  std::uint32_t at = 0;
  bool done = false;
  void on_clock(std::uint32_t now) override {
    if (done || now < at) return;
    done = true;
    sky->shift_pointing(40, 0);
  }
};

TEST(AutoguiderSim, StarLostDuringASelfGuidedExposureEndsTheRun) {
  // A noiseless sky, so that where the star was there is nothing at all.
  SkyConfig sky;
  sky.read_noise = 0;
  sky.shot_noise = false;
  sky.hot_pixels = 0;
  GuideRig rig(still_mount(), sky);
  rig.app->settings.ra_pixels_per_sec = 6;
  rig.app->settings.dec_pixels_per_sec = 5;
  Autoguider guider(*rig.app);
  OneShotFront front([](AcquisitionSettings& a) {
    a.range = ExposureRange::Seconds;
    a.value = 60;
    a.self_guide_next = true;
  });
  Sequencer sequencer(*rig.app, front, guider);
  SkyJump jump;
  jump.sky = &rig.camera->sky();
  jump.at = rig.base.now_ms() + 20000;
  rig.clock.add_listener(jump);
  rig.mount.set_recording(true);
  const int beeps_before = rig.base.beeps;
  EXPECT_EQ(sequencer.take_photo(), CaptureOutcome::Failed);
  ASSERT_TRUE(jump.done);
  EXPECT_EQ(codes(rig.messages), std::vector<unsigned>{57});
  EXPECT_GE(rig.base.beeps - beeps_before, 29);
  // Nothing went to the mount once the star was gone.
  for (const auto& r : rig.mount.received()) EXPECT_LT(r.at_ms, jump.at) << r.bytes;
  EXPECT_FALSE(rig.app->star.guiding_active);
  EXPECT_FALSE(rig.app->star.guiding_frame);
  rig.clock.remove_listener(jump);
}

}  // namespace
}  // namespace tarvex
