#include "scope/guide_algorithms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "sim/mount_disturbance.h"

namespace tarvex {
namespace {

TEST(GuideAlgorithms, HysteresisBlendsScalesAndLeavesSmallErrors) {
  HysteresisAxis ra;
  EXPECT_NEAR(ra.step(1.0), 0.9 * 0.7, 1e-12);                // blended with nothing yet
  EXPECT_NEAR(ra.step(1.0), (0.9 + 0.1 * 0.9) * 0.7, 1e-12);  // with the last move
  EXPECT_EQ(ra.step(0.15), 0.0);                              // below the minimum move
  EXPECT_NEAR(ra.step(-0.5), (0.9 * -0.5 + 0.1 * (0.9 * 0.15 + 0.1 * 0.99)) * 0.7, 1e-12);
}

TEST(GuideAlgorithms, ResistSwitchTurnsOnlyForASettledOrLargeError) {
  ResistSwitchAxis dec;
  EXPECT_EQ(dec.step(0.5), 0.5);   // the first push sets the way
  EXPECT_EQ(dec.step(0.1), 0.0);   // small
  EXPECT_EQ(dec.step(-0.3), 0.0);  // one error the other way: held
  EXPECT_EQ(dec.step(-0.3), 0.0);
  EXPECT_EQ(dec.step(-0.3), -0.3);  // the third in a row turns it
  EXPECT_EQ(dec.direction, -1);
  EXPECT_EQ(dec.step(0.7), 0.7);  // large: at once
}

// A star whose light is spread as a Gaussian over the samples, at a known
// sub-pixel place on a noisy-free pedestal.
TEST(GuideAlgorithms, CentroidFindsASubPixelStar) {
  const int side = 64;
  std::vector<std::uint16_t> frame(side * side);
  const double sx = 30.37, sy = 21.81, sigma = 1.4;
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i) {
      const double d2 = (i - sx) * (i - sx) + (j - sy) * (j - sy);
      frame[j * side + i] = static_cast<std::uint16_t>(
          std::lround(500 + 20000 * std::exp(-d2 / (2 * sigma * sigma))));
    }
  const Centroid c = measure_centroid(frame.data(), side, 28, 24, 8, 5);
  ASSERT_TRUE(c.found);
  EXPECT_NEAR(c.x, sx, 0.01);
  EXPECT_NEAR(c.y, sy, 0.01);
  std::vector<std::uint16_t> flat(side * side, 500);
  EXPECT_FALSE(measure_centroid(flat.data(), side, 28, 24, 8, 5).found);
}

// The predictive model, fed the uncorrected path of a mount with periodic
// error, finds the strongest periods and foretells the path a frame ahead
// better than the seeing lets a single frame measure it.
TEST(GuideAlgorithms, PredictiveModelLearnsThePeriodicError) {
  DisturbanceConfig c;
  c.pe = 5;
  c.seeing = 1;
  c.seed = 21;
  const MountDisturbance m(c);
  PredictedAxis axis;
  double err2 = 0;
  int counted = 0;
  for (int k = 0; k < 900; ++k) {
    const double t = k * 1.1;
    const double truth = m.periodic_error(m.worm_seconds(t)) / 2;  // pixels at 2"/px
    double ahead = 0;
    if (k > 600 && axis.predict(t, ahead)) {
      err2 += (ahead - truth) * (ahead - truth);
      ++counted;
    }
    axis.measure(t, truth + m.seeing(k).ra / 2, 0);
  }
  ASSERT_GT(counted, 200);
  EXPECT_LT(std::sqrt(err2 / counted), 0.04);  // the seeing alone is 0.0625 px
  bool worm = false, fast = false;
  for (double p : axis.periods()) {
    if (std::fabs(p - 230.5) < 8) worm = true;
    if (std::fabs(p - 9.56) < 0.1) fast = true;
  }
  EXPECT_TRUE(worm);
  EXPECT_TRUE(fast);
}

// While the star is lost the predictive algorithm keeps up the drift it
// learned, for the time it is allowed, and says so.
TEST(GuideAlgorithms, PredictiveHoldsTheLearnedDriftWhileTheStarIsLost) {
  PredictiveGuide guide({5, 5}, 20);
  double star_dec = 0;  // pixels the star has drifted, less the corrections
  double t = 0;
  for (int k = 0; k < 100; ++k, t += 1) {
    const GuidePulses p = guide.next({t, true, 0, -star_dec});
    EXPECT_FALSE(p.holding_drift);
    star_dec += 0.1 + p.dec_ms / 1000.0 * 5;
  }
  EXPECT_NEAR(star_dec, 0.0, 0.1);
  int holding = 0;
  for (int k = 0; k < 30; ++k, t += 1) {
    const GuidePulses p = guide.next({t, false, 0, 0});
    if (p.holding_drift) {
      ++holding;
      EXPECT_NEAR(p.dec_ms, -20, 3) << k;  // 0.1 px a second at 5 px/s, southwards
    } else {
      EXPECT_EQ(p.dec_ms, 0);
    }
  }
  EXPECT_EQ(holding, 20);
}

}  // namespace
}  // namespace tarvex
