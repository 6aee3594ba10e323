#include "image/display.h"

#include <gtest/gtest.h>

#include "app/display_pipeline.h"
#include "app/tarvex.h"
#include "test_context.h"

namespace tarvex {
namespace {

using testing::append_u16le;
using testing::read_bytes;
using testing::TestContext;

std::vector<std::uint8_t> header_bytes(unsigned size, unsigned offset, unsigned w, unsigned h,
                                       unsigned bits) {
  std::vector<std::uint8_t> v = {'B', 'M'};
  auto u32 = [&](unsigned x) {
    append_u16le(v, x & 0xFFFF);
    append_u16le(v, x >> 16);
  };
  u32(size);
  u32(0);
  u32(offset);
  u32(40);
  u32(w);
  u32(h);
  append_u16le(v, 1);
  append_u16le(v, bits);
  v.insert(v.end(), 24, 0);
  return v;
}

TEST(DisplayMapping, IdentityMaxPaletteAndAutoContrast) {
  DisplayState ds;
  const GreyMap identity = grey_mapping(ds, 40);
  EXPECT_EQ(identity[0], 0);
  EXPECT_EQ(identity[255], 255);
  EXPECT_EQ(identity[77], 77);

  ds.max_stretch_all = true;
  ds.palette_bits = 12;
  GreyMap m = grey_mapping(ds, 40);
  EXPECT_EQ(m[0], 0);
  EXPECT_EQ(m[15], 240);
  EXPECT_EQ(m[16], 255);
  ds.palette_bits = 16;
  EXPECT_EQ(grey_mapping(ds, 40), identity);
  ds.palette_bits = 14;
  EXPECT_EQ(grey_mapping(ds, 40)[63], 252);
  EXPECT_EQ(grey_mapping(ds, 40)[64], 255);
  // A focus image is max-stretched even when the all-images switch is off,
  // and max stretch wins over auto contrast.
  ds.max_stretch_all = false;
  ds.focus_image_shown = true;
  ds.auto_contrast = true;
  EXPECT_EQ(grey_mapping(ds, 40)[10], 40);

  ds.focus_image_shown = false;
  m = grey_mapping(ds, 40);
  for (int i = 0; i <= 40; ++i) EXPECT_EQ(m[i], 0) << i;
  EXPECT_EQ(m[41], 48);    // trunc(255^0.7)
  EXPECT_EQ(m[255], 242);  // trunc(255^0.7 * 215^0.3)
  for (int i = 42; i < 256; ++i) EXPECT_GE(m[i], m[i - 1]);
}

TEST(DisplayHistogram, CountsRowsFiveTo574AndWraps) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fs->CurrentFrame.fill(0);
  // Rows 0..4 and 575..579 are not counted.
  for (int i = 0; i < 3760; ++i) fs->CurrentFrame[i] = 0xFF00;
  for (int i = 3760 + 428640; i < FRAME_SAMPLES; ++i) fs->CurrentFrame[i] = 0xFE00;
  compute_image_histogram(*fs);
  EXPECT_EQ(fs->ImageHistogram[255], 0);
  EXPECT_EQ(fs->ImageHistogram[254], 0);
  EXPECT_EQ(fs->ImageHistogram[0], static_cast<std::uint16_t>(428640 % 65536));
  EXPECT_EQ(fs->ImageHistogram[256], 0);
  EXPECT_EQ(fs->BackgroundLevel, 0);  // one bin only
}

TEST(DisplayHistogram, BackgroundLevelFromTheThreeFullestBins) {
  std::array<std::uint16_t, HISTOGRAM_BINS> h{};
  EXPECT_EQ(background_level(h), 0);  // nothing counted
  h[40] = 100;
  EXPECT_EQ(background_level(h), 40);
  h[50] = 90;
  EXPECT_EQ(background_level(h), 45);  // two bins: their mean
  h[60] = 90;                          // tie with bin 50: both taken, lower first
  h[70] = 90;                          // loses the tie to 50 and 60
  EXPECT_EQ(background_level(h), 50);
  h[10] = 200;
  EXPECT_EQ(background_level(h), (10 + 40 + 50) / 3);
  h[256] = 60000;  // never counted
  EXPECT_EQ(background_level(h), 33);
}

TEST(DisplayBitmap, SmallFrameFileByteForByte) {
  TestContext t;
  FrameStore& fs = t->store();
  for (int i = 0; i < SMALL_FRAME_SAMPLES; ++i)
    fs.CurrentFrame[i] = static_cast<std::uint16_t>(i * 4);
  make_display_bytes(fs, true);
  DisplayState ds;
  const auto path = t.dir / "small.bmp";
  ASSERT_EQ(write_mono_bitmap(path, fs, true, grey_mapping(ds, 0)), BitmapWrite::Ok);
  auto expected = header_bytes(17462, 1078, 128, 128, 8);
  for (int i = 0; i < 256; ++i)
    expected.insert(expected.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
  for (int row = 127; row >= 0; --row)
    for (int c = 0; c < 128; ++c)
      expected.push_back(static_cast<std::uint8_t>(((row * 128 + c) * 4) >> 8));
  EXPECT_EQ(read_bytes(path), expected);
}

TEST(DisplayBitmap, FullFrameMonoAndColourFiles) {
  TestContext t;
  FrameStore& fs = t->store();  // the start-up ramp
  fs.CurrentFrame[0] = 65535;   // top-left sample: white, in the last file row
  make_display_bytes(fs, false);
  DisplayState ds;
  ds.max_stretch_all = true;
  ds.palette_bits = 12;
  const auto path = t.dir / "full.bmp";
  ASSERT_EQ(write_mono_bitmap(path, fs, false, grey_mapping(ds, 0)), BitmapWrite::Ok);
  const auto bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), 437238u);
  const auto header = header_bytes(437238, 1078, 752, 580, 8);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), bytes.begin()));
  EXPECT_EQ(bytes[54 + 4 * 15], 240);
  EXPECT_EQ(bytes[54 + 4 * 15 + 3], 0);
  // First file row is image row 579: ramp 64848 >> 8 = 253.
  EXPECT_EQ(bytes[1078], 253);
  EXPECT_EQ(bytes[1078 + 579 * 752], 255);
  EXPECT_EQ(bytes[1078 + 579 * 752 + 1], 0);

  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    fs.RgbBitmap[3 * i] = 1;
    fs.RgbBitmap[3 * i + 1] = 2;
    fs.RgbBitmap[3 * i + 2] = static_cast<std::uint8_t>(i / 752);
  }
  ASSERT_EQ(write_colour_bitmap(path, fs), BitmapWrite::Ok);
  const auto colour = read_bytes(path);
  ASSERT_EQ(colour.size(), 54u + 1308480u);
  const auto ch = header_bytes(1308534, 54, 752, 580, 24);
  EXPECT_TRUE(std::equal(ch.begin(), ch.end(), colour.begin()));
  EXPECT_EQ(colour[54 + 2], static_cast<std::uint8_t>(579));  // bottom row first
  EXPECT_EQ(colour[54 + 2256 * 579 + 2], 0);
  EXPECT_EQ(colour[54 + 0], 1);
  EXPECT_EQ(colour[54 + 1], 2);
}

