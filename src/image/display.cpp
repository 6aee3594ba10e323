#include "image/display.h"

#include <algorithm>
#include <cmath>

#include "platform/file_io.h"

namespace tarvex {

namespace {

void put_u16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void put_u32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

constexpr int kHistogramFirstSample = 3760;  // row 5
constexpr int kHistogramSamples = 428640;    // rows 5 to 574

}  // namespace

void make_display_bytes(FrameStore& fs, bool small_frame) {
  const int n = small_frame ? SMALL_FRAME_SAMPLES : FRAME_SAMPLES;
  const std::uint16_t* src = fs.CurrentFrame.data();
  std::uint8_t* dst = fs.DisplayBytes.data();
  for (int i = 0; i < n; ++i) dst[i] = static_cast<std::uint8_t>(src[i] >> 8);
}

GreyMap grey_mapping(const DisplayState& ds, int background_level) {
  GreyMap map{};
  if (ds.max_stretch_all || ds.focus_image_shown) {
    const int bits = std::clamp(ds.palette_bits, MIN_PALETTE_BITS, MAX_PALETTE_BITS);
    const int factor = 1 << (16 - bits);
    for (int i = 0; i < 256; ++i) map[i] = static_cast<std::uint8_t>(std::min(255, i * factor));
  } else if (ds.auto_contrast) {
    const double scale = std::pow(255.0, 0.7);
    for (int i = 0; i < 256; ++i) {
      if (i <= background_level) {
        map[i] = 0;
      } else {
        const double g = scale * std::pow(static_cast<double>(i - background_level), 0.3);
        map[i] = static_cast<std::uint8_t>(std::min(255, static_cast<int>(g)));
      }
    }
  } else {
    for (int i = 0; i < 256; ++i) map[i] = static_cast<std::uint8_t>(i);
  }
  return map;
}

int background_level(const std::array<std::uint16_t, HISTOGRAM_BINS>& histogram) {
  int chosen[3] = {-1, -1, -1};
  int found = 0;
  for (int k = 0; k < 3; ++k) {
    int best = -1;
    for (int b = 0; b < 256; ++b) {
      if (histogram[b] == 0 || b == chosen[0] || b == chosen[1]) continue;
      if (best < 0 || histogram[b] > histogram[best]) best = b;
    }
    if (best < 0) break;
    chosen[k] = best;
    ++found;
  }
  if (found == 0) return 0;
  int sum = 0;
  for (int k = 0; k < found; ++k) sum += chosen[k];
  return sum / found;
}

void compute_image_histogram(FrameStore& fs) {
  // Four interleaved tables keep consecutive increments of the same bin from
  // waiting on each other; their sum modulo 65536 is what 16-bit counters
  // counting one by one would hold.
  std::uint32_t part[4][256] = {};
  const std::uint16_t* s = fs.CurrentFrame.data() + kHistogramFirstSample;
  int i = 0;
  for (; i + 4 <= kHistogramSamples; i += 4) {
    ++part[0][s[i] >> 8];
    ++part[1][s[i + 1] >> 8];
    ++part[2][s[i + 2] >> 8];
    ++part[3][s[i + 3] >> 8];
  }
  for (; i < kHistogramSamples; ++i) ++part[0][s[i] >> 8];
  for (int b = 0; b < 256; ++b) {
    fs.ImageHistogram[b] =
        static_cast<std::uint16_t>(part[0][b] + part[1][b] + part[2][b] + part[3][b]);
  }
  fs.ImageHistogram[256] = 0;
  fs.BackgroundLevel = background_level(fs.ImageHistogram);
}

void fill_rgb_rows_plain(FrameStore& fs, ColourView colour_view, int first_row, int end_row) {
  const int begin = first_row * FRAME_WIDTH;
  const int end = end_row * FRAME_WIDTH;
  std::uint8_t* out = fs.RgbBitmap.data();
  if (colour_view == ColourView::Red || colour_view == ColourView::Green ||
      colour_view == ColourView::Blue) {
    // Planes of full 16-bit range are shown by their high byte; planes that
    // stay at or below 256 in rows 100 and 200 are shown as they are.
    bool wide = false;
    for (int row : {100, 200}) {
      const int from = row * FRAME_WIDTH + 5;
      for (int i = from; i < from + 750; ++i) {
        if (fs.RedPlane[i] > 256 || fs.GreenPlane[i] > 256 || fs.BluePlane[i] > 256) wide = true;
      }
    }
    const Frame& plane = colour_view == ColourView::Red     ? fs.RedPlane
                         : colour_view == ColourView::Green ? fs.GreenPlane
                                                            : fs.BluePlane;
    // The bitmap holds blue, green, red.
    const int channel = colour_view == ColourView::Red     ? 2
                        : colour_view == ColourView::Green ? 1
                                                           : 0;
    for (int i = begin; i < end; ++i) {
      // A bright sample in a narrow plane is shown white rather than wrapping.
      const unsigned v = std::min(255u, wide ? plane[i] / 256u : plane[i]);
      std::uint8_t* px = out + 3 * i;
      px[0] = px[1] = px[2] = 0;
      px[channel] = static_cast<std::uint8_t>(v);
    }
    return;
  }
  for (int i = begin; i < end; ++i) {
    std::uint8_t* px = out + 3 * i;
    px[0] = px[1] = px[2] = fs.DisplayBytes[i];
  }
}

std::array<std::uint8_t, BITMAP_HEADER_SIZE> bitmap_header(int width, int height, int bits,
                                                           int pixel_offset, int file_size) {
  std::array<std::uint8_t, BITMAP_HEADER_SIZE> h{};
  h[0] = 'B';
  h[1] = 'M';
  put_u32(&h[2], static_cast<std::uint32_t>(file_size));
  put_u32(&h[10], static_cast<std::uint32_t>(pixel_offset));
  put_u32(&h[14], 40);
  put_u32(&h[18], static_cast<std::uint32_t>(width));
  put_u32(&h[22], static_cast<std::uint32_t>(height));
  put_u16(&h[26], 1);
  put_u16(&h[28], static_cast<std::uint32_t>(bits));
  return h;
}

BitmapWrite write_mono_bitmap(const std::filesystem::path& path, const FrameStore& fs,
                              bool small_frame, const GreyMap& map) {
  const int side_w = small_frame ? SMALL_FRAME_SIDE : FRAME_WIDTH;
  const int side_h = small_frame ? SMALL_FRAME_SIDE : FRAME_HEIGHT;
  const int size = MONO_BITMAP_PIXELS_OFFSET + side_w * side_h;
  std::array<std::uint8_t, MONO_BITMAP_PIXELS_OFFSET> head{};
  const auto h = bitmap_header(side_w, side_h, 8, MONO_BITMAP_PIXELS_OFFSET, size);
  std::copy(h.begin(), h.end(), head.begin());
  for (int i = 0; i < 256; ++i) {
    std::uint8_t* e = &head[BITMAP_HEADER_SIZE + 4 * i];
    e[0] = e[1] = e[2] = map[i];
    e[3] = 0;
  }
  AtomicFile out;
  if (!out.open(path)) return BitmapWrite::NotCreated;
  if (!out.write(head.data(), head.size())) return BitmapWrite::HeaderNotWritten;
  if (!out.write_rows_bottom_up(fs.DisplayBytes.data(), static_cast<std::size_t>(side_w),
                                static_cast<std::size_t>(side_h)))
    return BitmapWrite::PixelsNotWritten;
  if (!out.commit(false)) return BitmapWrite::PixelsNotWritten;
  return BitmapWrite::Ok;
}

BitmapWrite write_colour_bitmap(const std::filesystem::path& path, const FrameStore& fs) {
  const auto h =
      bitmap_header(FRAME_WIDTH, FRAME_HEIGHT, 24, BITMAP_HEADER_SIZE, COLOUR_BITMAP_FILE_SIZE);
  AtomicFile out;
  if (!out.open(path)) return BitmapWrite::NotCreated;
  if (!out.write(h.data(), h.size())) return BitmapWrite::HeaderNotWritten;
  if (!out.write_rows_bottom_up(fs.RgbBitmap.data(), 3 * FRAME_WIDTH, FRAME_HEIGHT))
    return BitmapWrite::PixelsNotWritten;
  if (!out.commit(false)) return BitmapWrite::PixelsNotWritten;
  return BitmapWrite::Ok;
}

}  // namespace tarvex
