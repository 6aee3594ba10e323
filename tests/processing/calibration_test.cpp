#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "app/colour/synthesis_commands.h"
#include "app/processing/calibration_commands.h"
#include "app/processing/file_chooser.h"
#include "app/processing/merge_commands.h"
#include "app/view_commands.h"
#include "files/raw_file.h"
#include "platform/messages.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::TestContext;

void fill_random(Frame& f, std::uint32_t seed, int lo = 0, int hi = 65535) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(lo, hi);
  for (auto& v : f) v = static_cast<std::uint16_t>(d(rng));
}

// The flat division written out plainly, per pixel with branches.
void reference_flat(FrameStore& fs) {
  double s = 0;
  for (int i = 9; i <= 19; ++i)
    for (int j = 9; j <= 499; ++j) s += fs.SecondFrame[i * 580 + j];
  const double m = 0.0002 * s;
  const bool band = fs.CurrentFrame[4] + fs.CurrentFrame[5] == 34;
  for (int y = band ? 11 : 1; y < 580; ++y)
    for (int x = 5; x <= 750; ++x) {
      const int f = fs.SecondFrame[y * 752 + x];
      const int c = fs.CurrentFrame[y * 752 + x];
      if (f == 0 || c >= 65534) continue;
      const double v = static_cast<double>(c) / f * m;
      fs.CurrentFrame[y * 752 + x] = v >= 65535 ? 65535 : static_cast<std::uint16_t>(v);
    }
}

// Frames compare over their samples; the spare samples beyond them do not count.
bool same_frame(const Frame& a, const Frame& b) {
  return std::equal(a.begin(), a.begin() + FRAME_SAMPLES, b.begin());
}

struct CalibrationTest : ::testing::Test {
  void SetUp() override { std::filesystem::create_directories(app.dir / "data"); }
  FrameStore& fs() { return app->store(); }
  std::filesystem::path write_raw(const std::string& name, const Frame& frame) {
    auto tmp = std::make_unique<FrameStore>();
    tmp->CurrentFrame = frame;
    const auto path = app.dir / name;
    EXPECT_EQ(save_raw(path, *tmp), RawSave::Ok);
    return path;
  }
  TestContext app;
};

TEST_F(CalibrationTest, DarkSubtractionSaturatesAndNeverWraps) {
  fill_random(fs().CurrentFrame, 1);
  fs().CurrentFrame[0] = 65500;
  fs().CurrentFrame[1] = 65499;
  fs().CurrentFrame[2] = 65535;
  auto image = std::make_unique<Frame>(fs().CurrentFrame);
  // A frame minus itself: 0, except the saturated samples.
  fs().SecondFrame = fs().CurrentFrame;
  subtract_dark_frame(fs());
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const auto c = (*image)[static_cast<std::size_t>(i)];
    ASSERT_EQ(fs().CurrentFrame[static_cast<std::size_t>(i)], c >= 65500 ? c : 0) << i;
  }
  // Against a random dark: the difference, 0 where the dark is larger.
  fs().CurrentFrame = *image;
  fill_random(fs().SecondFrame, 2);
  fs().SecondFrame[3] = fs().CurrentFrame[3];
  fs().SecondFrame[4] = static_cast<std::uint16_t>(fs().CurrentFrame[4] + 1);
  subtract_dark_frame(fs());
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const int c = (*image)[static_cast<std::size_t>(i)];
    const int d = fs().SecondFrame[static_cast<std::size_t>(i)];
    const int want = c >= 65500 ? c : (d < c ? c - d : 0);
    ASSERT_EQ(fs().CurrentFrame[static_cast<std::size_t>(i)], want) << i;
  }
}

TEST_F(CalibrationTest, UniformFlatScalesBy1_0802WhateverItsLevel) {
  for (int level : {37, 1000, 40000}) {
    fs().SecondFrame.fill(static_cast<std::uint16_t>(level));
    EXPECT_NEAR(flat_normalisation(fs().SecondFrame), 0.0002 * 5401 * level, 1e-6 * level);
    for (int i = 0; i < FRAME_SAMPLES; ++i)
      fs().CurrentFrame[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i % 65536);
    divide_flat_field(fs(), app.progress);
    for (int y = 0; y < 580; ++y)
      for (int x = 0; x < 752; ++x) {
        const long c = (y * 752 + x) % 65536;
        const int got = fs().CurrentFrame[static_cast<std::size_t>(y * 752 + x)];
        if (y == 0 || x < 5 || x == 751 || c >= 65534) {
          ASSERT_EQ(got, c) << x << "," << y;
          continue;
        }
        const long want = std::min(65535L, c * 10802 / 10000);
        if (c * 10802 % 10000 == 0 && want < 65535) {
          ASSERT_LE(std::abs(got - want), 1);  // exact products may round either way
        } else {
          ASSERT_EQ(got, want) << x << "," << y << " level " << level;
        }
      }
  }
  EXPECT_EQ(fs().CurrentFrame[757], 817);  // trunc(757 * 1.0802) = trunc(817.71)
}

