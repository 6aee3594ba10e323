#include "files/tiff.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes read_all(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void put16(Bytes& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, unsigned v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void entry16(Bytes& b, unsigned tag, unsigned value) {
  put16(b, tag);
  put16(b, 3);
  put32(b, 1);
  put16(b, value);
  put16(b, 0);
}
void entry(Bytes& b, unsigned tag, unsigned type, unsigned count, unsigned value) {
  put16(b, tag);
  put16(b, type);
  put32(b, count);
  put32(b, value);
}

// The header of the file, written out from the layout table by hand.
Bytes expected_header(bool colour) {
  Bytes b = {0x49, 0x49, 42, 0, 8, 0, 0, 0, 13, 0};
  entry(b, 254, 4, 1, 0);
  entry16(b, 256, 752);
  entry16(b, 257, 580);
  if (colour)
    entry(b, 258, 3, 3, 1308786);
  else
    entry16(b, 258, 8);
  entry16(b, 259, 1);
  entry16(b, 262, colour ? 2 : 1);
  entry(b, 273, 4, colour ? 20 : 10, 186);
  entry16(b, 277, colour ? 3 : 1);
  entry(b, 278, 4, 1, colour ? 29 : 58);
  entry(b, 279, 3, colour ? 20 : 10, colour ? 266 : 226);
  entry(b, 282, 5, 1, 170);
  entry(b, 283, 5, 1, 178);
  entry16(b, 296, 3);
  EXPECT_EQ(b.size(), 166u);
  put32(b, 0);
  put32(b, 510);
  put32(b, 6);
  put32(b, 256);
  put32(b, 6);
  if (colour) {
    for (unsigned k = 0; k < 20; ++k) put32(b, 306 + k * 65424);
    for (unsigned k = 0; k < 20; ++k) put16(b, 65424);
  } else {
    for (unsigned k = 0; k < 10; ++k) put32(b, 246 + k * 43616);
    for (unsigned k = 0; k < 10; ++k) put16(b, 43616);
  }
  return b;
}

TEST(Tiff, MonoFileByteForByte) {
  testing::TempDir dir;
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fs->CurrentFrame[0] = 0xAB12;                  // top-left
  fs->CurrentFrame[FRAME_SAMPLES - 1] = 0x3400;  // bottom-right
  const auto path = dir.path() / "m42.tif";
  ASSERT_EQ(save_tiff(path, *fs), FileSave::Ok);
  const Bytes got = read_all(path);
  ASSERT_EQ(got.size(), 246u + 436160u);
  const Bytes head = expected_header(false);
  ASSERT_EQ(head.size(), 246u);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), got.begin()));
  EXPECT_EQ(got[246], 0xAB);     // the first pixel is the top-left sample
  EXPECT_EQ(got[246 + 752], 0);  // row 1 of the ramp: 112 >> 8
  EXPECT_EQ(got[246 + 300 * 752 + 9], (300 * 112) >> 8);
  EXPECT_EQ(got.back(), 0x34);
}

TEST(Tiff, ColourFileByteForByte) {
  testing::TempDir dir;
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fs->IsColour = true;
  for (std::size_t i = 0; i < FRAME_SAMPLES; ++i) {
    fs->RgbBitmap[3 * i] = 1;                                               // blue
    fs->RgbBitmap[3 * i + 1] = 2;                                           // green
    fs->RgbBitmap[3 * i + 2] = static_cast<std::uint8_t>(i / FRAME_WIDTH);  // red: row
  }
  const auto path = dir.path() / "m42c.tif";
  ASSERT_EQ(save_tiff(path, *fs), FileSave::Ok);
  const Bytes got = read_all(path);
  ASSERT_EQ(got.size(), 306u + 1308480u + 6u);
  const Bytes head = expected_header(true);
  ASSERT_EQ(head.size(), 306u);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), got.begin()));
  // Red, green, blue per pixel, top row first.
  EXPECT_EQ(got[306], 0);
  EXPECT_EQ(got[307], 2);
  EXPECT_EQ(got[308], 1);
  EXPECT_EQ(got[306 + 3 * 752 * 200], 200);
  EXPECT_EQ(got[306 + 3 * (FRAME_SAMPLES - 1)], 579 & 0xFF);
  const Bytes tail(got.end() - 6, got.end());
  EXPECT_EQ(tail, (Bytes{8, 0, 8, 0, 8, 0}));
}

std::string run_tool(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

// libtiff's own tool reads our files back and agrees about what they hold.
TEST(Tiff, IndependentReaderAcceptsBothKinds) {
  if (std::system("command -v tiffinfo >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "tiffinfo (Debian package libtiff-tools) is not installed";
  }
  testing::TempDir dir;
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  const auto mono = dir.path() / "mono.tif";
  ASSERT_EQ(save_tiff(mono, *fs), FileSave::Ok);
  std::string info = run_tool("tiffinfo -c " + mono.string() + " 2>&1");
  EXPECT_NE(info.find("Image Width: 752 Image Length: 580"), std::string::npos) << info;
  EXPECT_NE(info.find("Bits/Sample: 8"), std::string::npos) << info;
  EXPECT_NE(info.find("Rows/Strip: 58"), std::string::npos) << info;
  EXPECT_NE(info.find("min-is-black"), std::string::npos) << info;
  EXPECT_EQ(info.find("Error"), std::string::npos) << info;
  // tiffinfo -d dumps the strips; the last strip's last row is the ramp's row 579.
  std::string data = run_tool("tiffinfo -d " + mono.string() + " 2>&1");
  EXPECT_NE(data.find("Strip 9:"), std::string::npos);
  EXPECT_EQ(data.find("Error"), std::string::npos);

  fs->IsColour = true;
  const auto colour = dir.path() / "colour.tif";
  ASSERT_EQ(save_tiff(colour, *fs), FileSave::Ok);
  info = run_tool("tiffinfo " + colour.string() + " 2>&1");
  EXPECT_NE(info.find("Samples/Pixel: 3"), std::string::npos) << info;
  EXPECT_NE(info.find("RGB color"), std::string::npos) << info;
  EXPECT_NE(info.find("Rows/Strip: 29"), std::string::npos) << info;
  EXPECT_EQ(info.find("Error"), std::string::npos) << info;
}

}  // namespace
}  // namespace tarvex
