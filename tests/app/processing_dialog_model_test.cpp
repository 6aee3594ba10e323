#include "app/processing/processing_dialog_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "cli/steps.h"
#include "processing/histogram.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::ContextTest;

TEST(StretchDialog, StepsKeepBlackBelowWhite) {
  StretchDialogModel m;
  EXPECT_EQ(m.black_field(), "0");
  EXPECT_EQ(m.white_field(), "255");
  EXPECT_FALSE(m.black_slider(SliderAction::LineUp));     // never below 0
  EXPECT_FALSE(m.black_slider(SliderAction::Drag, 255));  // not at W
  EXPECT_TRUE(m.black_slider(SliderAction::Drag, 250));
  EXPECT_TRUE(m.black_slider(SliderAction::LineDown));  // 251
  EXPECT_TRUE(m.black_slider(SliderAction::LineDown));  // 252
  EXPECT_TRUE(m.black_slider(SliderAction::LineDown));  // 253
  EXPECT_TRUE(m.black_slider(SliderAction::LineDown));  // 254
  EXPECT_FALSE(m.black_slider(SliderAction::LineDown));
  EXPECT_EQ(m.black(), 254u);
  EXPECT_FALSE(m.white_slider(SliderAction::LineUp));  // never down to B
  EXPECT_FALSE(m.white_slider(SliderAction::PageUp));
  EXPECT_FALSE(m.white_slider(SliderAction::Drag, 254));
  for (int i = 0; i < 10; ++i) m.white_slider(SliderAction::PageDown);
  EXPECT_EQ(m.white(), 295u);
  EXPECT_TRUE(m.white_slider(SliderAction::LineDown));
  for (int i = 0; i < 10; ++i) m.white_slider(SliderAction::LineDown);
  EXPECT_EQ(m.white(), 300u);
  // White above 255 keeps its marker at x = 263.
  const auto marks = m.markers();
  EXPECT_EQ(marks[0], (PlotLine{262, 230, 262, 220, PLOT_BLACK}));
  EXPECT_EQ(marks[3], (PlotLine{263, 230, 263, 220, PLOT_BLACK}));
  EXPECT_EQ(marks[4], (PlotLine{260, 224, 263, 221, PLOT_BLACK}));

  // A low white level: page steps of the black point cannot pass it.
  StretchDialogModel low;
  low.white_slider(SliderAction::Drag, 5);
  EXPECT_FALSE(low.black_slider(SliderAction::PageDown));
  for (int i = 0; i < 10; ++i) low.black_slider(SliderAction::LineDown);
  EXPECT_EQ(low.black(), 4u);
  EXPECT_FALSE(low.white_slider(SliderAction::LineUp));
  EXPECT_EQ(StretchDialogModel::help().caption, "MORVALE - Normal Stretch");
}

TEST(PowerDialog, TwentyStepsReachThree) {
  PowerDialogModel m;
  EXPECT_EQ(m.field(), "1.0");
  EXPECT_EQ(m.slider_position(), 10);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(m.slider(SliderAction::LineDown)) << i;
  EXPECT_GT(m.gamma(), 3.0);
  EXPECT_EQ(m.field(), "3.0");
  EXPECT_EQ(m.slider_position(), 30);
  EXPECT_FALSE(m.slider(SliderAction::LineDown));
  while (m.slider(SliderAction::LineUp)) {
  }
  EXPECT_NEAR(m.gamma(), 0.1, 1e-9);
  EXPECT_EQ(m.field(), "0.1");
}

