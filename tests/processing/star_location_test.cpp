#include "processing/star_location.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "image/frame_store.h"
#include "platform/basic_ports.h"

namespace tarvex {
namespace {

// The search written out plainly: full histogram scan for the mode, the
// background rule, normalisation and the centroid whose sums start at 1.
struct RefResult {
  StarSearch result;
  StarPosition p;
};

RefResult reference_locate(const StarLocation& flags, int x, int y, const std::uint16_t* frame,
                           int r, int width = 752, int height = 580) {
  const int left = x - r, top = y - r, n = 2 * r + 1;
  if (left < 0 || top < 0 || x + r + 1 > width || y + r + 1 > height)
    return {StarSearch::OutsideFrame, {}};
  std::vector<int> hist(4096, 0);
  std::vector<int> box;
  int peak = 0;
  for (int i = top; i <= y + r; ++i)
    for (int j = left; j <= x + r; ++j) {
      const int v = frame[i * width + j];
      ++hist[v / 16];
      box.push_back(v);
      if (v > peak) peak = v;
    }
  int b = 0;
  for (int k = 1; k < 4096; ++k)
    if (hist[k] > hist[b]) b = k;
  int bg = b < 4015 ? static_cast<int>(b * 16.3) : (b < 4095 ? b * 16 : 65535);
  if (peak <= bg && hist[b] > n * n / 2) return {StarSearch::NothingFound, {}};
  if (peak == bg) {
    if (bg <= 500) return {StarSearch::NothingFound, {}};
    bg -= 1;
  }
  if (peak < bg) return {StarSearch::NothingFound, {}};
  const int factor = 65535 / (peak - bg);
  long sum = 0;
  for (auto& v : box) {
    v = v > bg ? static_cast<std::uint16_t>((v - bg) * factor) : 0;
    sum += v;
  }
  const long mean = sum / (n * n);
  double w = 1, sx = 1, sy = 1;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const long d = box[i * n + j] - mean;
      if (d > 0) {
        w += d;
        sx += d * j;
        sy += d * i;
      }
    }
  const double cx = sx / w, cy = sy / w;
  StarPosition p;
  if (!flags.ignore_drift && (flags.guiding_active || flags.quiet)) {
    p.x = left + static_cast<int>(cx);
    p.y = top + static_cast<int>(cy);
    p.x_tenths = static_cast<int>(cx * 10) - 10 * static_cast<int>(cx);
    p.y_tenths = static_cast<int>(cy * 10) - 10 * static_cast<int>(cy);
  } else {
    p.x = left + static_cast<int>(cx + 0.5);
    p.y = top + static_cast<int>(cy + 0.5);
  }
  return {StarSearch::Found, p};
}

class StarLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = std::make_unique<Frame>();
    frame->fill(0);
  }
  void fill_box(int x, int y, int r, std::uint16_t v) {
    for (int i = y - r; i <= y + r; ++i)
      for (int j = x - r; j <= x + r; ++j) (*frame)[i * 752 + j] = v;
  }
  // A smooth star of the given peak over a background, centred at (cx, cy).
  void draw_star(double cx, double cy, int peak, int background, int width = 752) {
    const int height = width == 128 ? 128 : 580;
    for (int i = 0; i < height; ++i)
      for (int j = 0; j < width; ++j) {
        const double d2 = (j - cx) * (j - cx) + (i - cy) * (i - cy);
        const double v = background + peak * std::exp(-d2 / 4.0);
        (*frame)[i * width + j] = static_cast<std::uint16_t>(v);
      }
  }
  StarSearch locate(int x, int y, int r, int width = 752, int height = 580) {
    return locate_star(s, {frame->data(), width, height}, x, y, r);
  }

  std::unique_ptr<Frame> frame;
  StarLocation s;
};

TEST_F(StarLocationTest, UniformBoxesAtAndAboveTheBackground) {
  // Level 400: mode bin 25, background trunc(25 * 16.3) = 407, not below the peak.
  fill_box(100, 100, 8, 400);
  EXPECT_EQ(locate(100, 100, 8), StarSearch::NothingFound);
  EXPECT_EQ(s.position.x, 50);
  EXPECT_EQ(s.position.y, 50);

  // Level 415: background 407 lies below; every sample equals the mean, so
  // the centroid is offset 1 in both directions.
  fill_box(300, 200, 8, 415);
  EXPECT_EQ(locate(300, 200, 8), StarSearch::Found);
  EXPECT_EQ(s.position.x, 300 - 8 + 1);
  EXPECT_EQ(s.position.y, 200 - 8 + 1);
  EXPECT_EQ(s.position.x_tenths, 0);
}

