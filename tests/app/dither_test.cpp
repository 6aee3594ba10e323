// Dithering between the exposures of a self-guided run on the realistic
// simulated mount: every dither settles, soon enough, at an offset within the
// amount asked for; RA-only dithers leave Dec alone; a press while the
// guider settles stops the run rather than failing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/capture/sequencer.h"
#include "app/guiding/autoguider.h"
#include "guide_rig.h"
#include "one_shot_front.h"

namespace tarvex {
namespace {

struct DitherRun {
  explicit DitherRun(const char* settings = "") : rig(realistic()) {
    std::ofstream(rig.app->paths.more_settings_file()) << settings;
    // Each guide frame is a new exposure, with the seeing of its moment.
    rig.camera->on_exposure_start = [this] { rig.mount.next_seeing_frame(); };
    // The rates as the astronomer gets them: trained on the mount.
    EXPECT_EQ(guider.train(), TrainOutcome::Done);
    guider.seed_dither(7);
    guider.on_event = [this](const GuideEvent& e) { events.push_back(e); };
  }
  static SimMountConfig realistic() {
    SimMountConfig mc;
    set_realistic_preset(mc);
    return mc;
  }
  // A continuous run of `exposures` 10 s exposures, self-guided, saved and
  // dithered by up to 3 pixels.
  CaptureOutcome run(int exposures) {
    OneShotFront front([exposures](AcquisitionSettings& a) {
      a.mode = ExposureMode::Fast;
      a.range = ExposureRange::Seconds;
      a.value = 10;
      a.continuous = true;
      a.count = exposures;
      a.auto_save = true;
      a.self_guide_next = true;
      a.dither = true;
      a.dither_pixels = 3;
    });
    Sequencer sequencer(*rig.app, front, guider);
    return sequencer.take_photo();
  }
  std::vector<GuideEvent> of(GuideEventKind kind) const {
    std::vector<GuideEvent> out;
    for (const GuideEvent& e : events)
      if (e.kind == kind) out.push_back(e);
    return out;
  }

  GuideRig rig;
  Autoguider guider{*rig.app};
  std::vector<GuideEvent> events;
};

TEST(DitherSim, EveryDitherSettlesWithinItsAmount) {
  DitherRun d;
  ASSERT_EQ(d.run(9), CaptureOutcome::Done) << ::testing::PrintToString(codes(d.rig.messages));
  const auto dithers = d.of(GuideEventKind::Dither);
  const auto settled = d.of(GuideEventKind::Settled);
  ASSERT_EQ(dithers.size(), 8u) << "one before every exposure but the first";
  ASSERT_EQ(settled.size(), dithers.size());
  EXPECT_TRUE(d.of(GuideEventKind::SettleTimedOut).empty());
  std::vector<int> frames;
  double spread_x = 0, spread_y = 0;
  for (std::size_t i = 0; i < dithers.size(); ++i) {
    EXPECT_LE(std::fabs(dithers[i].dx), 3.05);
    EXPECT_LE(std::fabs(dithers[i].dy), 3.05);
    spread_x = std::max(spread_x, std::fabs(dithers[i].dx));
    spread_y = std::max(spread_y, std::fabs(dithers[i].dy));
    EXPECT_GT(settled[i].at_ms, dithers[i].at_ms);
    frames.push_back(settled[i].frames);
  }
  // Random offsets, not a fixed step: they reach out on both axes.
  EXPECT_GT(spread_x, 1.0);
  EXPECT_GT(spread_y, 1.0);
  std::vector<int> sorted = frames;
  std::sort(sorted.begin(), sorted.end());
  std::printf("dither settle frames (realistic mount, 2\"/px):");
  for (int f : frames) std::printf(" %d", f);
  std::printf("; median %d\n", sorted[sorted.size() / 2]);
  EXPECT_LE(sorted[sorted.size() / 2], 8);
}

TEST(DitherSim, RaOnlyDithersAndAStopWhileSettling) {
  {
    DitherRun d("guide.dither-axes = ra\n");
    ASSERT_EQ(d.run(3), CaptureOutcome::Done);
    const auto dithers = d.of(GuideEventKind::Dither);
    ASSERT_EQ(dithers.size(), 2u);
    for (const GuideEvent& e : dithers) EXPECT_EQ(e.dy, 0.0);
  }
  {
    // A key pressed as the guider starts settling: the run is stopped, the
    // exposure after the dither is not taken.
    DitherRun d;
    d.guider.on_event = [&](const GuideEvent& e) {
      d.events.push_back(e);
      if (e.kind == GuideEventKind::Dither) d.rig.pump.press(Input::Key);
    };
    EXPECT_EQ(d.run(3), CaptureOutcome::Stopped);
    EXPECT_EQ(d.of(GuideEventKind::Dither).size(), 1u);
    EXPECT_TRUE(d.of(GuideEventKind::Settled).empty());
    EXPECT_FALSE(d.rig.app->star.guiding_frame);
  }
}

}  // namespace
}  // namespace tarvex