TEST(ParameterDialogs, LimitsFieldsAndHelp) {
  NonLiniarDialogModel n;
  EXPECT_EQ(n.field(), "25");
  EXPECT_TRUE(n.slider(SliderAction::Drag, 2));
  EXPECT_FALSE(n.slider(SliderAction::PageUp));
  EXPECT_FALSE(n.slider(SliderAction::Drag, 51));
  EXPECT_TRUE(n.slider(SliderAction::Drag, 50));
  EXPECT_FALSE(n.slider(SliderAction::LineDown));
  EXPECT_EQ(NonLiniarDialogModel::help().caption, "MORVALE - NonLiniar Filter");

  UnsharpDialogModel u;
  EXPECT_EQ(u.radius_field(), "3");
  EXPECT_EQ(u.power_field(), "1");
  EXPECT_FALSE(u.power_spin(-1));
  for (int i = 0; i < 9; ++i) u.radius_spin(+1);
  EXPECT_EQ(u.radius(), 7);
  EXPECT_EQ(UnsharpDialogModel::help().caption, "Unsharp Mask Filter");

  MedianDialogModel m;
  EXPECT_EQ(m.radius_field(), "1");
  EXPECT_EQ(m.power_field(), ".6");
  EXPECT_TRUE(m.power_spin(+1));
  EXPECT_EQ(m.power_field(), "0.7");
  for (int i = 0; i < 5; ++i) m.power_spin(+1);
  EXPECT_EQ(m.power_field(), "1.0");
  for (int i = 0; i < 12; ++i) m.power_spin(-1);
  EXPECT_EQ(m.power(), 1);
  EXPECT_EQ(m.power_field(), "0.1");
  EXPECT_FALSE(m.radius_spin(-1));
  m.radius_spin(+1);
  m.radius_spin(+1);
  EXPECT_FALSE(m.radius_spin(+1));
  EXPECT_EQ(m.radius_field(), "3");
}

TEST_F(ContextTest, CancelChangesNothingAndOkRuns) {
  fill_random(4);
  const Frame before = fs().CurrentFrame;
  const Frame undo = fs().UndoFrame;
  StretchDialogModel s;
  s.black_slider(SliderAction::PageDown);
  PowerDialogModel p;
  p.slider(SliderAction::LineDown);
  NonLiniarDialogModel n;
  UnsharpDialogModel u;
  MedianDialogModel m;
  EXPECT_FALSE(s.finish(app_, false));
  EXPECT_FALSE(p.finish(app_, false));
  EXPECT_FALSE(n.finish(app_, false));
  EXPECT_FALSE(u.finish(app_, false));
  EXPECT_FALSE(m.finish(app_, false));
  EXPECT_EQ(before, fs().CurrentFrame);
  EXPECT_EQ(undo, fs().UndoFrame);
  EXPECT_EQ(app_.history.count(), 0);
  // OK on an untouched power dialog (gamma 1.0) does nothing either.
  EXPECT_FALSE(PowerDialogModel{}.finish(app_, true));
  EXPECT_TRUE(s.finish(app_, true));
  EXPECT_TRUE(m.finish(app_, true));
  EXPECT_EQ(app_.history.line(0), "Normal Stretch : max 255 ,min 10");
  EXPECT_EQ(app_.history.line(1), "Median Filter : rad 1 ,power 0.6");
}

