#include <gtest/gtest.h>

#include <memory>

#include "app/colour/colour_dialog_models.h"
#include "app/colour/correction_commands.h"
#include "app/display_pipeline.h"
#include "colour/colour_display.h"
#include "colour_reference.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::ContextTest;
constexpr int W = FRAME_WIDTH;

class ColourTest : public ContextTest {
 protected:
  void fill_planes(std::uint16_t r, std::uint16_t g, std::uint16_t b) {
    std::fill_n(fs().RedPlane.begin(), FRAME_SAMPLES, r);
    std::fill_n(fs().GreenPlane.begin(), FRAME_SAMPLES, g);
    std::fill_n(fs().BluePlane.begin(), FRAME_SAMPLES, b);
  }
  void ramp_planes() {
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      fs().RedPlane[i] = static_cast<std::uint16_t>(i * 7 % 65536);
      fs().GreenPlane[i] = static_cast<std::uint16_t>(i * 13 % 65536);
      fs().BluePlane[i] = static_cast<std::uint16_t>(i * 3 % 65536);
    }
  }
};

TEST_F(ColourTest, BalanceStartOverridesMinimumAndMaximum) {
  Frame& p = fs().RedPlane;
  p[0] = 65535;
  p[1] = 1000;
  p[2] = 300;
  p[3] = 65500;
  balance_plane(p, {2, 100, 120});  // start 2: minus 512, min and max unused
  EXPECT_EQ(p[0], 65535);
  EXPECT_EQ(p[1], 488);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[3], 64988);
  p[1] = 65400;
  balance_plane(p, {-1, 0, 255});  // negative start lifts, up to 65535
  EXPECT_EQ(p[1], 65535);
}

TEST_F(ColourTest, BalanceMinimumAndMaximum) {
  Frame& p = fs().GreenPlane;
  p[0] = 0;
  p[1] = 62719;
  p[2] = 62720;
  p[3] = 30000;
  balance_plane(p, {0, -10, 255});  // lifts below 62720 by 2560, then 0..65280 spread
  const double scale = 65535.0 / 65280;
  EXPECT_EQ(p[0], static_cast<int>(2560 * scale));
  EXPECT_EQ(p[1], static_cast<int>(65279 * scale));  // just below the white point
  EXPECT_EQ(p[2], static_cast<int>(62720 * scale));
  EXPECT_EQ(p[3], static_cast<int>(32560 * scale));
  p[0] = 10000;
  p[1] = 65535;
  balance_plane(p, {0, 10, 300});  // a maximum above 255 darkens
  EXPECT_EQ(p[0], static_cast<int>((10000 - 2560) * (65535.0 / (76800 - 2560))));
  EXPECT_LT(p[1], 65535);
  p[0] = 2559;
  balance_plane(p, {0, 10, 255});
  EXPECT_EQ(p[0], 0);
}

TEST_F(ColourTest, BalanceCommandOrderUnchangedAndRefusal) {
  ramp_planes();
  EXPECT_FALSE(colour_balance_command(app_, {}, app_.settings.saturation_factor));
  EXPECT_EQ(messages_.codes(), std::vector<unsigned>{25});
  fs().IsColour = true;
  EXPECT_FALSE(colour_balance_command(app_, {}, app_.settings.saturation_factor));
  EXPECT_TRUE(progress_.captions.empty());
  ColourBalance b;
  b.blue.start = 1;
  EXPECT_TRUE(colour_balance_command(app_, b, 5));
  EXPECT_EQ(app_.settings.saturation_factor, 5);
  EXPECT_EQ(progress_.captions.front(), "COLOUR BALANCE IN PROGRESS");
  ASSERT_GE(progress_.positions.size(), 3u);
  EXPECT_EQ(std::vector<int>(progress_.positions.begin(), progress_.positions.begin() + 3),
            (std::vector<int>{0, 80, 160}));
  EXPECT_EQ(fs().BlueSaved[1000], 3000 % 65536);
  EXPECT_EQ(fs().BluePlane[1000], 3000 - 256);
  // Red keeps start 0, minimum 0 and maximum 255: 0..65280 spread to white.
  EXPECT_EQ(fs().RedPlane[1000], static_cast<int>(7000 * (65535.0 / 65280)));
}

