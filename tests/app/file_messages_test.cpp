#include "app/file_messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "app/capture/sequencer.h"
#include "platform/basic_ports.h"

namespace tarvex {
namespace {

TEST(FileMessages, UnwrittenFileIsToldByItsErrorNumber) {
  const std::vector<std::pair<int, Msg>> cases = {
      {ENOSPC, Msg::CannotCreateFile}, {EDQUOT, Msg::CannotCreateFile},
      {EROFS, Msg::FolderReadOnly},    {EACCES, Msg::FolderReadOnly},
      {EPERM, Msg::FolderReadOnly},    {EISDIR, Msg::FolderInTheWay},
      {EIO, Msg::FileNotCreated},      {0, Msg::FileNotCreated},
  };
  for (const auto& [error, message] : cases) EXPECT_EQ(file_error_message(error), message) << error;
}

TEST(FileMessages, AutosaveReportShowsTheMessageWithItsReason) {
  RecordingMessages rec;
  EXPECT_TRUE(report(rec, AutosaveResult{}).ok());
  EXPECT_TRUE(rec.shown.empty());

  AutosaveResult full{AutosaveStatus::SeriesFull, "/data/autosave/IMG1.FIT", 1, 0};
  EXPECT_EQ(report(rec, full), Reported(Msg::SeriesFull));
  AutosaveResult unwritten{AutosaveStatus::FileNotWritten, "/data/autosave/IMG7.FIT", 7, EROFS};
  EXPECT_EQ(report(rec, unwritten).message(), Msg::FolderReadOnly);
  AutosaveResult number_lost{AutosaveStatus::SettingsNotSaved, "/data/autosave/IMG8.FIT", 8, 0};
  EXPECT_EQ(report(rec, number_lost).message(), Msg::SettingsSaveFailed);

  ASSERT_EQ(rec.codes(), (std::vector<unsigned>{61, 60, 21}));
  EXPECT_EQ(rec.shown[0].text,
            message_text(61) + "\n\n/data/autosave: every file from number 1 to 65529 exists");
  EXPECT_EQ(rec.shown[1].text,
            message_text(60) + "\n\n/data/autosave/IMG7.FIT: " + std::strerror(EROFS));
  EXPECT_EQ(rec.shown[2].text, message_text(21));
}

TEST(FileMessages, DarkLoaderResultsAsTheSequencerKnowsThem) {
  EXPECT_EQ(dark_result(SecondLoad::Ok), DarkResult::Loaded);
  EXPECT_EQ(dark_result(SecondLoad::Unreadable), DarkResult::Unreadable);
  EXPECT_EQ(dark_result(SecondLoad::FitsUnreadable), DarkResult::Unreadable);
  EXPECT_EQ(dark_result(SecondLoad::NotASecondFrame), DarkResult::Foreign);
  EXPECT_EQ(dark_result(SecondLoad::FitsForeign), DarkResult::Foreign);
  EXPECT_EQ(dark_result(SecondLoad::DarkBinnedImageNot), DarkResult::DarkBinnedExposureNot);
  EXPECT_EQ(dark_result(SecondLoad::ImageBinnedDarkNot), DarkResult::ExposureBinnedDarkNot);
}

}  // namespace
}  // namespace tarvex