TEST(DisplayBitmap, SinglePlaneView) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fs->RedPlane[0] = 200;
  fs->GreenPlane[0] = 90;
  fs->RedPlane[5] = 300;  // outside rows 100 and 200: does not widen, shows white
  fill_rgb_rows_plain(*fs, ColourView::Red, 0, 1);
  EXPECT_EQ(fs->RgbBitmap[2], 200);  // red channel
  EXPECT_EQ(fs->RgbBitmap[1], 0);
  EXPECT_EQ(fs->RgbBitmap[0], 0);
  EXPECT_EQ(fs->RgbBitmap[3 * 5 + 2], 255);
  fs->BluePlane[200 * 752 + 5] = 257;  // any plane above 256 in row 200 widens
  fill_rgb_rows_plain(*fs, ColourView::Green, 0, 1);
  EXPECT_EQ(fs->RgbBitmap[1], 0);  // 90 / 256
  EXPECT_EQ(fs->RgbBitmap[2], 0);
  fs->BluePlane[200 * 752 + 5] = 0;
  fs->BluePlane[200 * 752 + 4] = 60000;  // column 4 is not looked at
  fill_rgb_rows_plain(*fs, ColourView::Green, 0, 1);
  EXPECT_EQ(fs->RgbBitmap[1], 90);
  fs->DisplayBytes[0] = 77;
  fill_rgb_rows_plain(*fs, ColourView::Lumens, 0, 1);
  EXPECT_EQ(fs->RgbBitmap[0], 77);
  EXPECT_EQ(fs->RgbBitmap[1], 77);
  EXPECT_EQ(fs->RgbBitmap[2], 77);
}

TEST(RefreshDisplay, WritesTheBitmapAndTellsTheWindow) {
  TestContext t;
  ASSERT_TRUE(refresh_display(*t).ok());  // the data root is made on demand
  EXPECT_EQ(t.display.title, "Tarvex - (Untitled)");
  EXPECT_EQ(t.display.reloads, 1);
  EXPECT_FALSE(t.display.last_colour);
  EXPECT_EQ(read_bytes(t.display.last_bitmap).size(), 437238u);

  t->display.SmallFrameMode = true;
  t->current_file_name = "~m42";
  ASSERT_TRUE(refresh_display(*t).ok());
  EXPECT_EQ(t.display.title, "Tarvex - ~m42");
  EXPECT_NE(t.display.last_bitmap.find("tvximgf.bmp"), std::string::npos);
  EXPECT_EQ(read_bytes(t.display.last_bitmap).size(), 17462u);

  t->display.SmallFrameMode = false;
  t->store().IsColour = 1;
  ASSERT_TRUE(refresh_display(*t).ok());
  EXPECT_TRUE(t.display.last_colour);
  EXPECT_EQ(t.progress.captions.back(), "BUILDING COLOUR IMAGE");
  EXPECT_EQ(t.progress.positions, (std::vector<int>{0, 25, 50, 75, 100, 125, 150, 175, 200, 225}));
  EXPECT_FALSE(t.progress.is_open);
  EXPECT_EQ(read_bytes(t.display.last_bitmap).size(), 1308534u);
}

TEST(RefreshDisplay, UnwritableBitmapReportsMessage8AndKeepsThePicture) {
  TestContext t;
  std::filesystem::create_directories(t.dir / "data");
  std::filesystem::create_directories(t.dir / "data" / "tvximg.bmp" / "x");  // a folder in the way
  const int reloads = t.display.reloads;
  EXPECT_FALSE(refresh_display(*t).ok());
  EXPECT_FALSE(t.messages.shown.empty());
  const unsigned code = t.messages.shown.back().code;
  EXPECT_TRUE(code == 8 || code == 10) << code;
  EXPECT_EQ(t.display.reloads, reloads);
}

}  // namespace
}  // namespace tarvex
