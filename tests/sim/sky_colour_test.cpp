// The sky in colour: the filter model behind each photosite, a star's light
// and colour through the mosaic, the chart's geometry and brightness, and
// the rows summed on the chip in field mode.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

constexpr int RAW = 298 * 832;

SkyConfig clean(SkyConfig c = {}) {
  c.read_noise = 0;
  c.shot_noise = false;
  c.hot_pixels = 0;
  c.sky_per_s = 0;
  c.dark_per_s = 0;
  c.bias = 0;
  return c;
}

double field_sample(const std::vector<std::uint16_t>& raw, int x, int y) {
  return raw[(8 + y / 2) * 832 + 26 + x];
}

// Both fields of one exposure as a frame, rows one photosite each.
std::vector<double> frame_of(SkyRenderer& sky, double ms) {
  std::vector<std::uint16_t> raw(RAW);
  std::vector<double> frame(SkyRenderer::WIDTH * SkyRenderer::HEIGHT);
  for (int parity = 0; parity < 2; ++parity) {
    sky.render_field(parity, ms, 1, raw.data());
    for (int y = parity; y < SkyRenderer::HEIGHT; y += 2)
      for (int x = 0; x < SkyRenderer::WIDTH; ++x)
        frame[y * SkyRenderer::WIDTH + x] = field_sample(raw, x, y);
  }
  return frame;
}

TEST(SkyColour, FilterModelByHand) {
  // Transmission x silicon (red 1, green 0.68, blue 0.31), scaled by the
  // mean white response of the four filters: cyan 0.971, yellow 1.5368,
  // magenta 1.2334, green 0.7168 over 3.
  const double mean = (0.971 + 1.5368 + 1.2334 + 0.7168) / 12;
  struct Site {
    int x, y;
    const char* filter;
    double r, g, b;
  } sites[] = {
      {1, 0, "cyan", 0.08, 0.612, 0.279},
      {0, 0, "yellow", 0.9, 0.612, 0.0248},
      {1, 1, "magenta", 0.9, 0.0544, 0.279},
      {0, 1, "green", 0.08, 0.612, 0.0248},
      {1, 3, "green (swapped)", 0.08, 0.612, 0.0248},
      {0, 3, "magenta (swapped)", 0.9, 0.0544, 0.279},
      {3, 4, "cyan", 0.08, 0.612, 0.279},
  };
  for (const Site& s : sites) {
    double r, g, b;
    mosaic_filter(s.x, s.y, r, g, b);
    EXPECT_NEAR(r, s.r / mean, 1e-9) << s.filter;
    EXPECT_NEAR(g, s.g / mean, 1e-9) << s.filter;
    EXPECT_NEAR(b, s.b / mean, 1e-9) << s.filter;
  }
  // Colour synthesis' phases: the two sums of neighbouring rows along a
  // line (both columns) carry the same light in every band on every line
  // (ideal filters give 2 red + 3 green + 2 blue), which is what lets the
  // synthesis take red, green and blue apart.
  double first[3] = {0, 0, 0};
  for (int y = 0; y < 8; ++y) {
    double band[3] = {0, 0, 0};
    for (int x = 0; x < 2; ++x)
      for (int dy = 0; dy < 2; ++dy) {
        double r, g, b;
        mosaic_filter(x, y + dy, r, g, b);
        band[0] += r, band[1] += g, band[2] += b;
      }
    for (int k = 0; k < 3; ++k) {
      if (y == 0) first[k] = band[k];
      EXPECT_NEAR(band[k], first[k], 1e-9) << y << " band " << k;
    }
  }
}

