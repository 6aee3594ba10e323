#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>

#include "app/colour/synthesis_commands.h"
#include "colour/median25.h"
#include "colour_reference.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::ContextTest;
constexpr int W = FRAME_WIDTH;

class SynthesisTest : public ContextTest {
 protected:
  std::uint16_t& raw(int r, int c) { return fs().CurrentFrame[r * W + c]; }
  int red(int r, int c) { return fs().RedPlane[r * W + c]; }
  int blue(int r, int c) { return fs().BluePlane[r * W + c]; }
  int green(int r, int c) { return fs().GreenPlane[r * W + c]; }
  int lum(int r, int c) { return fs().SecondFrame[r * W + c]; }
  // Same starting planes and luminance for both sides of a comparison.
  void scramble_outputs(unsigned seed) {
    std::mt19937 rng(seed);
    for (Frame* f : {&fs().SecondFrame, &fs().RedPlane, &fs().GreenPlane, &fs().BluePlane})
      for (auto& v : *f) v = static_cast<std::uint16_t>(rng());
  }
  void expect_same_outputs(const FrameStore& ref) {
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      ASSERT_EQ(fs().SecondFrame[i], ref.SecondFrame[i]) << "luminance at " << i;
      ASSERT_EQ(fs().RedPlane[i], ref.RedPlane[i]) << "red at " << i;
      ASSERT_EQ(fs().GreenPlane[i], ref.GreenPlane[i]) << "green at " << i;
      ASSERT_EQ(fs().BluePlane[i], ref.BluePlane[i]) << "blue at " << i;
    }
  }
};

TEST_F(SynthesisTest, ResultDoesNotDependOnEarlierBufferContents) {
  auto first = std::make_unique<FrameStore>();
  reference::fill_mosaic(fs().CurrentFrame, 8);
  static Frame raw_frame;
  raw_frame = fs().CurrentFrame;
  scramble_outputs(1);
  synthesize_mosaic(fs(), {70, 28, 60}, {false, true});
  repair_and_finish(fs(), false, false);
  *first = fs();
  fs().CurrentFrame = raw_frame;
  scramble_outputs(2);
  synthesize_mosaic(fs(), {70, 28, 60}, {false, true});
  repair_and_finish(fs(), false, false);
  expect_same_outputs(*first);
}

TEST_F(SynthesisTest, ColourWeights) {
  EXPECT_EQ(colour_divisors(false, false), (ColourDivisors{70, 28, 60}));
  EXPECT_EQ(colour_divisors(true, false), (ColourDivisors{75, 33, 62}));
  EXPECT_EQ(colour_divisors(true, true), (ColourDivisors{70, 33, 60}));
  EXPECT_EQ(colour_divisors(false, true), (ColourDivisors{70, 28, 60}));
}

// One pixel at row 8, column 11 with a hand-computed neighbourhood:
// centre 2000, edges 1000 (left), 3000 (right), 1500 (up), 2500 (down), corners
// 1000, 1500, 1500, 2000: E = 8000, K = 6000, A = 16000, so x1 = 700, x2 = 200,
// x3 = 650, y1 = 50, y2 = 850, y3 = 550. Row 8 and column 11 start both
// phases at the offsets, so each offset pair picks one row of the table.
TEST_F(SynthesisTest, PhaseTableForEachOffsetPair) {
  struct Case {
    bool pixel_offset, line_offset;
    int red, blue, green;
  };
  // (value * 300 / divisor) / 2 with divisors 70, 28, 60.
  const Case cases[] = {
      {false, false, 428, 3750, 1625},  // red x2, blue x1, green x3
      {false, true, 107, 2946, 2125},   // red y1, blue y3, green y2
      {true, false, 1178, 267, 2125},   // red y3, blue y1, green y2
      {true, true, 1500, 1071, 1625},   // red x1, blue x2, green x3
  };
  for (const Case& k : cases) {
    fill(0);
    raw(8, 11) = 2000;
    raw(8, 10) = 1000;
    raw(8, 12) = 3000;
    raw(6, 11) = 1500;
    raw(10, 11) = 2500;
    raw(6, 10) = 1000;
    raw(6, 12) = 1500;
    raw(10, 10) = 1500;
    raw(10, 12) = 2000;
    synthesize_mosaic(fs(), {70, 28, 60}, {k.pixel_offset, k.line_offset});
    EXPECT_EQ(red(8, 11), k.red) << k.pixel_offset << k.line_offset;
    EXPECT_EQ(blue(8, 11), k.blue) << k.pixel_offset << k.line_offset;
    EXPECT_EQ(green(8, 11), k.green) << k.pixel_offset << k.line_offset;
    EXPECT_EQ(lum(8, 11), 1764);  // (1000 + 2000) / 1.7
  }
}