TEST_F(CalibrationTest, FlatDivisionMatchesThePlainLoopAndKeepsEdgesAndBand) {
  for (bool band : {false, true}) {
    fill_random(fs().CurrentFrame, 3);
    fill_random(fs().SecondFrame, 4, 0, 3000);  // includes flat samples of 0
    fs().CurrentFrame[100] = 65534;
    fs().CurrentFrame[800] = 65533;
    fs().CurrentFrame[20 * 752 + 100] = 1000;
    fs().SecondFrame[20 * 752 + 100] = 1;  // a large quotient: capped
    if (band) {
      fs().CurrentFrame[4] = 30;
      fs().CurrentFrame[5] = 4;
    }
    auto expected = std::make_unique<FrameStore>();
    expected->CurrentFrame = fs().CurrentFrame;
    expected->SecondFrame = fs().SecondFrame;
    reference_flat(*expected);
    app.progress.positions.clear();
    divide_flat_field(fs(), app.progress);
    ASSERT_TRUE(fs().CurrentFrame == expected->CurrentFrame) << "band " << band;
    EXPECT_EQ(fs().CurrentFrame[20 * 752 + 100], 65535);
    EXPECT_EQ(app.progress.captions.back(), "FLAT FIELD PROGRESS");
    EXPECT_FALSE(app.progress.is_open);
    EXPECT_EQ(app.progress.positions.front(), band ? 5 : 0);
    EXPECT_EQ(app.progress.positions.back(), 289);
  }
}

TEST_F(CalibrationTest, CommandsTakeUndoWriteHistoryAndStopOnAFailedLoad) {
  fill_random(fs().CurrentFrame, 5, 1000, 2000);
  auto image = std::make_unique<Frame>(fs().CurrentFrame);
  fs().UndoFrame.fill(7);

  // A missing file: the loader reports, nothing changes, no undo copy.
  EXPECT_FALSE(subtract_dark_command(*app, app.dir / "missing").ok());
  EXPECT_TRUE(same_frame(fs().CurrentFrame, *image));
  EXPECT_EQ(fs().UndoFrame[0], 7);
  EXPECT_EQ(app->history.count(), 0);
  EXPECT_FALSE(app.messages.shown.empty());

  auto dark = std::make_unique<Frame>();
  dark->fill(500);
  EXPECT_TRUE(subtract_dark_command(*app, write_raw("dark~1", *dark)).ok());
  EXPECT_TRUE(same_frame(fs().UndoFrame, *image));
  EXPECT_EQ(fs().CurrentFrame[1000], (*image)[1000] - 500);
  EXPECT_EQ(app->history.line(0), "Dark Frame Subtracted");
  EXPECT_FALSE(app.progress.busy);

  // A flat black where it is normalised is refused with its own text.
  auto flat = std::make_unique<Frame>();
  flat->fill(2000);
  for (int i = 9; i <= 19; ++i)
    for (int j = 9; j <= 499; ++j) (*flat)[static_cast<std::size_t>(i * 580 + j)] = 0;
  const auto before = std::make_unique<Frame>(fs().CurrentFrame);
  app.messages.shown.clear();
  EXPECT_EQ(flat_field_command(*app, write_raw("blackflat~", *flat)).message(), Msg::CallerText);
  ASSERT_EQ(app.messages.codes(), std::vector<unsigned>{50});
  EXPECT_EQ(app.messages.shown[0].text, FLAT_BLANK_TEXT);
  EXPECT_TRUE(same_frame(fs().CurrentFrame, *before));

  flat->fill(2000);
  EXPECT_TRUE(flat_field_command(*app, write_raw("flat~", *flat)).ok());
  EXPECT_TRUE(same_frame(fs().UndoFrame, *before));
  EXPECT_EQ(app->history.line(1), "Flat Field Subtracted");
  EXPECT_EQ(fs().CurrentFrame[752 + 10], static_cast<int>((*before)[752 + 10] * 1.0802));
}

TEST_F(CalibrationTest, CommandsUsingSecondFrameWaitWhileAMergeHoldsItsBaseImage) {
  auto dark = std::make_unique<Frame>();
  dark->fill(100);
  const auto dark_path = write_raw("dark~m", *dark);
  fs().CurrentFrame.fill(1000);
  ASSERT_EQ(start_merge(*app), MergeStart::Started);
  // While the base image is being marked, SecondFrame is free: calibration runs.
  EXPECT_TRUE(subtract_dark_command(*app, dark_path).ok());
  EXPECT_EQ(fs().CurrentFrame[3000], 900);
  keep_merge_base(*app);
  const auto base = std::make_unique<Frame>(fs().SecondFrame);
  app.messages.shown.clear();
  EXPECT_EQ(subtract_dark_command(*app, dark_path).message(), Msg::CallerText);
  EXPECT_EQ(flat_field_command(*app, dark_path).message(), Msg::CallerText);
  ASSERT_EQ(app.messages.codes(), (std::vector<unsigned>{50, 50}));
  EXPECT_EQ(app.messages.shown[0].text, MERGE_HOLDS_BASE_TEXT);
  EXPECT_TRUE(same_frame(fs().SecondFrame, *base));
  // Colour synthesis works in SecondFrame: it waits too, before its dialog.
  bool asked = false;
  EXPECT_EQ(synthesize_colour_command(*app, [&](Settings&) { return asked = true; }),
            ColourSynthesis::MergeHoldsBase);
  EXPECT_FALSE(asked);
  // Mirroring the merge image (to line it up) leaves the base image alone.
  EXPECT_TRUE(mirror_command(*app).ok());
  EXPECT_TRUE(same_frame(fs().SecondFrame, *base));
  EXPECT_TRUE(mirror_command(*app).ok());
  EXPECT_EQ(fs().CurrentFrame[3000], 900);
  cancel_merge(*app);
  EXPECT_TRUE(subtract_dark_command(*app, dark_path).ok());
  EXPECT_EQ(fs().CurrentFrame[3000], 800);
}

