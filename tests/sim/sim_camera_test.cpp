#include "sim/sim_camera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "camera/readout.h"
#include "platform/basic_ports.h"

namespace tarvex {
namespace {

// A simulated camera found through discovery and driven through the link,
// as the program drives the real one.
struct SimRig {
  explicit SimRig(const SkyConfig& config = {}) : camera(clock, config) {
    // These tests look at the sky and the timing commands; the time a read
    // takes has tests of its own (sky_trails_test.cpp).
    camera.field_read_ms = 0;
    camera.window_read_ms = 0;
    DeviceRecords records;
    find_camera(link, records);
  }
  VirtualClock clock{0};
  SimCamera camera;
  RecordingMessages messages;
  CameraLink link{camera, messages};
  ReadoutState state;
  std::unique_ptr<Frame> frame = std::make_unique<Frame>();

  // Both fields of one exposure, as the progressive mode reads them.
  void expose_both_fields(int ms) {
    state.exposure_ms = ms;
    send_timing_command(link, TimingCommand::Prepare);
    send_timing_command(link, TimingCommand::StartExposure);
    clock.advance(ms < 500 ? 0 : ms);
    send_timing_command(link, TimingCommand::EndFirstField);
    state.field_parity = 0;
    ASSERT_EQ(read_field(link, clock, state, *frame), LinkResult::Ok);
    send_timing_command(link, TimingCommand::EndSecondField);
    state.field_parity = 1;
    ASSERT_EQ(read_field(link, clock, state, *frame), LinkResult::Ok);
  }
  std::uint16_t at(int x, int y) const { return (*frame)[y * FRAME_WIDTH + x]; }
};

// The brightest star well inside the frame.
SkyRenderer::Star bright_star(const SkyRenderer& sky) {
  SkyRenderer::Star best{};
  for (const auto& s : sky.stars()) {
    const double x = s.x + sky.pointing_x(), y = s.y + sky.pointing_y();
    if (x < 30 || x > 720 || y < 30 || y > 550) continue;
    if (s.flux > best.flux) best = s;
  }
  return best;
}

// Star signal: the sum over a box less the box's share of the surrounding ring.
double star_signal(const SimRig& rig, double cx, double cy) {
  const int x0 = static_cast<int>(cx), y0 = static_cast<int>(cy);
  double inner = 0, ring = 0;
  int inner_n = 0, ring_n = 0;
  for (int y = y0 - 12; y <= y0 + 12; ++y)
    for (int x = x0 - 12; x <= x0 + 12; ++x) {
      const bool in = std::abs(x - x0) <= 6 && std::abs(y - y0) <= 6;
      (in ? inner : ring) += rig.at(x, y);
      ++(in ? inner_n : ring_n);
    }
  return inner - inner_n * (ring / ring_n);
}

TEST(SimCamera, DiscoveredLikeTheCamera) {
  SimRig rig;
  EXPECT_EQ(rig.link.camera_present, 1);
  EXPECT_TRUE(rig.messages.shown.empty());

  VirtualClock clock;
  SimCamera missing(clock);
  missing.block_interface_present = false;
  RecordingMessages messages;
  CameraLink link(missing, messages);
  DeviceRecords records;
  find_camera(link, records);
  EXPECT_EQ(link.camera_present, 0);
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown.back().text, "USB BlockIO device not found");
}

TEST(SimCamera, ExposureTimedFromTimingCommandsAndReadBytes) {
  SimRig rig;
  rig.expose_both_fields(300);  // timed by the camera from the read request
  EXPECT_EQ(rig.camera.last_read_exposure_ms(), 300);
  // Long exposure: field 1 restarted part-way ends later than field 0.
  rig.state.exposure_ms = 4000;
  send_timing_command(rig.link, TimingCommand::Prepare);
  send_timing_command(rig.link, TimingCommand::StartExposure);
  rig.clock.advance(1000);
  send_timing_command(rig.link, TimingCommand::EndSecondField);  // restart of the second field
  rig.clock.advance(3000);
  send_timing_command(rig.link, TimingCommand::EndFirstField);
  rig.state.field_parity = 0;
  ASSERT_EQ(read_field(rig.link, rig.clock, rig.state, *rig.frame), LinkResult::Ok);
  EXPECT_EQ(rig.camera.last_read_exposure_ms(), 4000);
  rig.clock.advance(1000);
  send_timing_command(rig.link, TimingCommand::EndSecondField);
  rig.state.field_parity = 1;
  ASSERT_EQ(read_field(rig.link, rig.clock, rig.state, *rig.frame), LinkResult::Ok);
  EXPECT_EQ(rig.camera.last_read_exposure_ms(), 4000);

  // A read without a request times out, and the frame keeps its samples.
  std::vector<std::uint8_t> buffer(16);
  const UsbRead read = rig.camera.bulk_read(buffer);
  EXPECT_NE(read.error, 0);
  EXPECT_EQ(read.received, 0u);
}

TEST(SimCamera, DoubleExposureDoublesStarSignal) {
  SimRig rig;
  const auto star = bright_star(rig.camera.sky());
  ASSERT_GT(star.flux, 0);
  rig.expose_both_fields(1000);
  const double one = star_signal(rig, star.x, star.y);
  rig.expose_both_fields(2000);
  const double two = star_signal(rig, star.x, star.y);
  EXPECT_GT(one, 1000);
  EXPECT_NEAR(two / one, 2.0, 0.1);
}

TEST(SimCamera, WindowMatchesFieldArea) {
  SimRig fields;
  fields.expose_both_fields(300);
  SimRig window_rig;
  std::vector<std::uint16_t> window(SMALL_FRAME_SAMPLES);
  int peak = 0;
  ASSERT_EQ(take_window_frame(window_rig.link, window_rig.clock, window_rig.state, 300,
                              ExposureRange::Thousandths, {16, false}, window.data(), &peak),
            LinkResult::Ok);
  int differing = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) differing += window[y * 128 + x] != fields.at(80 + x, 312 + y);
  EXPECT_EQ(differing, 0);
}

