#include "processing/stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/processing/stretch_commands.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::ContextTest;

TEST(StretchTable, QuotedEntries) {
  auto t = std::make_unique<StretchLevels>();
  fill_sine_table(*t);
  EXPECT_EQ((*t)[0], 0);
  EXPECT_EQ((*t)[16384], 16383);
  EXPECT_EQ((*t)[32767], 32765);
  fill_log_table(*t);
  EXPECT_EQ((*t)[0], 0);
  EXPECT_EQ((*t)[1], 2184);
  EXPECT_EQ((*t)[32767], 32761);
  fill_antilog_table(*t);
  EXPECT_EQ((*t)[16384], 180);
  EXPECT_LT((*t)[32761], 32767);
  for (int i = 32762; i < 32768; ++i) EXPECT_EQ((*t)[i], 32767) << i;
  fill_normal_table(*t, 0, 300);
  EXPECT_EQ((*t)[32767], 27851);
  fill_non_linear_table(*t, 25);
  EXPECT_EQ((*t)[328], 6611);
  EXPECT_EQ((*t)[16384], 31507);
  for (unsigned p = 2; p <= 50; ++p) {
    fill_non_linear_table(*t, p);
    EXPECT_EQ((*t)[32767], 32767) << p;
    EXPECT_TRUE(std::is_sorted(t->begin(), t->end())) << p;
  }
  fill_power_table(*t, 2.0);
  EXPECT_EQ((*t)[16384], 8192);
  EXPECT_EQ((*t)[32767], 32766);
  fill_power_table(*t, 0.5);
  EXPECT_EQ((*t)[8192], 16384);
  EXPECT_LE(*std::max_element(t->begin(), t->end()), 32767);
}

TEST(StretchTable, RemoveBackgroundLevels) {
  auto t = std::make_unique<StretchLevels>();
  fill_remove_background_table(*t, 3);
  EXPECT_EQ((*t)[127], 0);
  EXPECT_EQ((*t)[128], 0);
  EXPECT_EQ((*t)[128 + 254], 255);  // (i - 128) * 255 / 254
  EXPECT_EQ((*t)[1128], static_cast<int>(1000 * (255.0 / 254)));
  EXPECT_EQ((*t)[32767], 32767);
  // The highest background level still gives a usable table.
  fill_remove_background_table(*t, 255);
  EXPECT_EQ((*t)[128 * 253 - 1], 0);
  EXPECT_EQ((*t)[32767], 32767);
}

TEST_F(ContextTest, ApplyStretchTableMatchesThePlainMapping) {
  // Every sample mapped through the table (lowest bit ignored, an entry's top
  // bit lost in the doubling), the undo copy holding the original, and a
  // labelled top band left alone. The top entry and the last samples of the
  // frame (past the last whole vector of a block) are looked up too, and every
  // sample value once, odd and even, in each lane of the whole vectors.
  static StretchLevels table;
  for (std::size_t i = 0; i < table.size(); ++i)
    table[i] = static_cast<std::uint16_t>((i * 7919u + 13u) % 65536u);
  for (bool band : {false, true}) {
    fill_random(band ? 5 : 6);
    for (int v = 0; v < 65536; ++v)
      fs().CurrentFrame[BLOCK_SAMPLES + 3 * v + (band ? 1 : 0)] = static_cast<std::uint16_t>(v);
    for (int i = FRAME_SAMPLES - 24; i < FRAME_SAMPLES; ++i)
      fs().CurrentFrame[i] = static_cast<std::uint16_t>(65535 - (i & 1));
    if (band) {
      at(4, 0) = 17;
      at(5, 0) = 17;
    }
    const Frame before = fs().CurrentFrame;
    apply_stretch_table(fs(), table, progress_, pump_);
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      const std::uint16_t want = (band && i < BLOCK_SAMPLES)
                                     ? before[i]
                                     : static_cast<std::uint16_t>(table[before[i] >> 1] << 1);
      ASSERT_EQ(fs().CurrentFrame[i], want) << i;
      ASSERT_EQ(fs().UndoFrame[i], before[i]) << i;
    }
  }
}

TEST_F(ContextTest, InvertGivesTheInvertTablesSamples) {
  // The computed invert against the invert table, sample for sample: every
  // value in every lane, the band rows labelled or not, the last samples of
  // the frame, and the undo copy.
  static StretchLevels table;
  fill_invert_table(table);
  static Frame want_current, want_undo;
  for (bool band : {false, true}) {
    fill_random(band ? 7 : 8);
    for (int v = 0; v < 65536; ++v)
      fs().CurrentFrame[3 * v + (band ? 7 : 2)] = static_cast<std::uint16_t>(v);
    for (int i = FRAME_SAMPLES - 24; i < FRAME_SAMPLES; ++i)
      fs().CurrentFrame[i] = static_cast<std::uint16_t>(i);
    if (band) {
      at(4, 0) = 17;
      at(5, 0) = 17;
    }
    const Frame before = fs().CurrentFrame;
    apply_stretch_table(fs(), table, progress_, pump_);
    want_current = fs().CurrentFrame;
    want_undo = fs().UndoFrame;
    fs().CurrentFrame = before;
    fs().UndoFrame.fill(1);
    invert_frame(fs(), progress_, pump_);
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      ASSERT_EQ(fs().CurrentFrame[i], want_current[i]) << i;
      ASSERT_EQ(fs().UndoFrame[i], want_undo[i]) << i;
    }
  }
}

