// The camera dialog's rules on the acquisition settings: the range buttons,
// the arrows and their stops, the self-guiding controls, the stretch bar and
// the window geometry of focusing and guiding.
#include "app/capture/camera_dialog_model.h"

#include <gtest/gtest.h>

#include "camera/usb_commands.h"
#include "test_context.h"

namespace tarvex {
namespace {

class CameraDialogModelTest : public testing::ContextTest {
 protected:
  int probes = 0;
  CameraDialogModel model{app_, [this](Tarvex&) { ++probes; }};
  AcquisitionSettings& acq = app_.acquisition;
};

TEST_F(CameraDialogModelTest, RangeButtonsSetValueAndMaximumAndArrowsStop) {
  struct Case {
    ExposureRange range;
    int value, maximum;
  };
  for (const Case& c :
       {Case{ExposureRange::Thousandths, 5, 1000}, Case{ExposureRange::Hundredths, 5, 1000},
        Case{ExposureRange::Tenths, 1, 100}, Case{ExposureRange::Seconds, 1, 300},
        Case{ExposureRange::Minutes, 1, 90}}) {
    acq.value = 77;
    model.choose_range(c.range);
    EXPECT_EQ(acq.range, c.range);
    EXPECT_EQ(acq.value, c.value) << exposure_range_to_letter(c.range);
    EXPECT_EQ(model.value_maximum(), c.maximum) << exposure_range_to_letter(c.range);
  }
  // Minutes: the right arrow stops at 90.
  for (int i = 0; i < 200; ++i) model.exposure_arrow(+1);
  EXPECT_EQ(acq.value, 90);
  // The left arrow never goes below 1.
  for (int i = 0; i < 200; ++i) model.exposure_arrow(-1);
  EXPECT_EQ(acq.value, 1);
  // Other scroll actions (step 0) change nothing.
  model.exposure_arrow(0);
  EXPECT_EQ(acq.value, 1);

  for (int i = 0; i < 30; ++i) model.count_arrow(+1), model.delay_arrow(+1);
  EXPECT_EQ(acq.count, 20);
  EXPECT_EQ(acq.delay_minutes, 20);
  for (int i = 0; i < 30; ++i) model.count_arrow(-1), model.delay_arrow(-1);
  EXPECT_EQ(acq.count, 1);
  EXPECT_EQ(acq.delay_minutes, 0);
}

TEST_F(CameraDialogModelTest, SelfGuideArmsOnlyBelowTwelveSeconds) {
  acq.value = 12;  // seconds
  model.toggle_self_guide();
  EXPECT_FALSE(acq.self_guide_next);
  EXPECT_EQ(clock_.beeps, 1);
  EXPECT_EQ(model.guide_value_text(), "");
  EXPECT_EQ(model.guide_range_text(), "");
  EXPECT_EQ(model.guide_mode_text(), "");

  acq.value = 11;
  model.toggle_self_guide();
  EXPECT_TRUE(acq.self_guide_next);
  EXPECT_TRUE(acq.half_time_download);
  EXPECT_EQ(model.guide_value_text(), "11");
  EXPECT_EQ(model.guide_range_text(), "seconds");
  EXPECT_EQ(model.guide_mode_text(), "High Resolution  - Interlaced");
  EXPECT_EQ(acq.guide_range, ExposureRange::Seconds);
  EXPECT_EQ(acq.guide_value, 11);
  EXPECT_EQ(clock_.beeps, 1);

  // The astronomer then sets the longer main exposure; the guide stays.
  acq.value = 120;
  EXPECT_EQ(model.guide_value_text(), "11");
  // A second click disarms.
  model.toggle_self_guide();
  EXPECT_FALSE(acq.self_guide_next);
  EXPECT_EQ(model.guide_value_text(), "");

  // Every value of the short ranges arms; minutes never do.
  for (ExposureRange r : {ExposureRange::Thousandths, ExposureRange::Hundredths,
                          ExposureRange::Tenths, ExposureRange::Minutes}) {
    acq.self_guide_next = false;
    model.choose_range(r);
    for (int i = 0; i < 95; ++i) model.exposure_arrow(+1);
    model.toggle_self_guide();
    EXPECT_EQ(acq.self_guide_next, r != ExposureRange::Minutes) << exposure_range_to_letter(r);
  }
  // The control box was probed once in the program's run, by the first use.
  EXPECT_EQ(probes, 1);
}

TEST_F(CameraDialogModelTest, ArmingSwitchesProgressiveToInterlacedAndModesDisarm) {
  acq.mode = ExposureMode::Progressive;
  acq.value = 5;
  model.toggle_self_guide();
  EXPECT_TRUE(acq.self_guide_next);
  EXPECT_EQ(acq.mode, ExposureMode::Interlaced);
  EXPECT_EQ(clock_.beeps, 1);
  for (ExposureMode m : {ExposureMode::Fast, ExposureMode::Progressive, ExposureMode::Interlaced}) {
    acq.self_guide_next = true;
    model.choose_mode(m);
    EXPECT_EQ(acq.mode, m);
    EXPECT_FALSE(acq.self_guide_next);
  }
  // Arming in fast or interlaced mode leaves the mode and does not beep.
  model.choose_mode(ExposureMode::Fast);
  model.toggle_self_guide();
  EXPECT_EQ(acq.mode, ExposureMode::Fast);
  EXPECT_EQ(clock_.beeps, 1);
}

TEST_F(CameraDialogModelTest, MatchingDarkNeedsTheControlBox) {
  app_.settings.controlbox_present = false;
  model.toggle_matching_dark();
  EXPECT_EQ(messages_.codes(), std::vector<unsigned>{52});
  EXPECT_FALSE(acq.take_matching_dark);
  EXPECT_FALSE(acq.self_guide_next);

  app_.settings.controlbox_present = true;
  acq.last_guided_frames = 37;
  model.toggle_matching_dark();
  EXPECT_TRUE(acq.take_matching_dark);
  EXPECT_TRUE(acq.self_guide_next);
  EXPECT_TRUE(acq.half_time_download);
  EXPECT_EQ(acq.guide_frames, 37);
  model.toggle_matching_dark();
  EXPECT_FALSE(acq.take_matching_dark);
  EXPECT_FALSE(acq.self_guide_next);
  // Either self-guiding control probes, and only the first use does.
  model.toggle_self_guide();
  EXPECT_EQ(probes, 1);
  // The probe is once per program run, not per dialog.
  CameraDialogModel again{app_, [this](Tarvex&) { ++probes; }};
  again.toggle_matching_dark();
  EXPECT_EQ(probes, 1);
}

TEST_F(CameraDialogModelTest, StretchBarAndTheSharedDisplayDepth) {
  app_.display.palette_bits = 14;
  model.stretch_arrow(-1);
  model.stretch_arrow(-1);
  model.stretch_arrow(-1);
  EXPECT_EQ(model.stretch_bits(), 12);
  model.stretch_page(+1);
  EXPECT_EQ(app_.display.palette_bits, 16);
  model.stretch_arrow(+1);
  EXPECT_EQ(model.stretch_bits(), 16);
  model.stretch_to(13);
  EXPECT_EQ(app_.display.palette_bits, 13);
  model.stretch_to(99);
  EXPECT_EQ(model.stretch_bits(), 16);
  model.stretch_page(-1);
  EXPECT_EQ(model.stretch_bits(), 12);
  model.toggle(CameraCheck::StretchAll);
  EXPECT_TRUE(app_.display.max_stretch_all);
  model.toggle(CameraCheck::PauseBetween);
  EXPECT_TRUE(acq.pause_between);
  EXPECT_TRUE(model.checked(CameraCheck::PauseBetween));
}

// A window position becomes the camera's window codes; the camera (and the
// simulator) decodes them to the same top-left corner.
TEST(WindowGeometry, PositionsSurviveTheCameraCodes) {
  auto decoded = [](WindowPosition p) {
    CommandBlock block{};
    set_window_codes(block, p.x, p.y);
    int column = 0, row = 0;
    decode_window_codes(block, column, row);
    return WindowPosition{column, row};
  };
  for (int cx = 0; cx < FRAME_WIDTH; cx += 7) {
    for (int cy = 0; cy < FRAME_HEIGHT; cy += 5) {
      const WindowPosition p = window_for_centre(cx, cy);
      const WindowPosition d = decoded(p);
      ASSERT_EQ(d.x, p.x) << cx << "," << cy;
      ASSERT_EQ(d.y, p.y) << cx << "," << cy;
      ASSERT_GE(p.x, 0);
      ASSERT_LE(p.x + 128, FRAME_WIDTH);
      ASSERT_LE(p.y + 128, FRAME_HEIGHT);
    }
  }
  // The default place; a centre well inside the reach; the corners.
  EXPECT_EQ(window_for_centre(144, 376).x, 80);
  EXPECT_EQ(window_for_centre(144, 376).y, 312);
  EXPECT_EQ(window_for_centre(200, 201).y, 135);  // 137 rounded down to the row step
  EXPECT_EQ(window_for_centre(0, 0).x, 0);
  EXPECT_EQ(window_for_centre(751, 579).x, WINDOW_MAX_X);
  EXPECT_EQ(window_for_centre(751, 579).y, 450);
}

}  // namespace
}  // namespace tarvex
