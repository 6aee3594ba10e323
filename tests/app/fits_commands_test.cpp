#include "app/fits_commands.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "files/settings.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::TestContext;
using testing::write_bytes;

TEST(FitsDetailsModel, ShowsEveryFieldAndStoresOnlyOnContinue) {
  FitsText f;
  f.fits_object = "M42";
  f.fits_exposure = 30.0;
  f.fits_focal_length = 39.37;
  std::int16_t ut = 5;
  {
    FitsDetailsModel m(f, ut, false);
    EXPECT_STREQ(FitsDetailsModel::TITLE, "FITS DETAILS");
    EXPECT_EQ(m.text(FitsField::Object), "M42");
    EXPECT_EQ(m.text(FitsField::Instrumentation), "Velquor CCD");
    EXPECT_EQ(m.text(FitsField::Filter), "None");
    EXPECT_EQ(m.text(FitsField::Exposure), "30.000000");
    EXPECT_EQ(m.text(FitsField::FocalLength), "39.370000");
    EXPECT_EQ(m.text(FitsField::Aperture), "0.000000");
    EXPECT_STREQ(m.image_format(), "High Res");
    EXPECT_EQ(m.time_difference(), 5);
    m.set_text(FitsField::Object, "M31");
    m.set_text(FitsField::Exposure, " 12,5 s");  // a comma reads as the decimal point
    m.set_text(FitsField::Aperture, "wide");
    m.step_time_difference(1);
    // Abort: the model is dropped without accept; nothing changed.
  }
  EXPECT_EQ(f.fits_object, "M42");
  EXPECT_EQ(ut, 5);

  FitsDetailsModel m(f, ut, true);
  EXPECT_STREQ(m.image_format(), "Binned");
  m.set_text(FitsField::Object, "M31");
  m.set_text(FitsField::Exposure, " 12,5 s");
  m.set_text(FitsField::Aperture, "wide");
  m.set_text(FitsField::Date, "2024-03-09-extra");
  m.set_text(FitsField::History, std::string(300, 'h'));
  m.step_time_difference(-1);
  m.accept();
  EXPECT_EQ(f.fits_object, "M31");
  EXPECT_DOUBLE_EQ(f.fits_exposure, 12.5);
  EXPECT_DOUBLE_EQ(f.fits_aperture, 0.0);
  EXPECT_EQ(f.fits_date, "2024-03-09");
  EXPECT_EQ(f.fits_history.size(), 254u);
  EXPECT_EQ(ut, 4);
}

TEST(FitsDetailsModel, FieldLimitsAndLabels) {
  std::vector<std::pair<std::string, std::size_t>> seen;
  for (const auto& info : fits_fields()) seen.emplace_back(info.label, info.max_chars);
  const std::vector<std::pair<std::string, std::size_t>> expected = {{"Object", 67},
                                                                     {"Observer", 67},
                                                                     {"Origin", 67},
                                                                     {"Telescope", 67},
                                                                     {"Instrumentation", 67},
                                                                     {"History", 254},
                                                                     {"Comments", 254},
                                                                     {"Date", 10},
                                                                     {"Time", 11},
                                                                     {"Focal Len (ins)", 40},
                                                                     {"Aperture (Sq.ins)", 40},
                                                                     {"Filter", 67},
                                                                     {"Exposure (secs)", 40}};
  EXPECT_EQ(seen, expected);
  FitsText f;
  std::int16_t ut = 0;
  FitsDetailsModel m(f, ut, false);
  m.set_text(FitsField::Object, std::string(80, 'o'));
  EXPECT_EQ(m.text(FitsField::Object).size(), 67u);
  m.set_text(FitsField::Time, "21:05:07.25x");
  EXPECT_EQ(m.text(FitsField::Time), "21:05:07.25");
  // A quote takes two places of a text's room; the number boxes refuse what
  // a FITS card could not carry back.
  m.set_text(FitsField::Object, std::string(66, 'o') + "'");
  EXPECT_EQ(m.text(FitsField::Object), std::string(66, 'o'));
  m.set_text(FitsField::Exposure, "1.7976931348623157e308");
  m.set_text(FitsField::Aperture, "1.5e308");
  m.accept();
  EXPECT_EQ(f.fits_exposure, 0.0);
  EXPECT_DOUBLE_EQ(f.fits_aperture, 1.5e308);
}

