// The sky integrated along the pointing path of an exposure.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "camera/camera_link.h"
#include "camera/readout.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

constexpr int RAW = 298 * 832;

SkyConfig one_plain_star() {
  SkyConfig c;
  c.star_count = 1;
  c.faintest_ratio = 1.0;     // the one star is the brightest
  c.brightest_flux = 100000;  // the still peak stays below saturation
  c.mosaic = false;
  c.extended_objects = false;
  c.read_noise = 0;
  c.shot_noise = false;
  c.hot_pixels = 0;
  c.sky_per_s = 0;
  c.dark_per_s = 0;
  c.bias = 0;
  return c;
}

// Frame sample (x, y) of a raw field of parity y & 1.
double field_sample(const std::vector<std::uint16_t>& raw, int x, int y) {
  return raw[(8 + y / 2) * 832 + 26 + x];
}

TEST(SkyTrails, HeldPathIsTheStillRender) {
  // A path that never leaves the current pointing renders exactly as no path.
  SkyRenderer sky;
  sky.shift_pointing(2.5, -1);
  std::vector<std::uint16_t> still(RAW), held(RAW);
  sky.render_field(0, 2000, 7, still.data());
  const PointingSample path[] = {{0, 2.5, -1}, {1000, 2.5, -1}, {2000, 2.5, -1}};
  sky.render_field(0, 2000, path, 7, held.data());
  EXPECT_EQ(still, held);
}

TEST(SkyTrails, DriftTrailsTheStarAndKeepsItsLight) {
  SkyRenderer sky(one_plain_star());
  const SkyRenderer::Star s = sky.stars()[0];
  // Put the star in the middle of the frame, on an even row.
  const double x0 = 300, y0 = 200;
  sky.shift_pointing(x0 - s.x, y0 - s.y);
  const double px = sky.pointing_x(), py = sky.pointing_y();

  std::vector<std::uint16_t> still(RAW), trail(RAW);
  sky.render_field(0, 4000, 1, still.data());
  // 20 pixels to the right during the exposure, at an even pace.
  const PointingSample path[] = {{0, px, py}, {4000, px + 20, py}};
  sky.render_field(0, 4000, path, 1, trail.data());

  auto row_light = [&](const std::vector<std::uint16_t>& raw, int from, int to) {
    double sum = 0;
    for (int y = 180; y <= 220; y += 2)
      for (int x = from; x <= to; ++x) sum += field_sample(raw, x, y);
    return sum;
  };
  // The same light, spread along the trail: the still peak is far brighter,
  // and the trail reaches from the start to the end position.
  EXPECT_NEAR(row_light(trail, 280, 340), row_light(still, 280, 340),
              0.02 * row_light(still, 280, 340));
  const int y = static_cast<int>(std::lround(y0)) & ~1;
  EXPECT_GT(field_sample(still, 300, y), 3 * field_sample(trail, 300, y));
  EXPECT_NEAR(field_sample(trail, 303, y), field_sample(trail, 317, y),
              0.1 * field_sample(trail, 310, y));
  EXPECT_LT(field_sample(trail, 326, y), 0.1 * field_sample(trail, 310, y));
}

TEST(SkyTrails, PointingHeldElsewhereMovesTheStar) {
  // A path that holds a different pointing throughout renders the star there.
  SkyRenderer sky(one_plain_star());
  const SkyRenderer::Star s = sky.stars()[0];
  sky.shift_pointing(300 - s.x, 200 - s.y);
  const double px = sky.pointing_x(), py = sky.pointing_y();
  std::vector<std::uint16_t> moved(RAW), there(RAW);
  const PointingSample path[] = {{0, px + 6, py + 4}};
  sky.render_field(0, 1000, path, 1, moved.data());
  sky.shift_pointing(6, 4);
  sky.render_field(0, 1000, 1, there.data());
  for (int i = 0; i < RAW; ++i) ASSERT_NEAR(moved[i], there[i], 1) << i;
}

// The simulated camera found and driven through the link.
struct Camera {
  explicit Camera(const SkyConfig& config) : sim(clock, config) {
    DeviceRecords records;
    find_camera(link, records);
  }
  VirtualClock clock{0};
  SimCamera sim;
  RecordingMessages messages;
  CameraLink link{sim, messages};
  ReadoutState state;
  std::unique_ptr<Frame> frame = std::make_unique<Frame>();
};

TEST(SimCameraTime, AFieldReadTakesItsTimeAndTheOtherFieldIntegrates) {
  // A field read takes 3.5 s of the clock; a second field that is not ended
  // before the first is read goes on integrating meanwhile.
  Camera c(one_plain_star());
  c.state.exposure_ms = 1000;
  send_timing_command(c.link, TimingCommand::Prepare);
  send_timing_command(c.link, TimingCommand::StartExposure);
  c.clock.advance(1000);
  send_timing_command(c.link, TimingCommand::EndFirstField);
  const std::uint32_t before = c.clock.now_ms();
  c.state.field_parity = 0;
  ASSERT_EQ(read_field(c.link, c.clock, c.state, *c.frame), LinkResult::Ok);
  EXPECT_EQ(c.clock.now_ms() - before, SimCamera::FIELD_READ_MS);
  EXPECT_EQ(c.sim.last_read_exposure_ms(), 1000);
  // The read time is measured on this first long exposure.
  EXPECT_EQ(c.state.field_read_time, SimCamera::FIELD_READ_MS);
  send_timing_command(c.link, TimingCommand::EndSecondField);
  c.state.field_parity = 1;
  ASSERT_EQ(read_field(c.link, c.clock, c.state, *c.frame), LinkResult::Ok);
  EXPECT_EQ(c.sim.last_read_exposure_ms(), 1000 + SimCamera::FIELD_READ_MS);
  // A window read takes its share of the time.
  const std::uint32_t window_start = c.clock.now_ms();
  std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES);
  ASSERT_EQ(read_window(c.link, c.state, window.data()), LinkResult::Ok);
  EXPECT_EQ(c.clock.now_ms() - window_start, SimCamera::WINDOW_READ_MS);
}

TEST(SimCameraTime, PointingMovedDuringTheExposureTrailsTheStar) {
  // The mount moves the sky 12 pixels during a 4 s exposure, in steps the
  // camera sees as the host polls it: the star's light spreads along x.
  Camera still(one_plain_star()), moved(one_plain_star());
  for (Camera* c : {&still, &moved}) {
    const SkyRenderer::Star s = c->sim.sky().stars()[0];
    c->sim.shift_pointing(300 - s.x, 200 - s.y);
    c->state.exposure_ms = 4000;
    send_timing_command(c->link, TimingCommand::Prepare);
    send_timing_command(c->link, TimingCommand::StartExposure);
    for (int k = 0; k < 40; ++k) {
      c->clock.advance(100);
      if (c == &moved) c->sim.shift_pointing(0.3, 0);
      send_timing_command(c->link, TimingCommand::Prepare);
    }
    send_timing_command(c->link, TimingCommand::EndSingleField);
    c->state.field_parity = 0;
    ASSERT_EQ(read_field(c->link, c->clock, c->state, *c->frame), LinkResult::Ok);
  }
  auto at = [](const Camera& c, int x, int y) { return (*c.frame)[y * FRAME_WIDTH + x]; };
  EXPECT_GT(at(still, 300, 200), 3 * at(moved, 300, 200));
  EXPECT_NEAR(at(moved, 304, 200), at(moved, 308, 200), 0.15 * at(moved, 306, 200));
  EXPECT_GT(at(moved, 306, 200), 5 * at(still, 306, 200));
}

}  // namespace
}  // namespace tarvex
