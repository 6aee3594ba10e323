#include "processing/stack_combine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace tarvex {
namespace {

// One pixel's samples: noise around 100, a hot pixel and a satellite trail.
const std::vector<float> kSamples = {101, 99, 100, 102, 98, 100, 5000, 101, 99, 100, 2000, 97};

TEST(StackCombine, EachMethodAgainstADirectComputation) {
  CombineParameters p;
  auto run = [&](CombineMethod m, std::vector<float> v) {
    p.method = m;
    return combine_pixel(v, p);
  };
  const double mean = std::accumulate(kSamples.begin(), kSamples.end(), 0.0) / kSamples.size();
  EXPECT_NEAR(run(CombineMethod::Mean, kSamples), mean, 1e-3);
  EXPECT_FLOAT_EQ(run(CombineMethod::Median, kSamples), 100.0F);  // (100 + 100) / 2
  EXPECT_FLOAT_EQ(run(CombineMethod::Median, {3, 1, 2}), 2.0F);

  // Sigma clipping by hand: the median is 100 and the absolute deviations
  // 0 0 0 1 1 1 1 2 2 3 1900 4900 have the median 1, so sigma is 1.4826 and
  // everything beyond 100 +- 4.45 goes: 5000 and 2000. The second round
  // (median 100, deviations' median 1) drops nothing; the mean of the ten
  // normal values is the result.
  const std::vector<float> normal = {101, 99, 100, 102, 98, 100, 101, 99, 100, 97};
  const double normal_mean = std::accumulate(normal.begin(), normal.end(), 0.0) / normal.size();
  EXPECT_NEAR(run(CombineMethod::Sigma, kSamples), normal_mean, 1e-4);

  // Winsor by hand: sigma is the winsorized one (values pulled to the
  // median +- 1.5 sigma, sigma times 1.134, until it settles); each round
  // pulls values beyond median +- 3 sigma to those limits, until nothing moves.
  auto sd = [](const std::vector<double>& x) {
    const double m = std::accumulate(x.begin(), x.end(), 0.0) / x.size();
    double q = 0;
    for (double e : x) q += (e - m) * (e - m);
    return std::sqrt(q / (x.size() - 1));
  };
  std::vector<double> w(kSamples.begin(), kSamples.end());
  for (int round = 0; round < 5; ++round) {
    std::vector<double> sorted = w;
    std::sort(sorted.begin(), sorted.end());
    const double med = 0.5 * (sorted[5] + sorted[6]);
    std::vector<double> c = w;
    double s = sd(c);
    for (int i = 0; i < 10; ++i) {
      for (double& x : c) x = std::clamp(x, med - 1.5 * s, med + 1.5 * s);
      const double s2 = 1.134 * sd(c);
      const bool settled = std::abs(s2 - s) <= 5e-4 * s;
      s = s2;
      if (settled) break;
    }
    bool moved = false;
    for (double& x : w) {
      const double k = std::clamp(x, med - 3 * s, med + 3 * s);
      moved |= k != x;
      x = k;
    }
    if (!moved) break;
  }
  const double winsor = std::accumulate(w.begin(), w.end(), 0.0) / w.size();
  EXPECT_NEAR(run(CombineMethod::Winsor, kSamples), winsor, 2e-2);
  EXPECT_LT(winsor, 110);  // the outliers no longer dominate

  // kappa is honoured: with a huge kappa nothing is rejected.
  p.kappa_low = p.kappa_high = 5000;
  EXPECT_NEAR(run(CombineMethod::Sigma, kSamples), mean, 1e-3);
}

TEST(StackCombine, MissingSamplesAreLeftOutAndBandsMatchPixels) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  CombineParameters p;
  std::vector<float> v = {nan, 10, 12, nan, 11};
  EXPECT_FLOAT_EQ(combine_pixel(v, p), 11.0F);
  std::vector<float> none = {nan, nan};
  EXPECT_TRUE(std::isnan(combine_pixel(none, p)));

  // Three frames of four samples, frame after frame.
  const std::vector<float> stack = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  std::vector<float> out(4);
  p.method = CombineMethod::Median;
  combine_band(stack.data(), 3, 4, p, out.data());
  EXPECT_EQ(out, (std::vector<float>{5, 6, 7, 8}));
  EXPECT_EQ(combine_method_named("winsor"), CombineMethod::Winsor);
  EXPECT_FALSE(combine_method_named("average"));
}

}  // namespace
}  // namespace tarvex