TEST(FitsDetailsModel, TimeDifferenceBarStaysWithinElevenHours) {
  FitsText f;
  std::int16_t ut = 20;  // a stored value the bar cannot show starts it at 0
  FitsDetailsModel m(f, ut, false);
  EXPECT_EQ(m.time_difference(), 0);
  for (int i = 0; i < 15; ++i) m.step_time_difference(1);
  EXPECT_EQ(m.time_difference(), 11);
  EXPECT_EQ(m.time_difference_text(), "11");
  for (int i = 0; i < 30; ++i) m.step_time_difference(-1);
  EXPECT_EQ(m.time_difference(), -11);
  EXPECT_EQ(m.time_difference_text(), "-11");
  m.set_time_difference(40);
  EXPECT_EQ(m.time_difference(), 11);
  m.set_time_difference(-3);
  m.accept();
  EXPECT_EQ(ut, -3);
}

TEST(FitsDetailsModel, UnsignedFormatActsAtOnce) {
  FitsText f;
  std::int16_t ut = 0;
  {
    FitsDetailsModel m(f, ut, false);
    EXPECT_FALSE(m.unsigned_format());
    m.toggle_unsigned();
    EXPECT_TRUE(f.fits_unsigned);  // before Continue, and Abort keeps it
  }
  EXPECT_TRUE(f.fits_unsigned);
}

TEST(FitsNumbers, ShownWithSixDecimalsAndReadBackLeniently) {
  EXPECT_EQ(fits_number_text(0.0086), "0.008600");
  EXPECT_EQ(fits_number_text(-2.5), "-2.500000");
  EXPECT_EQ(fits_number_text(1e300).size(), 301u + 7u);
  EXPECT_DOUBLE_EQ(fits_number_from_text("+7.5e1"), 75.0);
  EXPECT_DOUBLE_EQ(fits_number_from_text(""), 0.0);
  EXPECT_DOUBLE_EQ(fits_number_from_text("inf"), 0.0);
  EXPECT_DOUBLE_EQ(fits_number_from_text("1e999"), 0.0);
}

// The window's dialogs, scripted.
struct ScriptedDialogs : FitsDialogs {
  std::function<bool(FitsDetailsModel&)> details = [](FitsDetailsModel&) { return true; };
  std::filesystem::path save_path;
  int details_runs = 0;
  std::string filter, extension;
  bool run_details(FitsDetailsModel& m) override {
    ++details_runs;
    return details(m);
  }
  std::filesystem::path choose_save_path(const std::string& f, const std::string& e) override {
    filter = f;
    extension = e;
    return save_path;
  }
};

TEST(FitsCommands, SaveAsFitsFillsTheDateAndHonoursAbortAndCancel) {
  TestContext t;
  ScriptedDialogs d;
  t.clock.set_wall_time(1710018300);  // 2024-03-09 21:05 UT
  t->settings.ut_offset_hours = 0;

  // Abort: no file dialog, no file, but the date was filled before.
  d.details = [](FitsDetailsModel&) { return false; };
  EXPECT_TRUE(save_as_fits_command(*t, d).ok());
  EXPECT_EQ(t->fits.fits_date, "2024-03-09");
  EXPECT_TRUE(d.filter.empty());

  // Cancel in the file dialog.
  t->fits.fits_date = "2024-3-9";  // short: replaced
  d.details = [](FitsDetailsModel& m) {
    m.set_text(FitsField::Object, "M42");
    return true;
  };
  EXPECT_TRUE(save_as_fits_command(*t, d).ok());
  EXPECT_EQ(t->fits.fits_date, "2024-03-09");
  EXPECT_EQ(t->fits.fits_object, "M42");
  EXPECT_EQ(d.filter, "FITS file (*.FIT)|*.FIT|All Files(*.*)|*.*|");
  EXPECT_EQ(d.extension, "FIT");

  // Continue and a name without extension: saved as .FIT, a full date kept.
  t->fits.fits_date = "1999-12-31";
  d.save_path = t.dir / "orion";
  EXPECT_TRUE(save_as_fits_command(*t, d).ok());
  const auto bytes = read_bytes(t.dir / "orion.FIT");
  ASSERT_EQ(bytes.size(), FITS_NORMAL_MONO);
  EXPECT_EQ(std::string(bytes.begin() + 10 * 80, bytes.begin() + 10 * 80 + 22),
            "DATE-OBS= '1999-12-31'");
  EXPECT_EQ(t->current_file_name, "orion.FIT");  // the name written, as written
  EXPECT_TRUE(std::filesystem::is_directory(t->paths.autosave_root()));

  // A write failure reports message 29.
  d.save_path = t.dir / "none" / "x.FIT";
  EXPECT_EQ(save_as_fits_command(*t, d).message(), Msg::FitsCannotCreateFile);
  EXPECT_EQ(t.messages.codes(), (std::vector<unsigned>{29}));
}