TEST_F(ColourTest, ChromaticShiftsAtTheEdgesAndTopBand) {
  ramp_planes();
  auto before = std::make_unique<FrameStore>(fs());
  shift_planes(fs(), {3, 0, -2, 1});
  auto red0 = [&](int r, int c) { return before->RedPlane[r * W + c]; };
  auto blue0 = [&](int r, int c) { return before->BluePlane[r * W + c]; };
  EXPECT_EQ(fs().RedPlane[5 * W + 10], red0(5, 13));
  EXPECT_EQ(fs().RedPlane[5 * W + 749], red0(5, 749));  // last three columns stay
  EXPECT_EQ(fs().RedPlane[5 * W + 748], red0(5, 751));
  EXPECT_EQ(fs().BluePlane[5 * W + 0], blue0(6, 0));  // left edge keeps its column
  EXPECT_EQ(fs().BluePlane[5 * W + 10], blue0(6, 8));
  EXPECT_EQ(fs().BluePlane[579 * W + 10], blue0(579, 8));  // bottom row keeps its row
  EXPECT_EQ(fs().GreenPlane, before->GreenPlane);

  // With the label band nothing moves into or out of the first 10 rows.
  *before = fs();
  fs().CurrentFrame[4] = 30;
  fs().CurrentFrame[5] = 4;
  shift_planes(fs(), {0, -3, 0, 2});
  for (int i = 0; i < 7520; ++i) ASSERT_EQ(fs().RedPlane[i], before->RedPlane[i]);
  EXPECT_EQ(fs().RedPlane[12 * W + 7], before->RedPlane[12 * W + 7]);  // row 9 is outside
  EXPECT_EQ(fs().RedPlane[13 * W + 7], before->RedPlane[10 * W + 7]);
  EXPECT_EQ(fs().BluePlane[10 * W + 7], before->BluePlane[12 * W + 7]);
}

TEST_F(ColourTest, HistogramBalanceRaisesExactlyOnePlane) {
  fill_planes(20 * 512, 10 * 512, 30 * 512);  // edges: red 20, green 10, blue 30
  fs().IsColour = true;
  EXPECT_TRUE(balance_colour_histogram_command(app_));
  EXPECT_EQ(fs().GreenPlane[9000], 10 * 512 + static_cast<int>(20 * 307.2));
  EXPECT_EQ(fs().RedPlane[9000], 20 * 512);
  EXPECT_EQ(fs().BluePlane[9000], 30 * 512);
  // All edges equal: blue with a gap of 0, nothing changes.
  fill_planes(5 * 512, 5 * 512, 5 * 512);
  const HistogramBalance h = balance_colour_histogram(fs());
  EXPECT_EQ(h.plane, PlaneChoice::Blue);
  EXPECT_EQ(h.gap, 0);
  EXPECT_EQ(fs().BluePlane[9000], 5 * 512);
  // Near-white samples are not raised past 65535.
  fill_planes(60000, 10 * 512, 60000);
  const HistogramBalance g = balance_colour_histogram(fs());
  EXPECT_EQ(g.plane, PlaneChoice::Green);
  fs().IsColour = false;
  EXPECT_FALSE(balance_colour_histogram_command(app_));
  EXPECT_EQ(messages_.codes().back(), 25u);
}

TEST_F(ColourTest, HistogramEdgeIgnoresTopBandRowsAndDefaultsToOne) {
  fill_planes(0, 0, 0);
  std::fill_n(fs().RedPlane.begin(), 7520, 40 * 512);  // only the band is bright
  ColourHistograms h;
  colour_histograms(fs(), h);
  EXPECT_EQ(h.red_edge, 1);
  EXPECT_EQ(h.red[0], static_cast<std::uint32_t>(FRAME_SAMPLES - 7520));
}

