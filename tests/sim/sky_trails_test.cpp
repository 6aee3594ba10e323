// The sky integrated along the pointing path of an exposure.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

constexpr int RAW = 298 * 832;

SkyConfig one_plain_star() {
  SkyConfig c;
  c.star_count = 1;
  c.faintest_ratio = 1.0;  // the one star is the brightest
  c.brightest_flux = 100000;  // the still peak stays below saturation
  c.mosaic = false;
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

}  // namespace
}  // namespace tarvex
