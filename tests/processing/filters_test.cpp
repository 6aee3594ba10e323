#include "processing/filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "app/processing/filters_commands.h"
#include "processing/filters_median.h"
#include "processing/stretch.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::ContextTest;
constexpr int W = FRAME_WIDTH;
constexpr int H = FRAME_HEIGHT;

// The filters exactly as described, one pixel at a time, for comparison.
namespace reference {

int top(const Frame& f, int r) {
  return r + (f[4] + f[5] == 34 ? 10 : 0);
}
std::uint16_t clamp(long q) {
  return q > 65280 ? 65535 : q < 0 ? 0 : static_cast<std::uint16_t>(q);
}

void convolve(FrameStore& fs, int r, int k, int d) {
  save_undo(fs);
  fs.SecondFrame = fs.CurrentFrame;
  for (int y = top(fs.CurrentFrame, r); y < H - r; ++y)
    for (int x = r; x < W - r; ++x) {
      int acc = 0, t = 0;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
          acc += KERNEL_TABLE[k][t++] * fs.CurrentFrame[(y + dy) * W + x + dx];
      fs.SecondFrame[y * W + x] = clamp(acc / d);
    }
  fs.CurrentFrame = fs.SecondFrame;
}

void unsharp(FrameStore& fs, int r, int p) {
  save_undo(fs);
  fs.SecondFrame = fs.CurrentFrame;
  const auto& c = fs.CurrentFrame;
  const int n = 2 * r + 1;
  for (int y = top(c, r); y < H - 1 - r; ++y) {
    long s = 0;
    for (int yy = y - r; yy <= y + r; ++yy)
      for (int xx = 0; xx <= 2 * r; ++xx) s += c[yy * W + xx];
    for (int x = r; x < W - r; ++x) {
      const long mean = static_cast<long>(static_cast<double>(s) / (n * n));
      const long v = c[y * W + x];
      fs.SecondFrame[y * W + x] = clamp(v + (v - mean) * p);
      for (int yy = y - r; yy <= y + r; ++yy) {
        if (x + r + 1 < W) s += c[yy * W + x + r + 1];
        s -= c[yy * W + x - r];
      }
    }
  }
  fs.CurrentFrame = fs.SecondFrame;
}

void median(FrameStore& fs, int r, int p) {
  save_undo(fs);
  fs.SecondFrame = fs.CurrentFrame;
  const auto& c = fs.CurrentFrame;
  const float f = static_cast<float>(p * 0.1);
  const int n = (2 * r + 1) * (2 * r + 1), k = (n + 1) / 2;
  std::vector<int> win(n);
  for (int y = top(c, r); y < H - r; ++y)
    for (int x = r; x < W - r; ++x) {
      int mn = 65000, i = 0;
      for (int xx = x - r; xx <= x + r; ++xx)
        for (int yy = y - r; yy <= y + r; ++yy) {
          win[i] = c[yy * W + xx];
          mn = std::min(mn, win[i++]);
        }
      int mx = 0, m = 0;
      for (int round = 0; round < k; ++round) {
        int best = 0;
        for (int j = 1; j < n; ++j)
          if (win[j] > win[best]) best = j;
        if (round == 0) mx = win[best];
        m = win[best];
        win[best] = 0;
      }
      const int t = static_cast<int>((mx - mn) * f);
      if (t < std::abs(m - c[y * W + x])) fs.SecondFrame[y * W + x] = static_cast<std::uint16_t>(m);
    }
  fs.CurrentFrame = fs.SecondFrame;
}

void gradient(FrameStore& fs) {
  auto& c = fs.CurrentFrame;
  const int modes[4] = {box_mode(c, 20, 10, 0), box_mode(c, 700, 10, 0), box_mode(c, 20, 520, 1),
                        box_mode(c, 700, 520, 1)};
  const int m = *std::min_element(modes, modes + 4);
  double o[4];
  for (int i = 0; i < 4; ++i) o[i] = (modes[i] - m) * 16.0;
  for (int y = top(c, 0); y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double g = ((580.0 - y) * (752.0 - x) * o[0] + (580.0 - y) * x * o[1] +
                        (752.0 - x) * y * o[2] + 1.0 * y * x * o[3]) /
                       436160.0;
      auto& v = c[y * W + x];
      v = v > g ? static_cast<std::uint16_t>(v - static_cast<long>(g)) : 0;
    }
}

}  // namespace reference