TEST_F(StarLocationTest, NoSampleAboveTheBackgroundIsNotAStar) {
  // Radius 7: 225 samples. 100 at 400 make the mode (bin 25, background
  // 407), 125 spread over the lower bins; no sample reaches the background
  // and the mode bin holds less than half the box.
  const int x = 200, y = 200, r = 7;
  int k = 0;
  for (int i = y - r; i <= y + r; ++i)
    for (int j = x - r; j <= x + r; ++j, ++k)
      (*frame)[i * 752 + j] = static_cast<std::uint16_t>(k < 100 ? 400 : ((k - 100) / 5) * 16);
  EXPECT_EQ(locate(x, y, r), StarSearch::NothingFound);
  EXPECT_EQ(s.position.x, 50);
}

TEST_F(StarLocationTest, FlatBoxAtLowLevelRefusedHighLevelAccepted) {
  // Peak equal to the background with the mode bin under half the box: a
  // background of 500 or less is refused, a higher one is lowered by 1.
  // Mode bin b with trunc(b * 16.3) equal to a sample value: b = 30 gives 489.
  const int x = 100, y = 100, r = 7;
  int k = 0;
  for (int i = y - r; i <= y + r; ++i)
    for (int j = x - r; j <= x + r; ++j, ++k)
      (*frame)[i * 752 + j] = static_cast<std::uint16_t>(k < 100 ? 480 : (k % 25) * 16);
  (*frame)[(y - r) * 752 + x - r] = 489;  // the peak, in bin 30 with the rest
  EXPECT_EQ(locate(x, y, r), StarSearch::NothingFound);

  // Bin 40: background 652. The peak 652 sits in bin 40 with the mode.
  k = 0;
  for (int i = y - r; i <= y + r; ++i)
    for (int j = x - r; j <= x + r; ++j, ++k)
      (*frame)[i * 752 + j] = static_cast<std::uint16_t>(k < 100 ? 645 : (k % 25) * 16);
  (*frame)[(y + r) * 752 + x + r] = 652;
  EXPECT_EQ(locate(x, y, r), StarSearch::Found);
  // Only the peak lies above the lowered background: the centroid moves
  // towards the bottom-right corner.
  const RefResult ref = reference_locate(s, x, y, frame->data(), r);
  EXPECT_EQ(s.position.x, ref.p.x);
  EXPECT_EQ(s.position.y, ref.p.y);
  EXPECT_GT(s.position.x, x);
}

TEST_F(StarLocationTest, BoxAtTheFrameEdges) {
  const int r = 8;
  fill_box(r, r, r, 415);
  EXPECT_EQ(locate(r, r, r), StarSearch::Found);               // exactly r from the edge
  EXPECT_EQ(locate(r - 1, 100, r), StarSearch::OutsideFrame);  // one closer: outside
  EXPECT_EQ(locate(100, r - 1, r), StarSearch::OutsideFrame);
  fill_box(751 - r, 579 - r, r, 415);
  EXPECT_EQ(locate(751 - r, 579 - r, r), StarSearch::Found);  // right and bottom edges
  EXPECT_EQ(s.position.x, 751 - 2 * r + 1);
  EXPECT_EQ(locate(752 - r, 300, r), StarSearch::OutsideFrame);
  EXPECT_EQ(locate(300, 580 - r, r), StarSearch::OutsideFrame);
  EXPECT_EQ(locate(-5000, 3, r), StarSearch::OutsideFrame);

  // A 128 x 128 guide window is searched within its own size, whatever the
  // guiding flags say.
  s.guiding_active = true;
  EXPECT_EQ(locate(128 - r, 60, r, 128, 128), StarSearch::OutsideFrame);
  s.guiding_active = false;
  EXPECT_EQ(locate(128 - r, 60, r, 128, 128), StarSearch::OutsideFrame);
  s.guiding_frame = true;
  // In range, but black: nothing found.
  EXPECT_EQ(locate(127 - r, 127 - r, r, 128, 128), StarSearch::NothingFound);
}

TEST(StarSearchReport, MessagesForWhatTheSearchFound) {
  RecordingMessages messages;
  report_star_search(messages, StarSearch::Found, false);
  report_star_search(messages, StarSearch::OutsideFrame, true);
  report_star_search(messages, StarSearch::NothingFound, true);  // quiet: nothing
  report_star_search(messages, StarSearch::NothingFound, false);
  EXPECT_EQ(messages.codes(), (std::vector<unsigned>{35, 34}));
}

