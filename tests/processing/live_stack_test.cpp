#include "processing/live_stack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace tarvex {
namespace {

TEST(LiveStack, OutliersNeverReachThePictureAndTheNoiseFalls) {
  constexpr std::size_t kSamples = 20000;
  constexpr int kFrames = 16;
  std::mt19937 rng(4);
  std::normal_distribution<float> noise(0, 10);
  LiveStack stack(kSamples);
  std::vector<float> frame(kSamples);
  for (int f = 0; f < kFrames; ++f) {
    for (std::size_t i = 0; i < kSamples; ++i) frame[i] = 1000 + 0.01F * i + noise(rng);
    frame[100 + 37 * f] = 40000;      // a hot pixel, somewhere else on each registered frame
    if (f == 0) frame[5000] = 60000;  // an outlier in the very first frame
    if (f == 7)
      for (std::size_t i = 8000; i < 8200; ++i) frame[i] += 3000;  // a satellite trail
    frame[9000] = std::nanf("");                                   // no data here
    stack.add(frame.data(), 10.0F);
  }
  EXPECT_EQ(stack.frames(), kFrames);
  std::vector<float> out(kSamples);
  stack.result(out.data());
  double q = 0;
  for (std::size_t i = 0; i < kSamples; ++i) {
    if (i == 9000) continue;
    const double e = out[i] - (1000 + 0.01 * i);
    EXPECT_LT(std::abs(e), 15) << i;  // 6 sigma of the stack's noise (10 / 4)
    q += e * e;
  }
  EXPECT_TRUE(std::isnan(out[9000]));
  // The noise falls as the square root of the count (within 10%).
  EXPECT_NEAR(std::sqrt(q / (kSamples - 1)), 10.0 / 4, 0.25);
  EXPECT_GE(stack.rejected(), 16u + 200u);
}

}  // namespace
}  // namespace tarvex