class FiltersTest : public ContextTest {
 protected:
  // Runs `fast` on the frame and `slow` on a copy and expects equal frames.
  template <typename Fast, typename Slow>
  void expect_same(Fast fast, Slow slow, const char* what) {
    auto copy = std::make_unique<FrameStore>();
    copy->CurrentFrame = fs().CurrentFrame;
    copy->IsColour = fs().IsColour;
    fast(fs());
    slow(*copy);
    for (int i = 0; i < FRAME_SAMPLES; ++i)
      ASSERT_EQ(fs().CurrentFrame[i], copy->CurrentFrame[i])
          << what << " at x " << i % W << " y " << i / W;
  }
};

TEST_F(FiltersTest, ConvolutionsMatchDirectSum) {
  for (bool band : {false, true}) {
    for (int f = 0; f < 6; ++f) {
      fill_random(17 + f);
      if (band) add_label_band();
      const auto info = kernel_filter_info(static_cast<KernelFilter>(f));
      expect_same(
          [&](FrameStore& s) { convolve_frame(s, info.radius, info.kernel, info.divisor); },
          [&](FrameStore& s) { reference::convolve(s, info.radius, info.kernel, info.divisor); },
          info.history);
    }
  }
  // An unusual combination takes the general path.
  fill_random(3);
  expect_same([](FrameStore& s) { convolve_frame(s, 1, 4, 3); },
              [](FrameStore& s) { reference::convolve(s, 1, 4, 3); }, "radius 1 kernel 4");
}

TEST_F(FiltersTest, UnsharpMaskMatchesSlidingBoxForEveryRadius) {
  for (int r = 1; r <= 7; ++r) {
    fill_random(100 + r);
    if (r == 4) add_label_band();
    const int p = r % 2 ? r : 8 - r;
    expect_same([&](FrameStore& s) { unsharp_mask(s, r, p); },
                [&](FrameStore& s) { reference::unsharp(s, r, p); }, "unsharp");
  }
}

TEST_F(FiltersTest, MedianMatchesPartialSelection) {
  for (int r = 1; r <= 3; ++r) {
    for (int p : {1, 6, 10}) {
      if (r == 3 && p != 6) continue;  // the slow reference: one power is enough here
      fill_random(200 + r * 11 + p);
      if (p == 6) add_label_band();
      expect_same([&](FrameStore& s) { median_filter(s, r, p); },
                  [&](FrameStore& s) { reference::median(s, r, p); }, "median");
    }
  }
  // Saturated neighbourhoods: the minimum counts from 65000.
  fill(65535);
  for (int i = 0; i < FRAME_SAMPLES; i += 7) fs().CurrentFrame[i] = 65100;
  expect_same([](FrameStore& s) { median_filter(s, 2, 1); },
              [](FrameStore& s) { reference::median(s, 2, 1); }, "bright median");
  EXPECT_GT(median_network_size(3), median_network_size(2));
}

// Frames the vectorised median could get wrong: few distinct levels (ties
// everywhere), saturated and nearly saturated samples next to dark ones
// (the minimum counted from 65000, ranges of 0 and 65535), and a lone
// bright or dark column or row at the frame edge and under the top band;
// lone outliers along the right-hand columns, where whole vectors of
// outputs end and the last partial one is finished sample by sample.
TEST_F(FiltersTest, MedianMatchesOnTiesSaturationAndEdges) {
  std::mt19937 rng(77);
  const std::uint16_t levels[] = {0, 1, 64999, 65000, 65001, 65534, 65535, 30000};
  std::uniform_int_distribution<int> pick(0, 7), few(0, 2);
  for (int r = 1; r <= 3; ++r) {
    for (int pattern = 0; pattern < 3; ++pattern) {
      if (r == 3 && pattern != 1) continue;  // the slow reference
      for (int i = 0; i < FRAME_SAMPLES; ++i) {
        fs().CurrentFrame[i] = pattern == 0   ? static_cast<std::uint16_t>(1000 * few(rng))
                               : pattern == 1 ? levels[pick(rng)]
                                              : static_cast<std::uint16_t>(65535 - few(rng));
      }
      for (int y = 0; y < H; ++y) at(0, y) = at(W - 1, y) = 65535;
      for (int x = 0; x < W; ++x) at(x, 0) = at(x, H - 1) = 0;
      if (pattern == 1) add_label_band();
      if (pattern == 0) {
        for (int x = W - 20; x < W - 1; ++x) {
          at(x, 20 + x % 4) = 65535;
          at(x, 30 + x % 3) = 0;
        }
      }
      for (int p : {1, 10}) {
        const Frame start = fs().CurrentFrame;
        expect_same([&](FrameStore& s) { median_filter(s, r, p); },
                    [&](FrameStore& s) { reference::median(s, r, p); }, "median");
        fs().CurrentFrame = start;
      }
    }
  }
}

