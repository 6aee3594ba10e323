#include "files/tiff16.h"

#include <string>
#include <vector>

#include "files/tiff_directory.h"
#include "platform/file_io.h"
#include "platform/version.h"

namespace tarvex {

namespace {

constexpr int kEntries = 15;
constexpr std::uint32_t kDirectory = 8;
constexpr std::uint32_t kAfterDirectory = kDirectory + 2 + 12 * kEntries + 4;  // 194
constexpr std::uint32_t kPixelsPerInch = 72;

std::string software() {
  return std::string("Tarvex ") + PROGRAM_VERSION;
}

// Where each block after the directory lands.
struct Offsets {
  std::uint32_t bits = 0;  // colour only: the three BitsPerSample values
  std::uint32_t xres = 0, yres = 0, strip_offsets = 0, strip_counts = 0, software = 0;
  std::uint32_t pixels = 0;
};

Offsets offsets(bool colour) {
  Offsets o;
  std::uint32_t at = kAfterDirectory;
  if (colour) {
    o.bits = at;
    at += 6;
  }
  o.xres = at;
  o.yres = at + 8;
  o.strip_offsets = at + 16;
  o.strip_counts = o.strip_offsets + 4 * TIFF16_STRIPS;
  o.software = o.strip_counts + 4 * TIFF16_STRIPS;
  at = o.software + static_cast<std::uint32_t>(software().size()) + 1;
  o.pixels = (at + 1) & ~1u;  // on a word boundary
  return o;
}

std::uint32_t strip_bytes(bool colour) {
  return TIFF16_ROWS_PER_STRIP * FRAME_WIDTH * (colour ? 6 : 2);
}

std::vector<std::uint8_t> header(bool colour) {
  const Offsets o = offsets(colour);
  const std::string sw = software();
  TiffBytes h;
  h.header(kEntries);
  h.entry(254, TIFF_LONG, 1, 0);  // NewSubfileType: the full image
  h.entry(256, TIFF_SHORT, 1, FRAME_WIDTH);
  h.entry(257, TIFF_SHORT, 1, FRAME_HEIGHT);
  if (colour)
    h.entry(258, TIFF_SHORT, 3, o.bits);
  else
    h.entry(258, TIFF_SHORT, 1, 16);
  h.entry(259, TIFF_SHORT, 1, 1);               // no compression
  h.entry(262, TIFF_SHORT, 1, colour ? 2 : 1);  // RGB, or grey with black at zero
  h.entry(273, TIFF_LONG, TIFF16_STRIPS, o.strip_offsets);
  h.entry(277, TIFF_SHORT, 1, colour ? 3 : 1);
  h.entry(278, TIFF_LONG, 1, TIFF16_ROWS_PER_STRIP);
  h.entry(279, TIFF_LONG, TIFF16_STRIPS, o.strip_counts);
  h.entry(282, TIFF_RATIONAL, 1, o.xres);
  h.entry(283, TIFF_RATIONAL, 1, o.yres);
  h.entry(284, TIFF_SHORT, 1, 1);  // samples of a pixel side by side
  h.entry(296, TIFF_SHORT, 1, 2);  // pixels per inch
  h.entry(305, TIFF_ASCII, static_cast<std::uint32_t>(sw.size() + 1), o.software);
  h.u32(0);  // no next directory
  if (colour) {
    for (int k = 0; k < 3; ++k) h.u16(16);
  }
  h.u32(kPixelsPerInch);
  h.u32(1);
  h.u32(kPixelsPerInch);
  h.u32(1);
  for (int k = 0; k < TIFF16_STRIPS; ++k)
    h.u32(o.pixels + static_cast<std::uint32_t>(k) * strip_bytes(colour));
  for (int k = 0; k < TIFF16_STRIPS; ++k) h.u32(strip_bytes(colour));
  for (char c : sw) h.data().push_back(static_cast<std::uint8_t>(c));
  h.pad_to(o.pixels);  // the string's terminating zero and the word padding
  return std::move(h.data());
}

}  // namespace

std::uint32_t tiff16_pixels_offset(bool colour) {
  return offsets(colour).pixels;
}

std::uint64_t tiff16_size(bool colour) {
  return tiff16_pixels_offset(colour) +
         static_cast<std::uint64_t>(TIFF16_STRIPS) * strip_bytes(colour);
}

FileSave save_tiff16(const std::filesystem::path& path, const FrameStore& fs) {
  const bool colour = fs.IsColour;
  const std::vector<std::uint8_t> h = header(colour);
  AtomicFile out;
  if (!out.open(path) || !out.write(h.data(), h.size())) return FileSave::Failed;
  std::vector<std::uint8_t> strip(strip_bytes(colour));
  const std::size_t per_strip = static_cast<std::size_t>(TIFF16_ROWS_PER_STRIP) * FRAME_WIDTH;
  for (int k = 0; k < TIFF16_STRIPS; ++k) {
    const std::size_t first = static_cast<std::size_t>(k) * per_strip;
    std::uint8_t* p = strip.data();
    for (std::size_t i = first; i < first + per_strip; ++i) {
      if (colour) {
        for (const Frame* plane : {&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane}) {
          *p++ = static_cast<std::uint8_t>((*plane)[i]);
          *p++ = static_cast<std::uint8_t>((*plane)[i] >> 8);
        }
      } else {
        *p++ = static_cast<std::uint8_t>(fs.CurrentFrame[i]);
        *p++ = static_cast<std::uint8_t>(fs.CurrentFrame[i] >> 8);
      }
    }
    if (!out.write(strip.data(), strip.size())) return FileSave::Failed;
  }
  return saved_if(out.commit(true));
}

}  // namespace tarvex
