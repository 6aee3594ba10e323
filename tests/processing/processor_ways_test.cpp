// Every way the stretch table and the median filter can run on this
// processor gives the same samples as the plain one, whichever way the
// first use chose.
#include "processing/processor_ways.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "image/frame_store.h"
#include "processing/filters_median.h"
#include "processing/stretch.h"

namespace tarvex {
namespace {

// A sky of noise with stars, hot pixels and the extremes of the range.
std::unique_ptr<Frame> picture(unsigned seed) {
  auto f = std::make_unique<Frame>();
  std::mt19937 rng(seed);
  std::normal_distribution<double> sky(2500, 40);
  std::uniform_int_distribution<int> any(0, 65535), pick(0, 99);
  for (std::size_t i = 0; i < f->size(); ++i) {
    const int p = pick(rng);
    const int v = p < 5 ? any(rng) : p == 5 ? 65535 : p == 6 ? 65534 : p == 7 ? 0 : int(sky(rng));
    (*f)[i] = static_cast<std::uint16_t>(std::clamp(v, 0, 65535));
  }
  return f;
}

TEST(ProcessorWays, EveryStretchWayMapsAsThePlainOne) {
  StretchLevels table;
  fill_non_linear_table(table, 7);
  const auto ways = stretch_ways();
  ASSERT_GE(ways.size(), 1u);
  EXPECT_STREQ(ways[0].name, "plain");
  const auto source = picture(1);
  // Odd lengths and starts off any vector or cache-line boundary.
  for (const int start : {0, 3, 33}) {
    const int n = FRAME_SAMPLES - 1000 - start;
    std::vector<std::uint16_t> want(source->begin() + start, source->begin() + start + n);
    std::vector<std::uint16_t> want_undo(static_cast<std::size_t>(n));
    ways[0].map(want.data(), want_undo.data(), n, table.data());
    for (const StretchWay& w : ways) {
      std::vector<std::uint16_t> got(source->begin() + start, source->begin() + start + n);
      std::vector<std::uint16_t> undo(static_cast<std::size_t>(n));
      w.map(got.data(), undo.data(), n, table.data());
      EXPECT_EQ(got, want) << w.name << " from " << start;
      EXPECT_EQ(undo, want_undo) << w.name << " from " << start;
    }
  }
}

TEST(ProcessorWays, EveryMedianWayFiltersAsThePlainOneAndTheFirstUseChoosesOne) {
  const auto ways = median_ways();
  ASSERT_GE(ways.size(), 1u);
  const auto source = picture(2);
  for (int r = 1; r <= 3; ++r) {
    auto want = std::make_unique<Frame>(*source);
    ways[0].rows(source->data(), want->data(), r, FRAME_HEIGHT - r, r, 0.6F);
    for (const MedianWay& w : ways) {
      auto got = std::make_unique<Frame>(*source);
      w.rows(source->data(), got->data(), r, FRAME_HEIGHT - r, r, 0.6F);
      EXPECT_TRUE(*got == *want) << w.name << " radius " << r;
    }
    // Through the filter's own entry the chosen way gives the same again.
    auto chosen = std::make_unique<Frame>(*source);
    median_rows(source->data(), chosen->data(), r, FRAME_HEIGHT - r, r, 0.6F);
    EXPECT_TRUE(*chosen == *want) << "radius " << r;
    ASSERT_NE(chosen_median_way(r), nullptr);
  }
}

}  // namespace
}  // namespace tarvex