TEST_F(SynthesisTest, MosaicAndRepairMatchStraightforwardVersion) {
  struct Case {
    bool binned, daylight, ir, pixel_offset, line_offset, band, smoothing;
  };
  const Case cases[] = {
      {false, false, false, false, true, false, false},
      {false, true, false, true, false, false, true},
      {false, true, true, true, true, true, false},
      {true, false, false, false, false, false, true},
      {true, true, false, true, true, true, false},
  };
  auto ref = std::make_unique<FrameStore>();
  unsigned seed = 1;
  for (const Case& k : cases) {
    reference::fill_mosaic(fs().CurrentFrame, seed++);
    fs().IsBinned = k.binned;
    scramble_outputs(seed);
    *ref = fs();
    const ColourDivisors d = colour_divisors(k.daylight, k.ir);
    synthesize_mosaic(fs(), d, {k.pixel_offset, k.line_offset});
    reference::mosaic(*ref, d, k.pixel_offset, k.line_offset);
    expect_same_outputs(*ref);
    repair_and_finish(fs(), k.band, k.smoothing);
    reference::repair(*ref, k.band, k.smoothing);
    expect_same_outputs(*ref);
  }
}

// A bright, star-crowded frame: every highlight boost, the division of
// bright pixels by their largest value and the overflow rules, in every
// phase, through the eight-pixel step.
TEST_F(SynthesisTest, BrightMosaicMatchesStraightforwardVersion) {
  auto ref = std::make_unique<FrameStore>();
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> level(46000, 65535), dark(0, 9);
  for (bool binned : {false, true}) {
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      fs().CurrentFrame[i] = static_cast<std::uint16_t>(dark(rng) == 0 ? 0 : level(rng));
    }
    fs().IsBinned = binned;
    for (const bool pixel_offset : {false, true}) {
      scramble_outputs(3);
      *ref = fs();
      const ColourDivisors d = colour_divisors(binned, pixel_offset);
      synthesize_mosaic(fs(), d, {pixel_offset, !binned});
      reference::mosaic(*ref, d, pixel_offset, !binned);
      expect_same_outputs(*ref);
    }
  }
}

// The luminance divides in integers; every pair sum must truncate as the
// division by 1.7 in double precision does.
TEST(PairLuminance, EqualsDoubleDivisionForEverySum) {
  for (int s = 0; s <= 2 * 65535; ++s) {
    const long long v = static_cast<long long>(s / 1.7);
    ASSERT_EQ(pair_luminance(s), v > 65534 ? 65535 : v) << s;
  }
}

TEST_F(SynthesisTest, UnusualDivisorsStillMatch) {
  auto ref = std::make_unique<FrameStore>();
  reference::fill_mosaic(fs().CurrentFrame, 77);
  *ref = fs();
  synthesize_mosaic(fs(), {41, 17, 99}, {true, false});
  reference::mosaic(*ref, {41, 17, 99}, true, false);
  expect_same_outputs(*ref);
}

TEST_F(SynthesisTest, SaturatedSampleGivesWhiteLuminanceAndRepairedPlanes) {
  reference::fill_mosaic(fs().CurrentFrame, 5);
  for (int r = 290; r <= 310; ++r)
    for (int c = 290; c <= 310; ++c) raw(r, c) = 4000;
  raw(300, 300) = 65535;
  synthesize_mosaic(fs(), {70, 28, 60}, {false, true});
  EXPECT_EQ(lum(300, 300), 65535);
  EXPECT_EQ(red(300, 300), 65535);
  EXPECT_EQ(green(300, 300), 65535);
  const int below_red = red(301, 300), below_green = green(301, 300);
  repair_and_finish(fs(), false, false);
  // Not good: replaced by the mean of the repaired row above and the row below.
  EXPECT_EQ(red(300, 300), (red(299, 300) + below_red) / 2);
  EXPECT_EQ(green(300, 300), (green(299, 300) + below_green) / 2);
}