TEST_F(CalibrationTest, ChooserRemembersTheFilterAndRunsEachMode) {
  FileChooserModel chooser;
  EXPECT_EQ(chooser.initial_filter(), 1);
  EXPECT_STREQ(chooser.filter(), "Velquor (~*.)|~*.*|FITS files|*.FIT|All Files(*.*)|*.*|");
  EXPECT_EQ(filter_for_chosen_file("/a/b/M42.FIT"), ChooserFilter::Fits);
  EXPECT_EQ(filter_for_chosen_file("/a/b/m42.fit"), ChooserFilter::Fits);
  EXPECT_EQ(filter_for_chosen_file("/a/b~c/m42"), ChooserFilter::All);  // "~" in the folder only
  EXPECT_EQ(filter_for_chosen_file("/a/b/~m42.x"), ChooserFilter::Raw);
  EXPECT_EQ(filter_for_chosen_file("/a/b/m42.txt"), ChooserFilter::All);

  // Select Dark Frame records the path only; the dark mode stays the default.
  EXPECT_EQ(app->dark_frame_path, app->paths.dark_definition_file());
  chooser.begin(ChooserMode::FlatField);
  chooser.cancelled();
  chooser.begin(ChooserMode::SelectDarkFrame);
  const auto image = std::make_unique<Frame>(fs().CurrentFrame);
  EXPECT_TRUE(chooser.chosen(*app, "/x/y/night.FIT").ok());
  EXPECT_EQ(app->dark_frame_path, std::filesystem::path("/x/y/night.FIT"));
  EXPECT_EQ(chooser.initial_filter(), 2);
  EXPECT_EQ(chooser.mode(), ChooserMode::FlatField);  // the last calibration mode again
  EXPECT_TRUE(same_frame(fs().CurrentFrame, *image));

  // Delete asks first; No keeps the file, Yes removes it.
  auto frame = std::make_unique<Frame>();
  frame->fill(100);
  const auto victim = write_raw("old~1", *frame);
  app.messages.yes_answer = false;
  chooser.begin(ChooserMode::Delete);
  EXPECT_TRUE(chooser.chosen(*app, victim).ok());
  EXPECT_TRUE(std::filesystem::exists(victim));
  ASSERT_FALSE(app.messages.shown.empty());
  EXPECT_EQ(app.messages.shown.back().caption, "Delete Selected File");
  EXPECT_NE(app.messages.shown.back().text.find("Delete the following File?"), std::string::npos);
  EXPECT_NE(app.messages.shown.back().text.find(victim.string()), std::string::npos);
  app.messages.yes_answer = true;
  chooser.begin(ChooserMode::Delete);
  EXPECT_TRUE(chooser.chosen(*app, victim).ok());
  EXPECT_FALSE(std::filesystem::exists(victim));
  EXPECT_EQ(chooser.initial_filter(), 1);

  // A confirmation hook replaces the yes/no question: its answer decides alone.
  const auto kept = write_raw("keep~2", *frame);
  const std::size_t asked = app.messages.shown.size();
  std::vector<std::filesystem::path> confirmed;
  chooser.confirm_delete = [&](const std::filesystem::path& p) {
    confirmed.push_back(p);
    return confirmed.size() == 2;
  };
  chooser.begin(ChooserMode::Delete);
  EXPECT_TRUE(chooser.chosen(*app, kept).ok());
  EXPECT_TRUE(std::filesystem::exists(kept));
  chooser.begin(ChooserMode::Delete);
  EXPECT_TRUE(chooser.chosen(*app, kept).ok());
  EXPECT_FALSE(std::filesystem::exists(kept));
  ASSERT_EQ(confirmed.size(), 2u);
  EXPECT_EQ(confirmed[0], kept);
  EXPECT_EQ(app.messages.shown.size(), asked);
  chooser.confirm_delete = nullptr;

  // Dark subtraction through the chooser.
  fs().CurrentFrame.fill(300);
  const auto dark = write_raw("dark.raw", *frame);
  chooser.begin(ChooserMode::DarkSubtraction);
  EXPECT_TRUE(chooser.chosen(*app, dark).ok());
  EXPECT_EQ(fs().CurrentFrame[5000], 200);
  EXPECT_EQ(chooser.initial_filter(), 3);
}

}  // namespace
}  // namespace tarvex
