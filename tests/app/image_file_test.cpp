// The image's tie to its file: what counts as a change, which saves count,
// the Save/Discard/Cancel question before closing and the recent files list.
#include "app/image_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/close_question.h"
#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/file_dialogs.h"
#include "app/fits_commands.h"
#include "app/start_up.h"
#include "app/view_commands.h"
#include "files/raw_file.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::read_bytes;

struct ScriptedDialogs : FitsDialogs {
  std::filesystem::path save_path;
  bool details_answer = true;
  int details_runs = 0;
  std::string filter;
  bool run_details(FitsDetailsModel&) override {
    ++details_runs;
    return details_answer;
  }
  std::filesystem::path choose_save_path(const std::string& f, const std::string&) override {
    filter = f;
    return save_path;
  }
};

class ImageFile : public testing::ContextTest {
 protected:
  // A picture that mirroring changes (the start-up ramp is the same both
  // ways round), taken as the one nothing needs saving of.
  void SetUp() override {
    start_up(app_);
    fill_random(5);
    image_needs_no_save(app_);
  }
  ScriptedDialogs dialogs_;
};

TEST_F(ImageFile, ChangesAreTheImageDataAndEverySaveCounts) {
  // The start-up ramp needs no save.
  testing::TestContext fresh;
  EXPECT_TRUE(image_changed(*fresh));  // nothing known yet
  start_up(*fresh);
  EXPECT_FALSE(image_changed(*fresh));
  // Any processing step changes the image, and undoing the step brings it
  // back.
  EXPECT_FALSE(image_changed(app_));
  mirror_command(app_);
  EXPECT_TRUE(image_changed(app_));
  mirror_command(app_);
  EXPECT_FALSE(image_changed(app_));
  fs().CurrentFrame[1000] ^= 1;
  EXPECT_TRUE(image_changed(app_));
  // The colour planes count once the image is a colour one.
  fs().CurrentFrame[1000] ^= 1;
  fs().RedPlane[7] = 99;
  EXPECT_FALSE(image_changed(app_));
  fs().IsColour = true;
  EXPECT_TRUE(image_changed(app_));

  // A KR File save; then a FITS save; then the automatic FITS save.
  ASSERT_TRUE(save_image(app_, ctx_.dir / "~m42").ok());
  EXPECT_FALSE(image_changed(app_));
  EXPECT_EQ(app_.image_file.kind, ImageFileKind::KrFile);
  fs().BluePlane[3] ^= 0x100;
  EXPECT_TRUE(image_changed(app_));
  ASSERT_TRUE(save_fits_image(app_, ctx_.dir / "m42.FIT").ok());
  EXPECT_FALSE(image_changed(app_));
  EXPECT_EQ(app_.image_file.kind, ImageFileKind::Fits);
  mirror_command(app_);
  ASSERT_TRUE(quick_save_fits_command(app_, 1710018300, 0).ok());
  EXPECT_FALSE(image_changed(app_));
  // An export is not a save: the image stays changed.
  mirror_command(app_);
  ASSERT_TRUE(export_tiff16_command(app_, ctx_.dir / "m42.tif").ok());
  ASSERT_TRUE(
      export_standard_fits_command(app_, ctx_.dir / "m42.fits", StandardFitsSamples::Int16).ok());
  EXPECT_TRUE(image_changed(app_));

  // Opening a file: unchanged, of the file's kind.
  ASSERT_TRUE(open_image(app_, ctx_.dir / "m42.FIT").ok());
  EXPECT_FALSE(image_changed(app_));
  EXPECT_EQ(app_.image_file.kind, ImageFileKind::Fits);
  ASSERT_TRUE(open_image(app_, ctx_.dir / "~m42").ok());
  EXPECT_EQ(app_.image_file.kind, ImageFileKind::KrFile);
  // While two images are being merged the work in hand counts as changed.
  fs().MergeMode = true;
  EXPECT_TRUE(image_changed(app_));
}