TEST_F(SynthesisTest, NegativeFormulaMarksPixelBadThenVerticalAverage) {
  fill(1000);
  // A bright centre on a dark field makes x2 = (2E + 2K - 12k) / 20 negative;
  // row 8, column 11 with no offsets takes red from x2.
  raw(8, 11) = 20000;
  synthesize_mosaic(fs(), {70, 28, 60}, {false, false});
  EXPECT_EQ(red(8, 11), 65535);
  EXPECT_EQ(blue(8, 11), 65535);
  EXPECT_EQ(green(8, 11), 65535);
  const int below = blue(9, 11);
  repair_and_finish(fs(), false, false);
  EXPECT_EQ(blue(8, 11), (blue(7, 11) + below) / 2);
  EXPECT_LT(blue(8, 11), 65535);
}

TEST_F(SynthesisTest, OverflowRuleDiffersBetweenEvenAndOddRows) {
  // A bright pair sum boosts every colour; the strongest then passes 65535.
  for (int row : {8, 9}) {
    fill(1000);
    for (int c = 9; c <= 13; ++c) raw(row, c) = 62000;
    raw(row, 11) = 64000;
    raw(row, 10) = 64000;
    raw(row - 2, 11) = 0;
    raw(row + 2, 11) = 0;
    synthesize_mosaic(fs(), {70, 28, 60}, {false, false});
    const int r = red(row, 11), b = blue(row, 11), g = green(row, 11);
    if (row % 2 == 0) {
      // All three or none are white.
      EXPECT_TRUE((r == 65535) == (b == 65535) && (b == 65535) == (g == 65535));
    } else {
      EXPECT_TRUE(r <= 65535 && b <= 65535 && g <= 65535);
    }
  }
}

TEST_F(SynthesisTest, BinnedOddRowsAreMeansOfTheirNeighbours) {
  reference::fill_mosaic(fs().CurrentFrame, 9);
  fs().IsBinned = true;
  synthesize_mosaic(fs(), {70, 28, 60}, {false, true});
  repair_and_finish(fs(), false, false);
  for (int r = 1; r <= 577; r += 2)
    for (int c = 0; c < W; c += 37)
      for (const Frame* f : {&fs().SecondFrame, &fs().RedPlane, &fs().GreenPlane, &fs().BluePlane})
        ASSERT_EQ((*f)[r * W + c], ((*f)[(r - 1) * W + c] + (*f)[(r + 1) * W + c]) / 2);
}

TEST_F(SynthesisTest, TopBandAndBlackLastRow) {
  reference::fill_mosaic(fs().CurrentFrame, 3);
  raw(0, 4) = 30;
  raw(0, 5) = 4;
  app_.settings.colour_smoothing = false;
  SynthesisOptions o = synthesis_options(app_.settings);
  o.anti_alias = false;
  synthesize_colour(app_, o);
  for (int i = 0; i < 7520; ++i) {
    ASSERT_EQ(fs().RedPlane[i], 65535);
    ASSERT_EQ(fs().BluePlane[i], 65535);
  }
  for (int c = 0; c < W; ++c) {
    EXPECT_EQ(fs().CurrentFrame[579 * W + c], 0);
    EXPECT_EQ(fs().GreenPlane[579 * W + c], 0);
  }
  EXPECT_EQ(fs().IsColour, 1);
}

