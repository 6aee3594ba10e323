#include "app/view_commands.h"

#include <gtest/gtest.h>

#include "app/display_pipeline.h"
#include "app/export_commands.h"
#include "app/file_dialogs.h"
#include "app/label.h"
#include "image/mirror.h"
#include "test_context.h"

namespace tarvex {
namespace {

void fill_pattern(Frame& f, unsigned seed) {
  for (std::size_t i = 0; i < FRAME_SAMPLES; ++i) f[i] = static_cast<std::uint16_t>(i * 7 + seed);
}

TEST(Mirror, ReversesRowsAndTwiceRestores) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fill_pattern(fs->CurrentFrame, 1);
  const auto original = fs->CurrentFrame;
  mirror_image(*fs, false);
  EXPECT_EQ(fs->CurrentFrame[0], original[751]);
  EXPECT_EQ(fs->CurrentFrame[579 * 752 + 751], original[579 * 752]);
  EXPECT_EQ(fs->CurrentFrame[5], original[746]);
  mirror_image(*fs, false);
  EXPECT_TRUE(
      std::equal(original.begin(), original.begin() + FRAME_SAMPLES, fs->CurrentFrame.begin()));
}

TEST(Mirror, ColourPlanesFollowAndLabelRowsStay) {
  testing::TestContext t;
  FrameStore& fs = t->store();
  fill_pattern(fs.CurrentFrame, 3);
  fill_pattern(fs.RedPlane, 10);
  fill_pattern(fs.GreenPlane, 20);
  fill_pattern(fs.BluePlane, 30);
  fs.IsColour = true;
  label_image(*t, "NGC 7000", LabelDate::None);
  const auto labelled = fs.CurrentFrame;
  const auto red = fs.RedPlane;
  ASSERT_TRUE(mirror_command(*t).ok());
  // Label rows kept, the rest mirrored, in the frame and the planes.
  EXPECT_TRUE(
      std::equal(labelled.begin(), labelled.begin() + BLOCK_SAMPLES, fs.CurrentFrame.begin()));
  EXPECT_EQ(fs.CurrentFrame[BLOCK_SAMPLES], labelled[BLOCK_SAMPLES + 751]);
  EXPECT_EQ(fs.RedPlane[3], red[3]);
  EXPECT_EQ(fs.RedPlane[BLOCK_SAMPLES + 2], red[BLOCK_SAMPLES + 749]);
  ASSERT_TRUE(mirror_command(*t).ok());
  EXPECT_TRUE(
      std::equal(labelled.begin(), labelled.begin() + FRAME_SAMPLES, fs.CurrentFrame.begin()));
  EXPECT_TRUE(std::equal(red.begin(), red.begin() + FRAME_SAMPLES, fs.RedPlane.begin()));
}

TEST(ViewCommands, MaxStretchSwitchRedisplaysOnlyOnChange) {
  testing::TestContext t;
  EXPECT_FALSE(set_max_stretch_all(*t, false));
  EXPECT_EQ(t.display.reloads, 0);
  EXPECT_TRUE(set_max_stretch_all(*t, true));
  EXPECT_EQ(t.display.reloads, 1);
  EXPECT_FALSE(set_max_stretch_all(*t, true));
  EXPECT_EQ(t.display.reloads, 1);
  toggle_auto_contrast(*t);
  EXPECT_TRUE(t->display.auto_contrast);
  EXPECT_EQ(t.display.reloads, 2);
}

TEST(ViewCommands, StretchPaletteSteps) {
  DisplayState ds;
  StretchPaletteModel m(ds);
  EXPECT_EQ(m.bits(), 14);
  m.line_right();
  m.line_right();
  m.line_right();
  EXPECT_EQ(m.bits(), 16);
  m.line_left();
  EXPECT_EQ(m.value_text(), "15");
  m.page_left();
  EXPECT_EQ(m.bits(), 12);
  m.line_left();
  EXPECT_EQ(m.bits(), 12);
  m.set_bits(99);
  EXPECT_EQ(m.bits(), 16);
  m.page_left();
  m.page_right();
  EXPECT_EQ(ds.palette_bits, 16);
  m.toggle_all_images();
  EXPECT_TRUE(ds.max_stretch_all);
}

TEST(ViewCommands, PixelReadoutBoundsAndValues) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  EXPECT_FALSE(pixel_readout(*fs, 1, 100));
  EXPECT_FALSE(pixel_readout(*fs, 751, 100));
  EXPECT_FALSE(pixel_readout(*fs, 100, 579));
  EXPECT_FALSE(pixel_readout(*fs, 100, -3));
  auto r = pixel_readout(*fs, 750, 578);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->lum, 578u * 112u);
  EXPECT_EQ(r->red, 0u);
  fs->IsColour = true;
  fs->GreenPlane[2 * 752 + 2] = 4321;
  r = pixel_readout(*fs, 2, 2);
  EXPECT_EQ(r->green, 4321u);
  EXPECT_EQ(lum_text(42), "    42");
  EXPECT_EQ(lum_text(65535), " 65535");
}

