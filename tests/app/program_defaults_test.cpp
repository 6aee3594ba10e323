#include "app/program_defaults.h"

#include <gtest/gtest.h>

#include "platform/basic_ports.h"
#include "test_support.h"

namespace tarvex {
namespace {

struct ProgramDefaults : ::testing::Test {
  testing::TempDir dir;
  RecordingMessages messages;
  Settings s;
  FitsText f;
  ProgramDefaultsModel model{s, f, dir / "autosave" / "Tarvex.ini", messages};
};

TEST_F(ProgramDefaults, TogglesActOnTheSettingsAtOnce) {
  model.toggle_pixel_offset();
  model.toggle_line_offset();
  model.toggle_focus_delay();
  model.toggle_disable_interrupts();
  model.toggle_interlace_smoothing();
  model.toggle_ignore_drift();
  model.toggle_direction_change_delay();
  model.toggle_beep_after_exposure();
  model.toggle_fits_unsigned();
  model.toggle_usb_debug_info();
  model.toggle_binned_import_default();
  EXPECT_TRUE(s.pixel_offset);
  EXPECT_FALSE(s.line_offset);
  EXPECT_FALSE(s.focus_delay);
  EXPECT_FALSE(s.disable_interrupts);
  EXPECT_FALSE(s.interlace_smoothing);
  EXPECT_TRUE(s.ignore_drift);
  EXPECT_FALSE(s.direction_change_delay);
  EXPECT_TRUE(s.beep_after_exposure);
  EXPECT_TRUE(f.fits_unsigned);
  EXPECT_TRUE(s.usb_debug_info);
  EXPECT_TRUE(s.binned_import_default);
  model.toggle_pixel_offset();
  EXPECT_FALSE(s.pixel_offset);
}

TEST_F(ProgramDefaults, RadioGroups) {
  for (int r : {7, 8, 9, 11, 13, 15}) {
    model.set_guide_mask_radius(r);
    EXPECT_EQ(s.guide_mask_radius, r);
  }
  model.set_guide_mask_radius(10);
  EXPECT_EQ(s.guide_mask_radius, 15);
  model.set_background_colour(BackgroundColour::Red);
  EXPECT_EQ(s.background_colour, BackgroundColour::Red);
  model.set_guide_training_time(4);
  EXPECT_EQ(s.guide_training_time, 4);
  model.set_guide_training_time(3);
  EXPECT_EQ(s.guide_training_time, 4);

  // Com ports: shared clears the dedicated flag; a numbered port sets it.
  model.choose_com_port(3);
  EXPECT_EQ(model.com_port_choice(), 3);
  model.choose_shared_com_port();
  EXPECT_FALSE(s.dedicated_com_port);
  EXPECT_EQ(model.com_port_choice(), 0);
  EXPECT_EQ(s.com_port, 3);
  // LX200 keeps a shared port; None and the control box make it dedicated.
  model.set_telescope_type(LinkType::Lx200);
  EXPECT_EQ(s.telescope_type, LinkType::Lx200);
  EXPECT_FALSE(s.dedicated_com_port);
  model.set_telescope_type(LinkType::ControlBox);
  EXPECT_TRUE(s.dedicated_com_port);
  model.choose_shared_com_port();
  model.set_telescope_type(LinkType::None);
  EXPECT_TRUE(s.dedicated_com_port);
}

TEST_F(ProgramDefaults, SlewValuesSwapsAndSubFolder) {
  model.set_slew_values(12, 9, 25, -3, 30, 15);
  EXPECT_EQ(s.ra_pixels_per_sec, 12);
  EXPECT_EQ(s.dec_pixels_per_sec, 9);
  EXPECT_EQ(s.ra_backlash, 20);
  EXPECT_EQ(s.dec_backlash, 0);
  EXPECT_EQ(s.ra_hysteresis, 20);
  EXPECT_EQ(s.dec_hysteresis, 15);

  EXPECT_FALSE(model.north_south_swapped());
  model.swap_north_south();
  EXPECT_TRUE(model.north_south_swapped());
  EXPECT_EQ(s.drive_directions, (DriveDirections{true, false}));
  model.swap_east_west();
  EXPECT_TRUE(model.east_west_swapped());
  EXPECT_EQ(s.drive_directions, (DriveDirections{true, true}));

  model.set_autosave_subdir(std::string(100, 'd'));
  EXPECT_EQ(s.autosave_subdir.size(), 79u);
}

TEST_F(ProgramDefaults, SaveChangesAndLoadFailures) {
  // First open: the folder is made with a default file.
  EXPECT_TRUE(model.open().ok());
  model.set_background_colour(BackgroundColour::Gray);
  model.set_slew_values(6, 6, 20, 20, 0, 0);
  EXPECT_TRUE(model.save_changes().ok());
  Settings back;
  FitsText fb;
  EXPECT_EQ(load_settings(dir / "autosave" / "Tarvex.ini", back, fb, messages), SettingsLoad::Read);
  EXPECT_EQ(back.background_colour, BackgroundColour::Gray);
  EXPECT_EQ(back.ra_backlash, 20);
  EXPECT_TRUE(messages.shown.empty());

  std::filesystem::remove(dir / "autosave" / "Tarvex.ini");
  EXPECT_EQ(model.open().message(), Msg::SettingsLoadFailed);
  EXPECT_EQ(messages.codes().back(), 20u);
  std::filesystem::remove_all(dir / "autosave");
  testing::write_bytes(dir / "autosave", {0});  // a file where the folder should be
  EXPECT_EQ(model.save_changes().message(), Msg::SettingsSaveFailed);
  EXPECT_EQ(messages.codes().back(), 21u);
}

// The guiding settings go to the small settings file with "Save Changes"
// and come back in the next dialog; a value out of its range is refused with
// its field named, and the value held is what is saved.
TEST_F(ProgramDefaults, GuidingSettingsRoundTripThroughTheSmallFile) {
  const std::filesystem::path more = dir / "tarvex.cfg";
  ProgramDefaultsModel guiding{s, f, dir / "autosave" / "Tarvex.ini", messages, more};
  ASSERT_TRUE(guiding.open().ok());
  EXPECT_EQ(guiding.guide_algorithm(), "classic");
  EXPECT_EQ(guiding.guide_field("guide.dither-pixels"), "3");
  guiding.set_guide_algorithm("predictive");
  guiding.set_guide_algorithm("fastest");  // no such algorithm: ignored
  guiding.toggle_dither_ra_only();
  EXPECT_TRUE(guiding.set_guide_field("guide.dither-pixels", "2.5"));
  EXPECT_TRUE(guiding.set_guide_field("guide.settle-frames", "5"));
  EXPECT_TRUE(guiding.set_guide_field("guide.lost-star-seconds", "120"));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(guiding.set_guide_field("guide.settle-seconds", "2"));
  EXPECT_FALSE(guiding.set_guide_field("guide.settle-frames", "4.5"));
  EXPECT_FALSE(guiding.set_guide_field("guide.dither-pixels", "21"));
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(messages.shown[0].text,
            "Settle time-out (s): '2' is refused; give a whole number from 5 to 600. The value 60 "
            "is kept.");
  EXPECT_EQ(messages.shown[1].text.rfind("Settle frames: '4.5' is refused", 0), 0u);
  EXPECT_EQ(messages.shown[2].text,
            "Dither (pixels): '21' is refused; give a number from 0.1 to 20. The value 2.5 is "
            "kept.");
  ASSERT_TRUE(guiding.save_changes().ok());

  // As the autoguider reads the file.
  const MoreSettingsLoad read = load_more_settings(more);
  EXPECT_TRUE(read.refused.empty());
  EXPECT_EQ(read.settings.text("guide.algorithm"), "predictive");
  EXPECT_EQ(read.settings.text("guide.dither-axes"), "ra");
  EXPECT_DOUBLE_EQ(read.settings.number("guide.dither-pixels"), 2.5);
  EXPECT_EQ(read.settings.integer("guide.settle-frames"), 5);
  EXPECT_EQ(read.settings.integer("guide.settle-seconds"), 60);
  EXPECT_EQ(read.settings.integer("guide.lost-star-seconds"), 120);
  // And as the next dialog shows it.
  ProgramDefaultsModel again{s, f, dir / "autosave" / "Tarvex.ini", messages, more};
  ASSERT_TRUE(again.open().ok());
  EXPECT_EQ(again.guide_algorithm(), "predictive");
  EXPECT_TRUE(again.dither_ra_only());
  EXPECT_EQ(again.guide_field("guide.dither-pixels"), "2.5");
  EXPECT_EQ(again.guide_field("guide.settle-pixels"), "0.3");
}

}  // namespace
}  // namespace tarvex