TEST_F(ColourTest, OverloadSmoothingUndoRestoresPlanesAndLuminance) {
  ramp_planes();
  fill(40000);
  for (int c = 100; c < 110; ++c) {
    at(c, 50) = 65535;
    fs().RedPlane[50 * W + c] = 65535;
  }
  fs().IsColour = true;
  auto before = std::make_unique<FrameStore>(fs());
  EXPECT_TRUE(overload_smoothing_command(app_));
  EXPECT_EQ(app_.history.line(0), "Colour Overload Filter");
  EXPECT_EQ(fs().RestorePlanesOnUndo, 1);
  EXPECT_NE(fs().RedPlane, before->RedPlane);
  undo_last_filter(fs());
  EXPECT_EQ(fs().CurrentFrame, before->CurrentFrame);
  EXPECT_EQ(fs().RedPlane, before->RedPlane);
  EXPECT_EQ(fs().BluePlane, before->BluePlane);
  fs().IsColour = false;
  EXPECT_FALSE(overload_smoothing_command(app_));
  EXPECT_EQ(messages_.codes().back(), 58u);
}

TEST_F(ColourTest, OverloadRepairsFromTheNeighbours) {
  fill(20000);
  fill_planes(1000, 2000, 3000);
  const int i = 40 * W + 200;
  fs().CurrentFrame[i] = 50000;
  fs().CurrentFrame[i + 100] = 64000;
  fs().CurrentFrame[i + 101] = 65300;  // brighter right neighbour above 65000
  fs().RedPlane[i] = 64000;            // overloaded colour in a bright pixel
  fs().RedPlane[i + 100] = 64000;
  fs().BluePlane[i + 2] = 65535;  // one bad right neighbour
  auto expected = std::make_unique<FrameStore>(fs());
  overload_smoothing(fs());
  // The colour becomes the mean of the left and the good right neighbours,
  // then the planes are smoothed 5 x 5 once and 3 x 3 twice.
  expected->RedPlane[i] = 1000;
  expected->RedPlane[i + 100] = 1000;
  reference::smooth(*expected, 1, 80);
  reference::smooth(*expected, 0, 16);
  reference::smooth(*expected, 0, 16);
  EXPECT_EQ(fs().RedPlane, expected->RedPlane);
  EXPECT_EQ(fs().BluePlane, expected->BluePlane);
  // Four good right neighbours: the run counter ends at -3, the level stays.
  EXPECT_EQ(fs().CurrentFrame[i], 50000);
  // Rising towards a white neighbour: + (3 * 1300) / 6.
  EXPECT_EQ(fs().CurrentFrame[i + 100], 64000 + 650);
}

TEST_F(ColourTest, LowPassColourFilterSmoothsAndRefuses) {
  EXPECT_FALSE(low_pass_colour_command(app_));
  EXPECT_EQ(messages_.codes().back(), 58u);
  ramp_planes();
  fs().IsColour = true;
  auto ref = std::make_unique<FrameStore>(fs());
  EXPECT_TRUE(low_pass_colour_command(app_));
  reference::smooth(*ref, 0, 16);
  EXPECT_EQ(fs().RedPlane, ref->RedPlane);
  EXPECT_EQ(fs().RedSaved[777], static_cast<std::uint16_t>(777 * 7));
}

// The colour picture against the formulas, pixel by pixel.
void reference_picture(FrameStore& fs, const DisplayState& ds, int saturation, int black,
                       std::vector<std::uint8_t>& out) {
  const double f = saturation + 1;
  out.resize(3 * FRAME_SAMPLES);
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const int l = fs.DisplayBytes[i];
    const int rgb[3] = {fs.RedPlane[i], fs.GreenPlane[i], fs.BluePlane[i]};
    double ratio[3];
    const int m = std::max({rgb[0], rgb[1], rgb[2]});
    for (int p = 0; p < 3; ++p) {
      if (l >= 235)
        ratio[p] = 1;
      else if (rgb[0] > 64000 || rgb[1] > 64000 || rgb[2] > 64000)
        ratio[p] = (rgb[0] + rgb[2] + rgb[1]) / 196500.0;
      else if (m == 0)
        ratio[p] = 1;
      else
        ratio[p] = rgb[p] / static_cast<double>(m);
    }
    for (int p = 0; p < 3; ++p) {
      double v;
      if (!ds.auto_contrast) {
        v = ((ratio[p] - 1) * f * 0.5 + 1.2) * l;
      } else {
        const double lifted =
            std::trunc(std::pow(255.0, 0.7) * std::pow(std::max(l - black, 0), 0.3));
        v = ((ratio[p] - 1) * f * 0.5 + 1) * lifted;
      }
      const long long t = static_cast<long long>(v);
      out[3 * i + 2 - p] = static_cast<std::uint8_t>(t >= 255 ? 255 : t < 0 ? 0 : t);
    }
  }
}