TEST(SimCamera, PointingShiftMovesStars) {
  SkyConfig plain;
  plain.mosaic = false;
  plain.read_noise = 0;
  plain.shot_noise = false;
  plain.hot_pixels = 0;
  SimRig before(plain);
  before.expose_both_fields(2000);
  SimRig after(plain);
  after.camera.shift_pointing(3, 2);
  after.expose_both_fields(2000);
  int worst = 0;
  for (int y = 0; y < FRAME_HEIGHT - 2; ++y)
    for (int x = 0; x < FRAME_WIDTH - 3; ++x)
      worst = std::max(worst, std::abs(after.at(x + 3, y + 2) - before.at(x, y)));
  EXPECT_LE(worst, 1);
  // And something did move.
  int moved = 0;
  for (int i = 0; i < FRAME_SAMPLES; ++i) moved += (*after.frame)[i] != (*before.frame)[i];
  EXPECT_GT(moved, 100);
}

TEST(SimCamera, SameSeedSameFrames) {
  SimRig a, b;
  a.expose_both_fields(1500);
  b.expose_both_fields(1500);
  EXPECT_TRUE(std::equal(a.frame->begin(), a.frame->begin() + FRAME_SAMPLES, b.frame->begin()));
  SkyConfig other;
  other.seed = 2;
  SimRig c(other);
  c.expose_both_fields(1500);
  EXPECT_FALSE(std::equal(a.frame->begin(), a.frame->begin() + FRAME_SAMPLES, c.frame->begin()));
}

TEST(SkyRenderer, BiasDarkHotPixelsAndSaturation) {
  SkyConfig config;
  config.star_count = 0;
  config.extended_objects = false;
  SkyRenderer sky(config);
  std::vector<std::uint16_t> raw(298 * 832);
  sky.render_field(0, 1000, 1, raw.data());
  double overscan = 0;
  for (int s = 0; s < 26; ++s) overscan += raw[100 * 832 + s];
  EXPECT_NEAR(overscan / 26, config.bias, 4 * config.read_noise);

  auto mean_visible = [&](double ms) {
    sky.render_field(0, ms, 1, raw.data());
    double sum = 0;
    for (int line = 8; line < 298; ++line)
      for (int s = 26; s < 778; ++s) sum += raw[line * 832 + s];
    return sum / (290.0 * 752.0);
  };
  const double short_mean = mean_visible(1000);
  const double long_mean = mean_visible(10000);
  EXPECT_GT(long_mean - short_mean, 9 * (config.dark_per_s) * 0.9);

  // Hot pixels saturate at 65535 in a long exposure; nothing exceeds it.
  int saturated = 0;
  sky.render_field(0, 60000, 1, raw.data());
  for (auto v : raw) saturated += v == 65535;
  sky.render_field(1, 60000, 1, raw.data());
  for (auto v : raw) saturated += v == 65535;
  EXPECT_GE(saturated, 1);
  EXPECT_LE(saturated, config.hot_pixels);
}

}  // namespace
}  // namespace tarvex