TEST(FitsCommands, QuickSaveNumbersTheSeriesAndReportsFailures) {
  TestContext t;
  std::filesystem::path written;
  EXPECT_TRUE(quick_save_fits_command(*t, 1710018300, 0, &written).ok());
  EXPECT_EQ(written.filename(), "IMG1.FIT");
  EXPECT_TRUE(quick_save_fits_command(*t, 1710018300, 0, &written).ok());
  EXPECT_EQ(written.filename(), "IMG2.FIT");
  EXPECT_EQ(t->settings.autosave_number, 2);
  EXPECT_TRUE(t.messages.shown.empty());

  // A file where the folder should be is no full disk: the generic words
  // with the system's reason.
  t->settings.autosave_subdir = "blocked";
  write_bytes(t->paths.autosave_root() / "blocked", {1});
  EXPECT_EQ(quick_save_fits_command(*t, 0, 0).message(), Msg::FileNotCreated);
  EXPECT_EQ(t.messages.codes().back(), 63u);
  EXPECT_EQ(t.messages.shown.back().text,
            "Unable to create file\n\n" +
                (t->paths.autosave_root() / "blocked" / "IMG3.FIT").string() + ": " +
                std::strerror(ENOTDIR));
}

TEST(FitsCommands, AutoSaveTextIsLoadedEditedAndSaved) {
  TestContext t;
  ScriptedDialogs d;
  // First use: the settings folder is made along with the file.
  d.details = [](FitsDetailsModel& m) {
    m.set_text(FitsField::Observer, "A. Observer");
    m.set_time_difference(-1);
    return true;
  };
  EXPECT_TRUE(edit_autosave_fits_text_command(*t, d).ok());
  Settings s;
  FitsText f;
  ASSERT_EQ(load_settings(t->paths.settings_file(), s, f, t.messages), SettingsLoad::Read);
  EXPECT_EQ(f.fits_observer, "A. Observer");
  EXPECT_EQ(s.ut_offset_hours, -1);

  // The settings file is gone: message 27, and the dialog still lets the
  // texts be saved again.
  std::filesystem::remove(t->paths.settings_file());
  EXPECT_EQ(edit_autosave_fits_text_command(*t, d).message(), Msg::FitsSettingsLoadFailed);
  EXPECT_EQ(t.messages.codes().back(), 27u);
  EXPECT_TRUE(std::filesystem::exists(t->paths.settings_file()));

  // Abort: nothing saved.
  d.details = [](FitsDetailsModel& m) {
    m.set_text(FitsField::Observer, "Someone else");
    return false;
  };
  EXPECT_TRUE(edit_autosave_fits_text_command(*t, d).ok());
  ASSERT_EQ(load_settings(t->paths.settings_file(), s, f, t.messages), SettingsLoad::Read);
  EXPECT_EQ(f.fits_observer, "A. Observer");

  // The file cannot be written: message 28.
  d.details = [](FitsDetailsModel&) { return true; };
  std::filesystem::remove(t->paths.settings_file());
  std::filesystem::create_directory(t->paths.settings_file());
  EXPECT_FALSE(edit_autosave_fits_text_command(*t, d).ok());
  EXPECT_EQ(t.messages.codes().back(), 28u);
}

TEST(FitsCommands, ShowDetailsKeepsEditsInMemoryOnly) {
  TestContext t;
  ScriptedDialogs d;
  d.details = [](FitsDetailsModel& m) {
    m.set_text(FitsField::Filter, "Ha");
    return true;
  };
  EXPECT_TRUE(show_fits_details_command(*t, d).ok());
  EXPECT_EQ(t->fits.fits_filter, "Ha");
  EXPECT_FALSE(std::filesystem::exists(t->paths.settings_file()));
}

}  // namespace
}  // namespace tarvex
