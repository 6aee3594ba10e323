#include "files/tiff.h"

#include <array>

#include "files/tiff_directory.h"
#include "platform/file_io.h"

namespace tarvex {

namespace {

constexpr int kMonoStrips = 10;
constexpr int kMonoRowsPerStrip = 58;
constexpr int kColourStrips = 20;
constexpr int kColourRowsPerStrip = 29;
constexpr std::uint32_t kMonoStripBytes = kMonoRowsPerStrip * FRAME_WIDTH;          // 43616
constexpr std::uint32_t kColourStripBytes = kColourRowsPerStrip * FRAME_WIDTH * 3;  // 65424
constexpr std::uint32_t kColourBitsOffset = TIFF_COLOUR_PIXELS_OFFSET + 3 * FRAME_SAMPLES;

TiffBytes tiff_header(bool colour) {
  const int strips = colour ? kColourStrips : kMonoStrips;
  const std::uint32_t strip_bytes = colour ? kColourStripBytes : kMonoStripBytes;
  const std::uint32_t counts_offset = 186 + 4 * static_cast<std::uint32_t>(strips);
  const std::uint32_t pixels = colour ? TIFF_COLOUR_PIXELS_OFFSET : TIFF_MONO_PIXELS_OFFSET;
  TiffBytes h;
  h.header(13);
  h.entry(254, TIFF_LONG, 1, 0);
  h.entry(256, TIFF_SHORT, 1, FRAME_WIDTH);
  h.entry(257, TIFF_SHORT, 1, FRAME_HEIGHT);
  if (colour) {
    h.entry(258, TIFF_SHORT, 3, kColourBitsOffset);
  } else {
    h.entry(258, TIFF_SHORT, 1, 8);
  }
  h.entry(259, TIFF_SHORT, 1, 1);
  h.entry(262, TIFF_SHORT, 1, colour ? 2 : 1);
  h.entry(273, TIFF_LONG, static_cast<std::uint32_t>(strips), 186);
  h.entry(277, TIFF_SHORT, 1, colour ? 3 : 1);
  h.entry(278, TIFF_LONG, 1, colour ? kColourRowsPerStrip : kMonoRowsPerStrip);
  h.entry(279, TIFF_SHORT, static_cast<std::uint32_t>(strips), counts_offset);
  h.entry(282, TIFF_RATIONAL, 1, 170);
  h.entry(283, TIFF_RATIONAL, 1, 178);
  h.entry(296, TIFF_SHORT, 1, 3);
  h.u32(0);  // no next directory
  h.u32(510);
  h.u32(6);
  h.u32(256);
  h.u32(6);
  for (int k = 0; k < strips; ++k) h.u32(pixels + static_cast<std::uint32_t>(k) * strip_bytes);
  for (int k = 0; k < strips; ++k) h.u16(strip_bytes);
  return h;
}

}  // namespace

FileSave save_tiff(const std::filesystem::path& path, const FrameStore& fs) {
  const bool colour = fs.IsColour;
  const TiffBytes h = tiff_header(colour);
  AtomicFile out;
  if (!out.open(path) || !out.write(h.data().data(), h.data().size())) return FileSave::Failed;
  // One strip at a time through a fixed buffer.
  std::array<std::uint8_t, kColourStripBytes> strip;
  if (colour) {
    const std::uint8_t* bgr = fs.RgbBitmap.data();
    for (int k = 0; k < kColourStrips; ++k) {
      const std::size_t first = static_cast<std::size_t>(k) * kColourRowsPerStrip * FRAME_WIDTH;
      for (std::size_t i = 0; i < static_cast<std::size_t>(kColourRowsPerStrip) * FRAME_WIDTH;
           ++i) {
        const std::uint8_t* px = bgr + 3 * (first + i);
        strip[3 * i] = px[2];
        strip[3 * i + 1] = px[1];
        strip[3 * i + 2] = px[0];
      }
      if (!out.write(strip.data(), kColourStripBytes)) return FileSave::Failed;
    }
    const std::uint8_t bits[6] = {8, 0, 8, 0, 8, 0};
    if (!out.write(bits, sizeof bits)) return FileSave::Failed;
  } else {
    for (int k = 0; k < kMonoStrips; ++k) {
      const std::size_t first = static_cast<std::size_t>(k) * kMonoStripBytes;
      for (std::size_t i = 0; i < kMonoStripBytes; ++i) {
        strip[i] = static_cast<std::uint8_t>(fs.CurrentFrame[first + i] >> 8);
      }
      if (!out.write(strip.data(), kMonoStripBytes)) return FileSave::Failed;
    }
  }
  return saved_if(out.commit(true));
}

}  // namespace tarvex