TEST_F(ContextTest, InvertIgnoresLowestBitAndKeepsUndo) {
  at(0, 20) = 0;
  at(1, 20) = 1;
  at(2, 20) = 65535;
  at(3, 20) = 1001;
  const Frame before = fs().CurrentFrame;
  fs().RestorePlanesOnUndo = true;
  EXPECT_TRUE(invert_command(app_));
  EXPECT_EQ(at(0, 20), 65534);
  EXPECT_EQ(at(1, 20), 65534);
  EXPECT_EQ(at(2, 20), 0);
  EXPECT_EQ(at(3, 20), 65534 - 1000);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + FRAME_SAMPLES, fs().UndoFrame.begin()));
  EXPECT_EQ(fs().RestorePlanesOnUndo, 0);
  EXPECT_EQ(app_.history.line(0), "Invert Image to Negative");
  // The window: caption, 20 blocks stepping by 16, closed, cursor back.
  ASSERT_EQ(progress_.captions.size(), 1u);
  EXPECT_EQ(progress_.captions[0], "CONTRAST STRETCH");
  ASSERT_EQ(progress_.positions.size(), 20u);
  EXPECT_EQ(progress_.positions.front(), 0);
  EXPECT_EQ(progress_.positions.back(), 304);
  EXPECT_FALSE(progress_.is_open);
  EXPECT_FALSE(progress_.busy);
  EXPECT_EQ(display_.reloads, 1);
}

TEST_F(ContextTest, NormalStretchFullRangeAndDarkening) {
  for (int x = 0; x < FRAME_WIDTH; ++x) at(x, 100) = static_cast<std::uint16_t>(65535 - x);
  at(0, 101) = 12345;
  EXPECT_TRUE(normal_stretch_command(app_, 0, 255));
  for (int x = 0; x < FRAME_WIDTH; ++x) {
    const int s = 65535 - x;
    ASSERT_EQ(at(x, 100), s >= 65280 ? 65534 : (s & ~1)) << x;
  }
  EXPECT_EQ(at(0, 101), 12344);
  EXPECT_EQ(app_.history.line(0), "Normal Stretch : max 255 ,min 0");

  at(0, 102) = 65535;
  EXPECT_TRUE(normal_stretch_command(app_, 10, 200));
  EXPECT_EQ(app_.history.line(1), "Normal Stretch : max 200 ,min 10");
  fill(65535);
  EXPECT_TRUE(normal_stretch_command(app_, 0, 300));
  EXPECT_EQ(at(5, 300), 55702);

  // Black at or above white does nothing at all.
  const Frame before = fs().CurrentFrame;
  EXPECT_FALSE(normal_stretch_command(app_, 200, 200));
  EXPECT_EQ(before, fs().CurrentFrame);
  EXPECT_EQ(app_.history.count(), 3);
}

TEST_F(ContextTest, AntilogTopSamplesAndPowerOneDoesNothing) {
  for (int s = 65524; s <= 65535; ++s) at(s - 65524, 50) = static_cast<std::uint16_t>(s);
  EXPECT_FALSE(power_stretch_command(app_, 1.0));
  EXPECT_EQ(app_.history.count(), 0);
  EXPECT_TRUE(progress_.captions.empty());
  EXPECT_TRUE(antilog_stretch_command(app_));
  for (int x = 0; x < 12; ++x) EXPECT_EQ(at(x, 50), 65534);
  EXPECT_TRUE(power_stretch_command(app_, 1.5));
  EXPECT_EQ(app_.history.line(1), "Power Stretch : 1.5");
  EXPECT_TRUE(sine_stretch_command(app_));
  EXPECT_TRUE(log_stretch_command(app_));
  EXPECT_TRUE(non_linear_stretch_command(app_, 25));
  EXPECT_EQ(app_.history.line(0), "Anti-Log Stretch");
  EXPECT_EQ(app_.history.line(2), "Sine Stretch");
  EXPECT_EQ(app_.history.line(3), "Log Stretch");
  EXPECT_EQ(app_.history.line(4), "Non-Linear Stretch : power 25");
}

TEST_F(ContextTest, RemoveBackgroundNeedsLevelAboveTwo) {
  fill(20000);
  for (int level : {0, 2}) {
    fs().BackgroundLevel = level;
    EXPECT_FALSE(remove_background(app_, true));
  }
  EXPECT_EQ(at(3, 3), 20000);
  EXPECT_EQ(app_.history.count(), 0);
  EXPECT_TRUE(progress_.captions.empty());

  fs().BackgroundLevel = 3;
  EXPECT_TRUE(remove_background(app_, false));
  EXPECT_EQ(display_.reloads, 0);  // colour synthesis redisplays itself
  EXPECT_EQ(at(3, 3), 2 * static_cast<int>((10000 - 128) * (255.0 / 254)));
  EXPECT_EQ(app_.history.line(0), "Background Removed : min 1");
}

TEST_F(ContextTest, LabelBandKeepsItsExactValues) {
  add_label_band();
  const Frame before = fs().CurrentFrame;
  invert_command(app_);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 7520, fs().CurrentFrame.begin()));
  EXPECT_EQ(fs().CurrentFrame[7520], 65534 - (before[7520] & ~1));
  // Without the mark the top rows are mapped too.
  fill(7);
  invert_command(app_);
  EXPECT_EQ(at(0, 0), 65534 - 6);
}

}  // namespace
}  // namespace tarvex
