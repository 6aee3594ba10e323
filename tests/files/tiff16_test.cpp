// 16-bit TIFF export: the directory built by hand here, then the files read
// back by libtiff's own tools (tiffinfo), which must find every sample where
// it was written.
#include "files/tiff16.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/version.h"
#include "test_support.h"

namespace tarvex {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::read_bytes;
using testing::TempDir;

unsigned u16(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}
unsigned u32(const Bytes& b, std::size_t at) {
  return u16(b, at) | (u16(b, at + 2) << 16);
}

void fill(FrameStore& fs) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    fs.CurrentFrame[i] = testing::pattern(i, 0);
    fs.RedPlane[i] = testing::pattern(i, 1);
    fs.GreenPlane[i] = testing::pattern(i, 2);
    fs.BluePlane[i] = testing::pattern(i, 3);
  }
}

struct Entry {
  unsigned tag, type, count, value;
};

// The directory as the layout should be: 15 entries, tags ascending.
std::vector<Entry> expected_entries(bool colour) {
  const unsigned bits = colour ? 194 : 0;  // colour: BitsPerSample values after the directory
  const unsigned xres = colour ? 200 : 194;
  const unsigned sw = xres + 16 + 80;
  return {
      {254, 4, 1, 0},
      {256, 3, 1, 752},
      {257, 3, 1, 580},
      {258, 3, colour ? 3u : 1u, colour ? bits : 16u},
      {259, 3, 1, 1},
      {262, 3, 1, colour ? 2u : 1u},
      {273, 4, 10, xres + 16},
      {277, 3, 1, colour ? 3u : 1u},
      {278, 4, 1, 58},
      {279, 4, 10, xres + 56},
      {282, 5, 1, xres},
      {283, 5, 1, xres + 8},
      {284, 3, 1, 1},
      {296, 3, 1, 2},
      {305, 2,
       static_cast<unsigned>(std::string("Tarvex ").size() + std::strlen(PROGRAM_VERSION) + 1), sw},
  };
}

TEST(Tiff16, DirectoryStripsAndSamplesLaidOutByHand) {
  TempDir dir;
  auto fs = std::make_unique<FrameStore>();
  fill(*fs);
  for (const bool colour : {false, true}) {
    SCOPED_TRACE(colour ? "colour" : "mono");
    fs->IsColour = colour;
    const auto path = dir / "out.tif";
    ASSERT_EQ(save_tiff16(path, *fs), FileSave::Ok);
    const Bytes b = read_bytes(path);
    ASSERT_EQ(b.size(), tiff16_size(colour));
    EXPECT_EQ(u16(b, 0), 0x4949u);
    EXPECT_EQ(u16(b, 2), 42u);
    EXPECT_EQ(u32(b, 4), 8u);
    ASSERT_EQ(u16(b, 8), 15u);
    const auto entries = expected_entries(colour);
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const std::size_t at = 10 + 12 * k;
      const Entry& e = entries[k];
      EXPECT_EQ(u16(b, at), e.tag);
      EXPECT_EQ(u16(b, at + 2), e.type) << e.tag;
      EXPECT_EQ(u32(b, at + 4), e.count) << e.tag;
      const unsigned value = (e.type == 3 && e.count == 1) ? u16(b, at + 8) : u32(b, at + 8);
      EXPECT_EQ(value, e.value) << e.tag;
    }
    EXPECT_EQ(u32(b, 10 + 12 * 15), 0u);  // the only directory
    const unsigned xres = colour ? 200 : 194;
    if (colour) {
      for (int k = 0; k < 3; ++k) EXPECT_EQ(u16(b, 194 + 2 * k), 16u);
    }
    // Square pixels: 72/1 pixels per inch both ways.
    EXPECT_EQ(u32(b, xres), 72u);
    EXPECT_EQ(u32(b, xres + 4), 1u);
    EXPECT_EQ(u32(b, xres + 8), 72u);
    EXPECT_EQ(u32(b, xres + 12), 1u);
    // Strips follow one another from the pixel data on.
    const unsigned pixels = tiff16_pixels_offset(colour);
    EXPECT_EQ(pixels % 2, 0u);
    const unsigned strip = 58u * 752u * (colour ? 6u : 2u);
    for (unsigned k = 0; k < 10; ++k) {
      EXPECT_EQ(u32(b, xres + 16 + 4 * k), pixels + k * strip);
      EXPECT_EQ(u32(b, xres + 56 + 4 * k), strip);
    }
    // Top row first, little-endian; colour pixels red, green, blue.
    const int i = 300 * FRAME_WIDTH + 400;
    if (colour) {
      EXPECT_EQ(u16(b, pixels + 6u * i), fs->RedPlane[i]);
      EXPECT_EQ(u16(b, pixels + 6u * i + 2), fs->GreenPlane[i]);
      EXPECT_EQ(u16(b, pixels + 6u * i + 4), fs->BluePlane[i]);
    } else {
      EXPECT_EQ(u16(b, pixels), fs->CurrentFrame[0]);
      EXPECT_EQ(u16(b, pixels + 2u * i), fs->CurrentFrame[i]);
    }
  }
  // A failed write leaves the previous file.
  testing::write_bytes(dir / "keep.tif", {7});
  EXPECT_EQ(save_tiff16(dir / "no" / "keep.tif", *fs), FileSave::Failed);
  EXPECT_EQ(read_bytes(dir / "keep.tif").size(), 1u);
}