TEST_F(SynthesisTest, NoAutoStretchIgnoresRemoveBackground) {
  auto first = std::make_unique<FrameStore>();
  SynthesisOptions o;
  o.stretch = AutoStretch::None;
  for (bool remove : {false, true}) {
    reference::fill_mosaic(fs().CurrentFrame, 11);
    fs().IsColour = false;
    app_.history.clear();
    o.remove_background = remove;
    synthesize_colour(app_, o);
    if (!remove) {
      *first = fs();
      EXPECT_EQ(app_.history.count(), 0);
    } else {
      EXPECT_EQ(app_.history.count(), 0);
      EXPECT_TRUE(std::equal(first->CurrentFrame.begin(), first->CurrentFrame.end(),
                             fs().CurrentFrame.begin()));
    }
  }
}

TEST_F(SynthesisTest, AutoStretchWritesHistoryAndTable) {
  reference::fill_mosaic(fs().CurrentFrame, 12);
  SynthesisOptions o;
  o.stretch = AutoStretch::Strong;
  o.high_pass = true;
  synthesize_colour(app_, o);
  EXPECT_EQ(app_.history.line(0), "Non-Linear Stretch : power 18");
  EXPECT_EQ(app_.history.line(1), "High Pass Low Power Filter");
  // x = 0.5 with p = 2: 16384 * 2 * 0.5 / 1.5.
  fill_auto_stretch_table(app_.StretchTable, 2.0);
  EXPECT_EQ(app_.StretchTable[8192], 10922);
  EXPECT_EQ(app_.StretchTable[0], 0);
  EXPECT_EQ(app_.StretchTable[16384], 16384);
  EXPECT_EQ(app_.StretchTable[32767], 32767);
  for (int i = 1; i < STRETCH_TABLE_SIZE; ++i)
    ASSERT_GE(app_.StretchTable[i], app_.StretchTable[i - 1]);
}

TEST_F(SynthesisTest, CommandRefusesConvertedFrameAndHonoursCancel) {
  fs().IsColour = 1;
  EXPECT_EQ(synthesize_colour_command(app_, {}), ColourSynthesis::AlreadyConverted);
  EXPECT_EQ(messages_.codes(), std::vector<unsigned>{22});
  fs().IsColour = false;
  int shown = 0;
  EXPECT_EQ(synthesize_colour_command(app_, [&](Settings&) { return ++shown, false; }),
            ColourSynthesis::Cancelled);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(fs().IsColour, 0);
  // Accepted: the dialog's choices are saved and used.
  EXPECT_EQ(synthesize_colour_command(app_,
                                      [](Settings& s) {
                                        s.anti_alias = false;
                                        s.ir_filter = true;
                                        return true;
                                      }),
            ColourSynthesis::Converted);
  EXPECT_EQ(fs().IsColour, 1);
  Settings reread;
  FitsText fits;
  load_settings(app_.paths.settings_file(), reread, fits, messages_);
  EXPECT_TRUE(reread.ir_filter);
  EXPECT_EQ(progress_.captions.front(), "COLOUR CALCULATION IN PROGRESS");
}

// Every step of a conversion (stretch, filters, anti-alias) nests its busy
// cursor in the conversion's: the cursor stack ends where it started.
TEST_F(SynthesisTest, ConversionWithEveryStepLeavesTheBusyCursorBalanced) {
  SynthesisOptions o;
  o.anti_alias = true;
  o.stretch = AutoStretch::Weak;
  o.remove_background = true;
  o.high_pass = true;
  o.unsharp = true;
  synthesize_colour(app_, o);
  EXPECT_EQ(progress_.busy_depth, 0);
  EXPECT_FALSE(progress_.busy);
  EXPECT_FALSE(app_.busy);
  EXPECT_TRUE(anti_alias_command(app_));
  EXPECT_EQ(progress_.busy_depth, 0);
}

TEST_F(SynthesisTest, LightPollutionSubtractsTheExcessBackground) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    fs().RedPlane[i] = 10 * 256 + 5;   // bin 10, level 2550
    fs().GreenPlane[i] = 4 * 256 + 9;  // bin 4, level 1020 (smallest)
    fs().BluePlane[i] = 6 * 256;       // bin 6, level 1530
  }
  fs().RedPlane[0] = 100;
  equalise_backgrounds(fs());
  EXPECT_EQ(fs().RedPlane[1], 10 * 256 + 5 - (2550 - 1020));
  EXPECT_EQ(fs().BluePlane[1], 6 * 256 - (1530 - 1020));
  EXPECT_EQ(fs().GreenPlane[1], 4 * 256 + 9);
  EXPECT_EQ(fs().RedPlane[0], 0);
}