TEST_F(FiltersTest, GradientMatchesBilinearEstimate) {
  fill_random(5);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      at(x, y) = static_cast<std::uint16_t>(std::min(65535, at(x, y) + y * 9));
  expect_same([](FrameStore& s) { gradient_filter(s); },
              [](FrameStore& s) { reference::gradient(s); }, "gradient");
  // A different sky level in every corner (the estimate falling along some
  // rows and rising along others), bright enough to reach the top levels,
  // under the top band.
  for (int corner = 0; corner < 4; ++corner) {
    fill_random(6 + corner);
    const int lift[4] = {corner == 0 ? 60000 : 500, corner == 1 ? 45000 : 9000,
                         corner == 2 ? 30000 : 0, corner == 3 ? 64000 : 20000};
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const double u = x / (W - 1.0), v = y / (H - 1.0);
        const double sky = (1 - u) * (1 - v) * lift[0] + u * (1 - v) * lift[1] +
                           (1 - u) * v * lift[2] + u * v * lift[3];
        at(x, y) = static_cast<std::uint16_t>(std::min(65535.0, at(x, y) / 8 + sky));
      }
    if (corner % 2) add_label_band();
    expect_same([](FrameStore& s) { gradient_filter(s); },
                [](FrameStore& s) { reference::gradient(s); }, "corner gradient");
  }
}

TEST_F(FiltersTest, FlatFrameUnchangedByEveryFilter) {
  for (int f = 0; f < 6; ++f) {
    fill(1000);
    ASSERT_TRUE(kernel_filter_command(app_, static_cast<KernelFilter>(f)));
    ASSERT_TRUE(std::all_of(fs().CurrentFrame.begin(), fs().CurrentFrame.begin() + FRAME_SAMPLES,
                            [](std::uint16_t v) { return v == 1000; }))
        << f;
  }
  fill(1000);
  unsharp_mask(fs(), 7, 7);
  median_filter(fs(), 3, 1);
  gradient_filter(fs());
  EXPECT_TRUE(std::all_of(fs().CurrentFrame.begin(), fs().CurrentFrame.begin() + FRAME_SAMPLES,
                          [](std::uint16_t v) { return v == 1000; }));
}

TEST_F(FiltersTest, BorderWidthsAndClamping) {
  fill(0);
  // Every pixel bright: the borders keep 0 only where the filter did not reach.
  fill(5000);
  at(0, 0) = 0;
  convolve_frame(fs(), 2, 1, 80);  // Gaussian
  EXPECT_EQ(at(1, 300), 5000);
  EXPECT_EQ(at(2, 300), 5000);
  fill(0);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) at(x, y) = static_cast<std::uint16_t>((x + y) % 2 ? 100 : 0);
  const Frame before = fs().CurrentFrame;
  convolve_frame(fs(), 2, 1, 80);
  for (int i : {0, 1}) {
    EXPECT_EQ(at(i, 300), before[300 * W + i]);
    EXPECT_EQ(at(300, i), before[i * W + 300]);
    EXPECT_EQ(at(W - 1 - i, 300), before[300 * W + W - 1 - i]);
    EXPECT_EQ(at(300, H - 1 - i), before[(H - 1 - i) * W + 300]);
  }
  EXPECT_NE(at(2, 300), before[300 * W + 2]);
  fs().CurrentFrame = before;
  convolve_frame(fs(), 1, 0, 16);
  EXPECT_EQ(at(0, 300), before[300 * W]);
  EXPECT_NE(at(1, 300), before[300 * W + 1]);

  // High pass, low power: 5c minus the four neighbours.
  fill(0);
  at(100, 100) = 14000;  // 70000
  at(200, 100) = 13057;  // 65285 - 4 = 65281
  at(201, 100) = 4;
  at(300, 100) = 13056;  // 65280 stays
  convolve_frame(fs(), 1, 2, 1);
  EXPECT_EQ(at(100, 100), 65535);
  EXPECT_EQ(at(200, 100), 65535);
  EXPECT_EQ(at(300, 100), 65280);
  EXPECT_EQ(at(101, 100), 0);  // negative
}

TEST_F(FiltersTest, MedianRemovesOutlierOnlyAtLowPower) {
  fill(1000);
  at(400, 300) = 60000;
  median_filter(fs(), 1, 1);
  EXPECT_EQ(at(400, 300), 1000);
  fill(1000);
  at(400, 300) = 60000;
  median_filter(fs(), 1, 10);
  EXPECT_EQ(at(400, 300), 60000);
}