std::string run(const std::string& command) {
  std::string text;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return text;
  char buf[1 << 14];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  ::pclose(p);
  return text;
}

TEST(Tiff16, LibtiffReadsEverySampleBack) {
  if (std::system("command -v tiffinfo >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "tiffinfo is not installed (Debian package libtiff-tools)";
  TempDir dir;
  auto fs = std::make_unique<FrameStore>();
  fill(*fs);
  for (const bool colour : {false, true}) {
    SCOPED_TRACE(colour ? "colour" : "mono");
    fs->IsColour = colour;
    const auto path = dir / "libtiff.tif";
    ASSERT_EQ(save_tiff16(path, *fs), FileSave::Ok);
    // tiffinfo -d prints the tags, then each strip as libtiff decoded it,
    // in hexadecimal bytes.
    const std::string text = run("tiffinfo -d '" + path.string() + "' 2>&1");
    EXPECT_NE(text.find("Image Width: 752 Image Length: 580"), std::string::npos) << text;
    EXPECT_NE(text.find("Bits/Sample: 16"), std::string::npos);
    EXPECT_NE(text.find(colour ? "Samples/Pixel: 3" : "Samples/Pixel: 1"), std::string::npos);
    EXPECT_NE(text.find(colour ? "RGB color" : "min-is-black"), std::string::npos);
    EXPECT_NE(text.find("Resolution: 72, 72 pixels/inch"), std::string::npos);
    EXPECT_EQ(text.find("Warning"), std::string::npos) << text.substr(0, 2000);
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text.substr(text.find("Strip 0:")));
    std::string word;
    while (in >> word) {
      if (word == "Strip") {
        in >> word;  // "k:"
        continue;
      }
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    const std::size_t per_pixel = colour ? 3 : 1;
    ASSERT_EQ(bytes.size(), 2 * per_pixel * FRAME_SAMPLES);
    std::size_t wrong = 0;
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      for (std::size_t s = 0; s < per_pixel; ++s) {
        const Frame& f = !colour  ? fs->CurrentFrame
                         : s == 0 ? fs->RedPlane
                         : s == 1 ? fs->GreenPlane
                                  : fs->BluePlane;
        const std::size_t at = 2 * (per_pixel * i + s);
        wrong += (bytes[at] | (bytes[at + 1] << 8)) != f[i];
      }
    }
    EXPECT_EQ(wrong, 0u);
  }
}

}  // namespace
}  // namespace tarvex