TEST_F(ColourTest, ColourPictureMatchesTheFormulas) {
  reference::fill_mosaic(fs().CurrentFrame, 4);
  ramp_planes();
  for (int i = 0; i < FRAME_SAMPLES; i += 97) fs().GreenPlane[i] = 64500;
  for (int i = 5; i < FRAME_SAMPLES; i += 101)
    fs().RedPlane[i] = fs().GreenPlane[i] = fs().BluePlane[i] = 0;
  make_display_bytes(fs(), false);
  Settings settings;
  settings.saturation_factor = 2;
  std::vector<std::uint8_t> expected;
  for (bool auto_contrast : {false, true}) {
    DisplayState ds;
    ds.auto_contrast = auto_contrast;
    for (int s = 0; s < 10; ++s) build_colour_rows(fs(), ds, settings, s * 58, s * 58 + 58);
    reference_picture(fs(), ds, 2, synthesis_background_level(fs().CurrentFrame), expected);
    for (int i = 0; i < 3 * FRAME_SAMPLES; ++i)
      ASSERT_EQ(fs().RgbBitmap[i], expected[i]) << "byte " << i << " auto " << auto_contrast;
  }
  EXPECT_EQ(fs().BackgroundLevel, synthesis_background_level(fs().CurrentFrame));
}

TEST_F(ColourTest, ColourPictureViewsAndRefresh) {
  ramp_planes();
  fs().IsColour = true;
  app_.display.colour_view = ColourView::Red;
  refresh_display(app_);
  EXPECT_EQ(fs().RgbBitmap[3 * 1000 + 2], 7000 / 256);
  EXPECT_EQ(fs().RgbBitmap[3 * 1000 + 1], 0);
  app_.display.colour_view = ColourView::Lumens;
  refresh_display(app_);
  EXPECT_EQ(fs().RgbBitmap[3 * 1000], fs().DisplayBytes[1000]);
  EXPECT_EQ(progress_.captions.back(), "BUILDING COLOUR IMAGE");
  EXPECT_TRUE(display_.last_colour);
  // 255^0.7 * 255^0.3 lands just below 255 in floating point.
  EXPECT_EQ(auto_contrast_level(255, 0), 254);
  EXPECT_EQ(auto_contrast_level(40, 40), 0);
  EXPECT_EQ(auto_contrast_level(41, 40), 48);
}

// ---------------------------------------------------------------------------
// Dialog models