TEST_F(ImageFile, ClosingAsksOnlyOverAChangedImage) {
  EXPECT_TRUE(may_close(app_, dialogs_));
  EXPECT_EQ(messages_.save_questions, 0);

  mirror_command(app_);
  messages_.save_answer = SaveChoice::Cancel;
  EXPECT_FALSE(may_close(app_, dialogs_));
  EXPECT_EQ(messages_.save_questions, 1);
  EXPECT_EQ(messages_.shown.back().caption, "Tarvex");
  EXPECT_EQ(messages_.shown.back().text, UNSAVED_IMAGE_QUESTION);
  EXPECT_TRUE(dialogs_.filter.empty());  // nothing else opened

  messages_.save_answer = SaveChoice::Discard;
  EXPECT_TRUE(may_close(app_, dialogs_));
  EXPECT_TRUE(image_changed(app_));  // discarded, not saved
}

TEST_F(ImageFile, SaveOnCloseUsesTheSaveOfTheImagesKind) {
  messages_.save_answer = SaveChoice::Save;
  mirror_command(app_);
  // Not from a file: the KR File save dialog. Cancelling it keeps the window.
  EXPECT_FALSE(may_close(app_, dialogs_));
  EXPECT_EQ(dialogs_.filter, RAW_SAVE_FILTER);
  // A save that fails reports it and keeps the window too.
  dialogs_.save_path = ctx_.dir / "none" / "~m42";
  EXPECT_FALSE(may_close(app_, dialogs_));
  EXPECT_EQ(messages_.codes().back(), 17u);
  // Saved: the window may close, and the title names the file.
  dialogs_.save_path = ctx_.dir / "~M42";
  EXPECT_TRUE(may_close(app_, dialogs_));
  EXPECT_EQ(read_bytes(ctx_.dir / "~M42").size(), RAW_TAGGED);
  EXPECT_EQ(display_.title, "Tarvex - ~M42");
  EXPECT_EQ(dialogs_.details_runs, 0);

  // An image from a FITS file: Save as FITS, its details dialog first.
  ASSERT_TRUE(save_fits_image(app_, ctx_.dir / "orion.FIT").ok());
  mirror_command(app_);
  dialogs_.details_answer = false;  // "Abort"
  EXPECT_FALSE(may_close(app_, dialogs_));
  EXPECT_EQ(dialogs_.details_runs, 1);
  dialogs_.details_answer = true;
  dialogs_.save_path = ctx_.dir / "orion2";
  EXPECT_TRUE(may_close(app_, dialogs_));
  EXPECT_EQ(dialogs_.filter, FITS_SAVE_FILTER);
  EXPECT_EQ(read_bytes(ctx_.dir / "orion2.FIT").size(), FITS_NORMAL_MONO);
  EXPECT_EQ(display_.title, "Tarvex - orion2.FIT");
}

TEST_F(ImageFile, RecentFilesListOpensAndSaves) {
  // Contexts that did not ask keep no list (tarvex-cli).
  ASSERT_TRUE(save_image(app_, ctx_.dir / "~a").ok());
  EXPECT_FALSE(std::filesystem::exists(app_.paths.recent_files_file()));

  keep_recent_files(app_);
  ASSERT_TRUE(save_image(app_, ctx_.dir / "~b").ok());
  ASSERT_TRUE(save_fits_image(app_, ctx_.dir / "c.FIT").ok());
  ASSERT_TRUE(open_image(app_, ctx_.dir / "~b").ok());
  const auto& files = app_.recent_files.files();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], ctx_.dir / "~b");
  EXPECT_EQ(files[1], ctx_.dir / "c.FIT");
  // Kept across runs in its own file in the data folder.
  Tarvex again(app_.paths, app_.ports);
  keep_recent_files(again);
  EXPECT_EQ(again.recent_files.files(), files);
  forget_recent_file(again, ctx_.dir / "~b");
  keep_recent_files(app_);
  ASSERT_EQ(app_.recent_files.files().size(), 1u);
  EXPECT_EQ(app_.recent_files.files()[0], ctx_.dir / "c.FIT");
}

}  // namespace
}  // namespace tarvex
