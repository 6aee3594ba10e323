#include "indi/indi_frames.h"

#include <algorithm>
#include <cmath>

#include "files/fits_standard.h"

namespace tarvex::indi {

ExposurePlan plan_exposure(double seconds) {
  if (!(seconds > 0)) seconds = 0.001;  // NaN and anything below the shortest exposure
  const double ms = std::round(seconds * 1000);
  ExposurePlan p;
  if (ms >= 1000 && ms <= 300000 && std::fmod(ms, 1000) == 0) {
    p.range = ExposureRange::Seconds;
    p.value = static_cast<int>(ms / 1000);
    p.seconds = p.value;
  } else if (ms < 1000) {
    p.range = ExposureRange::Thousandths;
    p.value = std::max(1, static_cast<int>(ms));
    p.seconds = p.value / 1000.0;
  } else if (ms <= 10000) {
    p.range = ExposureRange::Hundredths;
    p.value = static_cast<int>(std::round(ms / 10));
    p.seconds = p.value / 100.0;
  } else if (ms <= 300000) {
    p.range = ExposureRange::Seconds;
    p.value = static_cast<int>(std::round(ms / 1000));
    p.seconds = p.value;
  } else {
    p.range = ExposureRange::Minutes;
    p.value = std::clamp(static_cast<int>(std::round(ms / 60000)), 1, 90);
    p.seconds = p.value * 60.0;
  }
  return p;
}

Region clamp_region(Region r) {
  r.bin_y = r.bin_y == BINNED_ROWS ? BINNED_ROWS : 1;
  r.x = std::clamp(r.x, 0, FRAME_WIDTH - 1);
  r.y = std::clamp(r.y, 0, FRAME_HEIGHT - r.bin_y);
  if (r.bin_y == BINNED_ROWS) r.y &= ~1;
  r.w = std::clamp(r.w, 1, FRAME_WIDTH - r.x);
  r.h = std::clamp(r.h, r.bin_y, FRAME_HEIGHT - r.y);
  r.h -= r.h % r.bin_y;
  return r;
}

void copy_region(const Frame& frame, const Region& r, std::uint16_t* out) {
  for (int row = r.y; row + r.bin_y <= r.y + r.h; row += r.bin_y) {
    const auto from = frame.begin() + static_cast<std::ptrdiff_t>(row) * FRAME_WIDTH + r.x;
    out = std::copy_n(from, r.w, out);
  }
}

void copy_planes(const Frame& red, const Frame& green, const Frame& blue, const Region& r,
                 std::uint16_t* out) {
  const std::size_t plane = region_samples(r);
  copy_region(red, r, out);
  copy_region(green, r, out + plane);
  copy_region(blue, r, out + 2 * plane);
}

MosaicCards top_down_mosaic(const Region& r, bool pixel_offset, bool line_offset) {
  // The shared pattern's rows run bottom row first; a frame of FRAME_HEIGHT
  // rows (a whole number of pattern periods) stored top row first meets them
  // in the reverse order at the same row offset.
  MosaicCards m;
  for (int row = BAYER_ROWS - 1; row >= 0; --row)
    m.pattern += BAYERPAT.substr(static_cast<std::size_t>(row * BAYER_COLUMNS), BAYER_COLUMNS);
  m.x_offset = (bayer_x_offset(pixel_offset) + r.x) % BAYER_COLUMNS;
  m.y_offset = (bayer_y_offset(line_offset) + r.y) % BAYER_ROWS;
  return m;
}

}  // namespace tarvex::indi