TEST_F(ColourTest, SynthesisDialogBeepsAndStaysOnInvalidBoxes) {
  SynthesisOptions stored;
  stored.user_power = 4;
  SynthesisDialogModel m(stored);
  EXPECT_EQ(m.text(SynthesisDialogModel::Box::UserPower), "4");
  m.toggle(SynthesisDialogModel::Check::IrFilter);
  m.set_stretch(AutoStretch::User);
  m.set_text(SynthesisDialogModel::Box::UserPower, "30");        // out of 2..29
  m.set_text(SynthesisDialogModel::Box::UnsharpDiameter, " 5");  // valid, stored
  m.set_text(SynthesisDialogModel::Box::UnsharpPower, "x");
  EXPECT_FALSE(m.create_image(clock_));
  EXPECT_EQ(clock_.beeps, 1);
  EXPECT_EQ(m.text(SynthesisDialogModel::Box::UserPower), "4");
  EXPECT_EQ(m.text(SynthesisDialogModel::Box::UnsharpDiameter), "5");
  EXPECT_EQ(m.text(SynthesisDialogModel::Box::UnsharpPower), "1");
  m.set_text(SynthesisDialogModel::Box::UserPower, "29");
  EXPECT_TRUE(m.create_image(clock_));
  EXPECT_EQ(clock_.beeps, 1);
  EXPECT_EQ(m.options().user_power, 29);
  EXPECT_TRUE(m.options().ir_filter);
  EXPECT_EQ(SynthesisDialogModel::help().caption, "Tarvex - Synthesize Colour");
  EXPECT_EQ(SynthesisDialogModel::hints().size(), 9u);

  Settings s;
  EXPECT_TRUE(run_synthesis_dialog(s, [](SynthesisDialogModel& d) {
    d.set_stretch(AutoStretch::Strong);
    return true;
  }));
  EXPECT_TRUE(s.strong_stretch && !s.weak_stretch && !s.user_stretch);
  EXPECT_FALSE(run_synthesis_dialog(s, [](SynthesisDialogModel& d) {
    d.set_stretch(AutoStretch::Weak);
    return false;
  }));
  EXPECT_TRUE(s.strong_stretch);
}

TEST_F(ColourTest, BalanceDialogScrollRules) {
  ramp_planes();
  BalanceDialogModel m;
  m.open(fs(), 3);
  using C = BalanceDialogModel::Colour;
  using F = BalanceDialogModel::Field;
  EXPECT_EQ(m.saturation_text(), "3");
  EXPECT_TRUE(m.scroll(C::Red, F::Start, SliderAction::PageDown));
  EXPECT_EQ(m.value(C::Red, F::Start), 10);
  m.scroll(C::Red, F::Start, SliderAction::Drag, 300);  // a wrapped thumb means -10
  EXPECT_EQ(m.value(C::Red, F::Start), -10);
  EXPECT_FALSE(m.scroll(C::Red, F::Start, SliderAction::LineUp));
  m.scroll(C::Green, F::Min, SliderAction::Drag, 401);
  EXPECT_EQ(m.value(C::Green, F::Min), -10);
  EXPECT_EQ(m.effective_minimum(C::Green), 0);
  m.scroll(C::Green, F::Max, SliderAction::Drag, 290);
  EXPECT_EQ(m.effective_maximum(C::Green), 255);
  EXPECT_EQ(m.field_text(C::Green, F::Max), "290");
  m.scroll(C::Blue, F::Max, SliderAction::Drag, 20);
  m.scroll(C::Blue, F::Min, SliderAction::Drag, 50);  // stays below the maximum
  EXPECT_EQ(m.value(C::Blue, F::Min), 19);
  m.scroll(C::Blue, F::Max, SliderAction::Drag, 5);
  EXPECT_EQ(m.value(C::Blue, F::Max), 20);
  EXPECT_TRUE(m.saturation_scroll(SliderAction::PageDown));
  EXPECT_EQ(m.saturation(), 9);
  const auto plot = m.histogram_plot(C::Red);
  ASSERT_EQ(plot.size(), 129u);
  EXPECT_EQ(plot.back().x1, -5);  // marker at start / 2
  m.open(fs(), 3);
  EXPECT_TRUE(m.balance().unchanged());
}

TEST_F(ColourTest, ChromaticDialogStepsWithinThree) {
  ChromaticDialogModel m;
  using C = ChromaticDialogModel::Control;
  for (int i = 0; i < 5; ++i) m.step(C::RedLeftRight, +1);
  EXPECT_EQ(m.value(C::RedLeftRight), 3);
  EXPECT_FALSE(m.step(C::RedLeftRight, +1));
  EXPECT_TRUE(m.step(C::BlueUpDown, -1));
  EXPECT_EQ(m.text(C::BlueUpDown), "-1");
  EXPECT_EQ(ChromaticDialogModel::help().caption, "MORVALE - Adjust Chromatism");
  EXPECT_FALSE(m.finish(app_, false));
  EXPECT_FALSE(m.finish(app_, true));  // not colour converted
  EXPECT_EQ(messages_.codes().back(), 25u);
}

}  // namespace
}  // namespace tarvex