TEST(SkyColour, StarTemperaturesRunFromRedToBlue) {
  const BandLight cool = star_colour(3200), sun = star_colour(5800), hot = star_colour(12000);
  EXPECT_NEAR(cool.r + cool.g + cool.b, 3.0, 1e-9);
  EXPECT_GT(cool.r, cool.g);
  EXPECT_GT(cool.g, cool.b);
  EXPECT_GT(hot.b, hot.g);
  EXPECT_GT(hot.g, hot.r);
  EXPECT_GT(sun.r / sun.b, hot.r / hot.b);
  EXPECT_LT(sun.r / sun.b, cool.r / cool.b);
  // The field spans the range, and every star's colour is its temperature's.
  SkyRenderer sky;
  double coolest = 1e9, hottest = 0;
  for (const auto& s : sky.stars()) {
    coolest = std::min(coolest, s.kelvin);
    hottest = std::max(hottest, s.kelvin);
    EXPECT_NEAR(s.r, star_colour(s.kelvin).r, 1e-12);
  }
  EXPECT_LT(coolest, 3800);
  EXPECT_GT(hottest, 9000);
}

TEST(SkyColour, StarLightFollowsExposureAndBrightnessAndItsColourTheFilters) {
  SkyConfig c = clean();
  c.star_count = 1;
  c.faintest_ratio = 1.0;
  c.brightest_flux = 40000;
  c.extended_objects = false;
  SkyRenderer sky(c);
  const auto star = sky.stars()[0];
  sky.shift_pointing(300.3 - star.x, 200.6 - star.y);

  // Sums over the star by filter.
  auto by_filter = [&](const std::vector<double>& frame, double out[4]) {
    for (int f = 0; f < 4; ++f) out[f] = 0;
    for (int y = 185; y < 216; ++y)
      for (int x = 285; x < 316; ++x) out[mosaic_cell(x, y)] += frame[y * SkyRenderer::WIDTH + x];
  };
  double one[4], two[4];
  by_filter(frame_of(sky, 1000), one);
  by_filter(frame_of(sky, 2000), two);
  double total_one = 0, total_two = 0, expected = 0;
  for (int f = 0; f < 4; ++f) {
    total_one += one[f];
    total_two += two[f];
  }
  // Each filter covers a quarter of the star; its share of the light is
  // its response to the star's colour.
  const int site[4][2] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}};
  double response[4];
  for (int f = 0; f < 4; ++f) {
    double r, g, b;
    mosaic_filter(site[f][0], site[f][1], r, g, b);
    response[f] = (r * star.r + g * star.g + b * star.b) / 3;
    expected += star.flux / 4 * response[f];
  }
  EXPECT_NEAR(total_one, expected, 0.01 * expected);
  // (Each sample is truncated to a whole count: up to one per sample.)
  EXPECT_NEAR(total_two, 2 * total_one, 0.002 * total_one + 31 * 31);
  for (int f = 0; f < 4; ++f)
    EXPECT_NEAR(one[f] / total_one, response[f] / 4 / (expected / star.flux), 0.01) << f;

  // Twice the brightness, twice the light.
  c.brightest_flux *= 2;
  SkyRenderer brighter(c);
  brighter.shift_pointing(300.3 - star.x, 200.6 - star.y);
  double bright[4];
  by_filter(frame_of(brighter, 1000), bright);
  EXPECT_NEAR(bright[0] + bright[1] + bright[2] + bright[3], 2 * total_one,
              0.002 * total_one + 31 * 31);
}