TEST_F(FiltersTest, VerticalSmoothingAlternates) {
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) at(x, y) = static_cast<std::uint16_t>(y % 2 ? 101 : 0);
  at(751, 3) = 7;
  bool downward = false;
  vertical_smoothing(fs(), downward);
  EXPECT_TRUE(downward);
  EXPECT_EQ(at(0, 0), 50);
  EXPECT_EQ(at(0, 578), 50);
  EXPECT_EQ(at(0, 579), 101);  // last row unchanged going down
  EXPECT_EQ(at(751, 3), 7);    // last column never changes
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) at(x, y) = static_cast<std::uint16_t>(y * 2 + 1);
  vertical_smoothing(fs(), downward);
  EXPECT_FALSE(downward);
  EXPECT_EQ(at(5, 0), 1);               // first row unchanged going up
  EXPECT_EQ(at(5, 10), (21 + 19) / 2);  // averaged with the row above
  EXPECT_EQ(at(5, 579), (1159 + 1157) / 2);
  vertical_smoothing_command(app_);
  EXPECT_TRUE(app_.SmoothDownward);
  EXPECT_EQ(app_.history.line(0), "Vertical Smoothing Filter");
}

TEST_F(FiltersTest, GradientRemovesCornerExcess) {
  fill(5000);
  gradient_filter(fs());
  EXPECT_EQ(at(751, 579), 5000);  // equal modes: nothing changes
  for (int y = 520; y < 560; ++y)
    for (int x = 700; x < 740; ++x) at(x, y) = 6600;
  gradient_filter_command(app_);
  EXPECT_EQ(at(751, 579), 5000 - 1595);
  for (int x = 0; x < W; ++x) ASSERT_EQ(at(x, 0), 5000);
  for (int y = 0; y < H; ++y) ASSERT_EQ(at(0, y), 5000);
  EXPECT_EQ(at(376, 290), 5000 - static_cast<int>(290.0 * 376 * 1600 / 436160));
  EXPECT_EQ(app_.history.line(0), "Gradient Filter");
  // Below the estimate a pixel becomes 0.
  EXPECT_EQ(fs().UndoFrame[579 * W + 751], 5000);
}

TEST_F(FiltersTest, LabelBandSurvivesEveryFilter) {
  fill_random(9);
  add_label_band();
  const Frame before = fs().CurrentFrame;
  auto band_same = [&] {
    return std::equal(before.begin(), before.begin() + 7520, fs().CurrentFrame.begin());
  };
  for (int f = 0; f < 6; ++f) {
    kernel_filter_command(app_, static_cast<KernelFilter>(f));
    EXPECT_TRUE(band_same()) << f;
  }
  unsharp_mask(fs(), 7, 3);
  EXPECT_TRUE(band_same());
  median_filter(fs(), 3, 5);
  EXPECT_TRUE(band_same());
  vertical_smoothing(fs(), app_.SmoothDownward);
  vertical_smoothing(fs(), app_.SmoothDownward);
  EXPECT_TRUE(band_same());
  gradient_filter(fs());
  EXPECT_TRUE(band_same());
}

TEST_F(FiltersTest, CommandsWriteHistoryAndRefuseBadValues) {
  fill_random(1);
  fs().IsColour = true;
  fs().RedPlane[10] = 321;
  const Frame before = fs().CurrentFrame;
  EXPECT_FALSE(unsharp_mask_command(app_, 8, 1));
  EXPECT_FALSE(unsharp_mask_command(app_, 3, 0));
  EXPECT_FALSE(median_filter_command(app_, 4, 5));
  EXPECT_FALSE(median_filter_command(app_, 1, 11));
  EXPECT_FALSE(convolve_frame(fs(), 3, 0, 16));
  EXPECT_FALSE(convolve_frame(fs(), 1, 0, 0));
  EXPECT_FALSE(convolve_frame(fs(), 1, 6, 1));
  EXPECT_EQ(before, fs().CurrentFrame);
  EXPECT_EQ(app_.history.count(), 0);
  EXPECT_EQ(display_.reloads, 0);
  EXPECT_FALSE(progress_.busy);

  EXPECT_TRUE(unsharp_mask_command(app_, 3, 2));
  EXPECT_EQ(fs().RedSaved[10], 321);
  EXPECT_TRUE(median_filter_command(app_, 2, 6));
  EXPECT_TRUE(median_filter_command(app_, 1, 10));
  EXPECT_TRUE(kernel_filter_command(app_, KernelFilter::BasRelief, false));
  EXPECT_EQ(app_.history.line(0), "Unsharp Mask : rad 3 ,power 2");
  EXPECT_EQ(app_.history.line(1), "Median Filter : rad 2 ,power 0.6");
  EXPECT_EQ(app_.history.line(2), "Median Filter : rad 1 ,power 1.0");
  EXPECT_EQ(app_.history.line(3), "Bas Relief Filter");
  EXPECT_EQ(display_.reloads, 3);
  EXPECT_FALSE(app_.busy);
}

}  // namespace
}  // namespace tarvex