TEST_F(StarLocationTest, SubPixelAndWholePixelForms) {
  draw_star(200.3, 150.7, 30000, 1000);
  // Whole pixels outside guiding.
  ASSERT_EQ(locate(202, 148, 8), StarSearch::Found);
  EXPECT_EQ(s.position.x, 200);
  EXPECT_EQ(s.position.y, 151);
  EXPECT_EQ(s.position.x_tenths, 0);
  EXPECT_EQ(s.position.y_tenths, 0);

  // Quiet (the sequencer guiding): tenths.
  s.quiet = true;
  ASSERT_EQ(locate(202, 148, 8), StarSearch::Found);
  const RefResult ref = reference_locate(s, 202, 148, frame->data(), 8);
  EXPECT_EQ(s.position.x, ref.p.x);
  EXPECT_EQ(s.position.x_tenths, ref.p.x_tenths);
  EXPECT_EQ(s.position.y, ref.p.y);
  EXPECT_EQ(s.position.y_tenths, ref.p.y_tenths);
  EXPECT_LE(std::abs(s.position.x * 10 + s.position.x_tenths - 2003), 1);
  EXPECT_LE(std::abs(s.position.y * 10 + s.position.y_tenths - 1507), 1);

  // Ignore drift < 1 pixel: whole pixels even while guiding.
  s.ignore_drift = true;
  ASSERT_EQ(locate(202, 148, 8), StarSearch::Found);
  EXPECT_EQ(s.position.x_tenths, 0);
  EXPECT_EQ(s.position.y_tenths, 0);
}

TEST_F(StarLocationTest, MatchesTheStraightforwardSearchOnRandomScenes) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(0, 300);
  for (int trial = 0; trial < 300; ++trial) {
    StarLocation flags;
    flags.quiet = trial % 3 == 0;
    flags.guiding_active = trial % 5 == 1;
    flags.ignore_drift = trial % 7 == 2;
    const int width = flags.guiding_active ? 128 : 752;
    const int height = flags.guiding_active ? 128 : 580;
    // Background level, noise and a star near a random point; some scenes
    // hold only noise, where ties of the mode are common.
    const int level = std::uniform_int_distribution<int>(0, 4200)(rng) * 16;
    const int x = std::uniform_int_distribution<int>(-3, width + 2)(rng);
    const int y = std::uniform_int_distribution<int>(-3, height + 2)(rng);
    const int r = STAR_RADII[static_cast<std::size_t>(trial % 6)];
    const int peak = trial % 4 == 0 ? 0 : std::uniform_int_distribution<int>(50, 40000)(rng);
    const double cx = x + std::uniform_real_distribution<double>(-4, 4)(rng);
    const double cy = y + std::uniform_real_distribution<double>(-4, 4)(rng);
    for (int i = std::max(0, y - 20); i < std::min(height, y + 20); ++i)
      for (int j = std::max(0, x - 20); j < std::min(width, x + 20); ++j) {
        const double d2 = (j - cx) * (j - cx) + (i - cy) * (i - cy);
        const double v = level + noise(rng) + peak * std::exp(-d2 / 5.0);
        (*frame)[i * width + j] = static_cast<std::uint16_t>(std::min(v, 65535.0));
      }
    StarLocation s2 = flags;
    const StarSearch status = locate_star(s2, {frame->data(), width, height}, x, y, r);
    const RefResult ref = reference_locate(flags, x, y, frame->data(), r, width, height);
    ASSERT_EQ(status, ref.result) << "trial " << trial;
    if (status == StarSearch::Found) {
      ASSERT_EQ(s2.position.x, ref.p.x) << "trial " << trial;
      ASSERT_EQ(s2.position.y, ref.p.y) << "trial " << trial;
      ASSERT_EQ(s2.position.x_tenths, ref.p.x_tenths) << "trial " << trial;
      ASSERT_EQ(s2.position.y_tenths, ref.p.y_tenths) << "trial " << trial;
    }
    // The working histogram is left cleared for the next search.
    for (auto c : s2.work.histogram) ASSERT_EQ(c, 0);
  }
}

TEST(StarBackground, BinRule) {
  EXPECT_EQ(star_background_for_bin(25), 407);
  EXPECT_EQ(star_background_for_bin(4014), static_cast<int>(4014 * 16.3));
  EXPECT_EQ(star_background_for_bin(4015), 64240);
  EXPECT_EQ(star_background_for_bin(4094), 65504);
  EXPECT_EQ(star_background_for_bin(4095), 65535);
}

}  // namespace
}  // namespace tarvex