TEST(HistogramPlot, BarsListingAndTicks) {
  std::array<std::uint16_t, HISTOGRAM_BINS> h{};
  h[3] = 1056;  // red, listed as 1055
  h[4] = 1054;  // grey bar of 210, not listed
  h[5] = 17;
  for (int i = 100; i < 120; ++i) h[i] = 5000;
  const auto lines = histogram_plot(h, PlotStyle::HistogramWindow);
  ASSERT_EQ(lines.size(), 2u + 8u + 256u);
  EXPECT_EQ(lines[0], (PlotLine{5, 5, 5, 213, PLOT_BLUE}));
  EXPECT_EQ(lines[1], (PlotLine{5, 213, 263, 213, PLOT_BLUE}));
  // The histogram window: ticks end at 217, at x = 72 and 200 at 220, at
  // x = 136 at 224.
  const std::vector<PlotLine> ticks(lines.begin() + 2, lines.begin() + 10);
  EXPECT_EQ(ticks, (std::vector<PlotLine>{{40, 213, 40, 217, PLOT_BLUE},
                                          {72, 213, 72, 220, PLOT_BLUE},
                                          {104, 213, 104, 217, PLOT_BLUE},
                                          {136, 213, 136, 224, PLOT_BLUE},
                                          {168, 213, 168, 217, PLOT_BLUE},
                                          {200, 213, 200, 220, PLOT_BLUE},
                                          {232, 213, 232, 217, PLOT_BLUE},
                                          {264, 213, 264, 217, PLOT_BLUE}}));
  EXPECT_EQ(lines[10 + 3], (PlotLine{11, 210, 11, 0, PLOT_RED}));
  EXPECT_EQ(lines[10 + 4], (PlotLine{12, 210, 12, 0, PLOT_GREY}));
  EXPECT_EQ(lines[10 + 5], (PlotLine{13, 210, 13, 207, PLOT_GREY}));
  // The Normal Stretch dialog: short ticks end at 215, those at x = 72 and
  // 200 at 218, the one at x = 136 at 220.
  const auto dialog = histogram_plot(h, PlotStyle::StretchDialog);
  const std::vector<PlotLine> dialog_ticks(dialog.begin() + 2, dialog.begin() + 10);
  EXPECT_EQ(dialog_ticks, (std::vector<PlotLine>{{40, 213, 40, 215, PLOT_BLUE},
                                                 {72, 213, 72, 218, PLOT_BLUE},
                                                 {104, 213, 104, 215, PLOT_BLUE},
                                                 {136, 213, 136, 220, PLOT_BLUE},
                                                 {168, 213, 168, 215, PLOT_BLUE},
                                                 {200, 213, 200, 218, PLOT_BLUE},
                                                 {232, 213, 232, 215, PLOT_BLUE},
                                                 {264, 213, 264, 215, PLOT_BLUE}}));

  const std::string listing = histogram_listing(h);
  EXPECT_EQ(listing.rfind("val   count\n003    1055\n100    5000\n", 0), 0u);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 16);  // title + 15 bins
  EXPECT_EQ(listing.find("114"), std::string::npos);                // the 16th is not listed

  HistDialogModel window;
  EXPECT_TRUE(window.open());
  EXPECT_FALSE(window.open());
  window.close();
  EXPECT_TRUE(window.open());
  EXPECT_EQ(HistDialogModel::help().caption, "Morvale - Display Histogram");
}

TEST_F(ContextTest, CliStepsRefuseValuesOutsideTheDialogs) {
  const auto run = [&](const std::string& text) {
    std::string name, error;
    cli::StepKeys keys;
    EXPECT_TRUE(cli::parse_step(text, name, keys, error));
    const cli::StepInfo* info = cli::steps().find(name);
    EXPECT_NE(info, nullptr) << name;
    return info ? info->run(app_, keys).status : -1;
  };
  for (const char* bad :
       {"normal-stretch:black=256", "normal-stretch:white=301", "normal-stretch:black=20,white=20",
        "power-stretch:gamma=0.05", "non-linear-stretch:power=1", "unsharp-mask:power=8",
        "median:radius=4", "median:power=0", "invert:x=1"}) {
    EXPECT_EQ(run(bad), cli::STEP_USAGE) << bad;
  }
  EXPECT_EQ(app_.history.count(), 0);
  for (const char* good :
       {"normal-stretch:black=1,white=300", "power-stretch:gamma=0.5", "sine-stretch",
        "log-stretch", "antilog-stretch", "remove-background", "non-linear-stretch:power=50",
        "invert", "lowpass", "gaussian", "high-pass-low", "high-pass-high", "smoother-sharper",
        "bas-relief", "unsharp-mask:radius=7,power=7", "median:radius=3,power=10",
        "vertical-smoothing", "gradient"}) {
    EXPECT_EQ(run(good), cli::STEP_OK) << good;
  }
  EXPECT_EQ(app_.history.count(), 15);  // remove-background found no background on the ramp
}

}  // namespace
}  // namespace tarvex