TEST_F(SynthesisTest, SmoothingMatchesStraightforwardVersionForEveryKernel) {
  auto ref = std::make_unique<FrameStore>();
  const int divisors[] = {16, 80, 1, 1};
  for (int k = 0; k < COLOUR_KERNELS; ++k) {
    scramble_outputs(40 + k);
    *ref = fs();
    ASSERT_TRUE(smooth_planes(fs(), k, divisors[k]));
    reference::smooth(*ref, k, divisors[k]);
    expect_same_outputs(*ref);
  }
  // Divisors other than the program's own take the run-time division.
  for (const auto& [k, d] : {std::pair{0, 7}, std::pair{1, -3}, std::pair{3, 2}}) {
    scramble_outputs(50 + k);
    *ref = fs();
    ASSERT_TRUE(smooth_planes(fs(), k, d));
    reference::smooth(*ref, k, d);
    expect_same_outputs(*ref);
  }
  EXPECT_FALSE(smooth_planes(fs(), 4, 16));
  EXPECT_FALSE(smooth_planes(fs(), -1, 16));
  EXPECT_FALSE(smooth_planes(fs(), 0, 0));
}

TEST_F(SynthesisTest, MedianNetworkFindsTheThirteenthOfTwentyFive) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> small(0, 3), any(0, 65535);
  std::vector<std::uint16_t> img(9 * 40);
  for (int round = 0; round < 200; ++round) {
    for (auto& v : img) v = static_cast<std::uint16_t>(round % 2 ? small(rng) : any(rng));
    std::uint16_t out[36];
    median25_row(img.data() + 2 * 40 + 2, 40, 36, out);
    for (int x = 0; x < 36; ++x) {
      std::vector<std::uint16_t> win;
      for (int dy = 0; dy < 5; ++dy)
        for (int dx = 0; dx < 5; ++dx) win.push_back(img[dy * 40 + x + dx]);
      std::nth_element(win.begin(), win.begin() + 12, win.end());
      ASSERT_EQ(out[x], win[12]);
    }
  }
  EXPECT_LT(median25_network_size(), 191);
}

TEST_F(SynthesisTest, AntiAliasMatchesStraightforwardVersionAndKeepsBorder) {
  auto ref = std::make_unique<FrameStore>();
  reference::fill_mosaic(fs().CurrentFrame, 21);
  synthesize_mosaic(fs(), {70, 28, 60}, {false, true});
  repair_and_finish(fs(), false, false);
  *ref = fs();
  fs().IsColour = true;
  EXPECT_TRUE(anti_alias_command(app_));
  reference::anti_alias(*ref);
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    ASSERT_EQ(fs().RedPlane[i], ref->RedPlane[i]) << i;
    ASSERT_EQ(fs().GreenPlane[i], ref->GreenPlane[i]) << i;
    ASSERT_EQ(fs().BluePlane[i], ref->BluePlane[i]) << i;
  }
  // The command can be undone with Undo Last Colour Filter.
  undo_last_colour_filter(fs());
  EXPECT_EQ(fs().RedPlane[300 * W + 300], fs().RedSaved[300 * W + 300]);
  fs().IsColour = false;
  EXPECT_FALSE(anti_alias_command(app_));
  EXPECT_EQ(messages_.codes().back(), 7u);
}

TEST_F(SynthesisTest, BackgroundLevelOfSynthesisCountsItsOwnRange) {
  fill(0);
  for (int i = 10240; i < 25600; ++i) fs().CurrentFrame[i] = i < 20000 ? 40 * 256 : 50 * 256;
  EXPECT_EQ(synthesis_background_level(fs().CurrentFrame), 40);
  for (int i = 10240; i < 25600; ++i) fs().CurrentFrame[i] = i < 17920 ? 40 * 256 : 30 * 256;
  EXPECT_EQ(synthesis_background_level(fs().CurrentFrame), 30);  // tie: the lower bin
}

}  // namespace
}  // namespace tarvex