TEST(SkyColour, ChartPatchesLieApartInsideTheFrameWithTheirLight) {
  const auto patches = chart_patches();
  ASSERT_EQ(patches.size(), 18u);
  for (std::size_t i = 0; i < patches.size(); ++i) {
    const ChartPatch& p = patches[i];
    EXPECT_GE(p.x0, 0);
    EXPECT_LE(p.x1, SkyRenderer::WIDTH);
    EXPECT_GE(p.y0, 0);
    EXPECT_LE(p.y1, SkyRenderer::HEIGHT);
    EXPECT_GE(p.x1 - p.x0, 60) << p.name;
    EXPECT_GE(p.y1 - p.y0, 60) << p.name;
    for (std::size_t j = 0; j < i; ++j) {
      const ChartPatch& q = patches[j];
      const bool apart =
          p.x1 + 10 <= q.x0 || q.x1 + 10 <= p.x0 || p.y1 + 10 <= q.y0 || q.y1 + 10 <= p.y0;
      EXPECT_TRUE(apart) << p.name << " and " << q.name;
    }
  }
  // The grey ramp runs from white down to black.
  int greys = 0, last = 256;
  for (const ChartPatch& p : patches) {
    if (std::abs(p.red - p.green) > 2 || std::abs(p.green - p.blue) > 2) continue;
    EXPECT_LT(p.green, last);
    last = p.green;
    ++greys;
  }
  EXPECT_EQ(greys, 6);
  EXPECT_NEAR(srgb_to_linear(255), 1.0, 1e-12);
  EXPECT_NEAR(srgb_to_linear(128), 0.21586, 1e-4);

  // No stars on the chart; each photosite of a patch sees the patch's light
  // through its filter, the card between them sees little.
  SkyConfig c = clean();
  c.scene = SkyScene::Chart;
  SkyRenderer sky(c);
  EXPECT_TRUE(sky.stars().empty());
  const std::vector<double> frame = frame_of(sky, 1000);
  for (const ChartPatch& p : patches) {
    for (const auto& [x, y] : {std::pair{(p.x0 + p.x1) / 2, (p.y0 + p.y1) / 2},
                               std::pair{(p.x0 + p.x1) / 2 + 1, (p.y0 + p.y1) / 2 + 1}}) {
      double r, g, b;
      mosaic_filter(x, y, r, g, b);
      const double expected =
          c.chart_white_per_s *
          (r * srgb_to_linear(p.red) + g * srgb_to_linear(p.green) + b * srgb_to_linear(p.blue)) /
          3;
      EXPECT_NEAR(frame[y * SkyRenderer::WIDTH + x], expected, 1.0) << p.name;
    }
  }
  EXPECT_LT(frame[20 * SkyRenderer::WIDTH + 10], 0.05 * c.chart_white_per_s);
}

TEST(SkyColour, FieldModeCombinesNeighbouringRowsOnTheChip) {
  SkyConfig c = clean();
  c.scene = SkyScene::Chart;
  SkyRenderer sky(c);
  const std::vector<double> single = frame_of(sky, 1000);
  sky.set_field_readout(FieldReadout::Summed);
  std::vector<std::uint16_t> raw(RAW);
  for (int parity = 0; parity < 2; ++parity) {
    sky.render_field(parity, 1000, 1, raw.data());
    for (int y = parity; y < SkyRenderer::HEIGHT - 1; y += 38)
      for (int x = 0; x < SkyRenderer::WIDTH; x += 7)
        ASSERT_NEAR(
            field_sample(raw, x, y),
            (single[y * SkyRenderer::WIDTH + x] + single[(y + 1) * SkyRenderer::WIDTH + x]) / 2,
            1.0)
            << x << "," << y;
  }
}

TEST(SkyColour, ExtendedObjectsMoveWithThePointingAndKeepTheirColours) {
  SkyConfig c = clean();
  c.star_count = 0;
  c.sky_per_s = 150;
  SkyRenderer sky(c);
  const std::vector<double> here = frame_of(sky, 10000);
  sky.shift_pointing(40, -20);
  const std::vector<double> moved = frame_of(sky, 10000);
  // The nebula's heart, then 40 right and 20 up: the same light, same
  // filter (the shift keeps the mosaic phase).
  for (const auto& [x, y] : {std::pair{215, 330}, std::pair{560, 170}, std::pair{250, 300}})
    EXPECT_NEAR(moved[(y - 20) * SkyRenderer::WIDTH + x + 40], here[y * SkyRenderer::WIDTH + x],
                0.01 * here[y * SkyRenderer::WIDTH + x] + 1);
  // The nebula glows red: its yellow and magenta photosites (red-passing)
  // outshine its cyan and green ones far more than in the plain sky.
  auto ratio = [&](int x0, int y0) {
    double red_passing = 0, red_blocking = 0;
    for (int y = y0; y < y0 + 8; ++y)
      for (int x = x0; x < x0 + 8; ++x) {
        const int f = mosaic_cell(x, y);
        (f == 1 || f == 2 ? red_passing : red_blocking) += here[y * SkyRenderer::WIDTH + x];
      }
    return red_passing / red_blocking;
  };
  EXPECT_GT(ratio(212, 326), 1.4 * ratio(20, 20));
}

}  // namespace
}  // namespace tarvex