TEST(FileDialogs, FiltersTranslateCaseBlind) {
  const auto open = translate_filter(OPEN_FILTER);
  ASSERT_EQ(open.size(), 3u);
  EXPECT_EQ(open[0], "Velquor (~*.) (~*)");
  EXPECT_EQ(open[1], "FITS files (*.[Ff][Ii][Tt])");
  EXPECT_EQ(open[2], "All Files (*)");
  const auto tiff = translate_filter(TIFF_FILTER);
  ASSERT_EQ(tiff.size(), 2u);
  EXPECT_EQ(tiff[0], "Tiff file (*.TIF) (*.[Tt][Ii][Ff])");
  EXPECT_EQ(translate_filter("Only a description|").size(), 0u);
  EXPECT_EQ(open_filter_after("/data/m42.fit"), OPEN_FILTER_FITS);
  EXPECT_EQ(open_filter_after("/data/M42.FIT"), OPEN_FILTER_FITS);
  EXPECT_EQ(open_filter_after("/data/~m42"), OPEN_FILTER_RAW);
  EXPECT_EQ(open_filter_after("/da~ta/m42.raw"), OPEN_FILTER_ALL);
  EXPECT_EQ(open_filter_after("/data/m42.fits"), OPEN_FILTER_ALL);
}

TEST(ExportCommands, PrintStartsThePrintProgramWithTheFullFrameBitmap) {
  testing::TestContext t;
  t->display.SmallFrameMode = true;
  print_command(*t);
  print_setup_command(*t);
  ASSERT_EQ(t.launcher.launched.size(), 2u);
  EXPECT_EQ(t.launcher.launched[0].first, "tarvex-print");
  ASSERT_EQ(t.launcher.launched[0].second.size(), 2u);
  EXPECT_EQ(t.launcher.launched[0].second[0], "PRINT");
  EXPECT_EQ(t.launcher.launched[0].second[1], t->paths.bitmap_file(false).string());
  EXPECT_EQ(t.launcher.launched[1].second, std::vector<std::string>{"SETUP"});
}

TEST(ExportCommands, TiffFailureReportsMessage29) {
  testing::TestContext t;
  EXPECT_EQ(save_tiff_command(*t, t.dir.path() / "no-such-folder" / "x.tif").message(),
            Msg::FitsCannotCreateFile);
  ASSERT_EQ(t.messages.codes(), std::vector<unsigned>{29});
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

TEST(DisplayBitmap, AFailedWriteIsReportedOnceUntilAWriteSucceeds) {
  testing::TestContext t;
  // The data root is a file: no bitmap can be written under it.
  testing::write_bytes(t.dir / "data", {1});
  EXPECT_EQ(refresh_display(*t).message(), Msg::TempBitmapFailed);
  EXPECT_EQ(refresh_display(*t).message(), Msg::TempBitmapFailed);
  EXPECT_EQ(refresh_display(*t).message(), Msg::TempBitmapFailed);
  ASSERT_EQ(t.messages.shown.size(), 1u);
  EXPECT_EQ(t.messages.shown[0].code, 8u);
  EXPECT_TRUE(t->display_bitmap_failed);
  std::filesystem::remove(t.dir / "data");
  EXPECT_TRUE(refresh_display(*t).ok());
  EXPECT_FALSE(t->display_bitmap_failed);
  std::filesystem::remove_all(t.dir / "data");
  testing::write_bytes(t.dir / "data", {1});
  EXPECT_EQ(refresh_display(*t).message(), Msg::TempBitmapFailed);
  EXPECT_EQ(t.messages.shown.size(), 2u);
}

}  // namespace
}  // namespace tarvex
