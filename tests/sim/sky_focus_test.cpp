// The focuser's blur in the simulated sky: stars widen away from best focus,
// so a focus window's peak falls, and they are sharp again on return.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

int window_peak(SkyRenderer& sky, int column, int row) {
  std::vector<std::uint16_t> w(128 * 128);
  sky.render_window(column, row, 200.0, 1, w.data());
  return *std::max_element(w.begin(), w.end());
}

TEST(SkyFocus, DefocusLowersThePeakAndRefocusRestoresIt) {
  SkyConfig c;
  c.read_noise = 0;
  c.shot_noise = false;
  c.hot_pixels = 0;  // hot pixels are no stars: the focus does not touch them
  SkyRenderer sky(c);
  // The brightest window of a coarse grid, so a star is in it.
  int best = 0, bx = 0, by = 0;
  for (int y = 0; y <= 450; y += 90)
    for (int x = 0; x <= 620; x += 124) {
      const int p = window_peak(sky, x, y);
      if (p > best) best = p, bx = x, by = y;
    }
  ASSERT_GT(best, 0);
  const int sharp = window_peak(sky, bx, by);
  sky.set_defocus(1.5);
  const int soft = window_peak(sky, bx, by);
  sky.set_defocus(4.0);
  const int softer = window_peak(sky, bx, by);
  EXPECT_LT(soft, sharp);
  EXPECT_LT(softer, soft);
  EXPECT_GT(sky.star_sigma(), 4.0);
  sky.set_defocus(0);
  EXPECT_EQ(window_peak(sky, bx, by), sharp);
}

}  // namespace
}  // namespace tarvex
