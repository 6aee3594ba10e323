// What the INDI camera driver hands its clients, worked out from the camera's
// frames: the exposure range and value a requested duration becomes, the
// part of the frame a client's subframe and binning select, and the mosaic
// cards of a raw frame stored top row first, as INDI clients store frames.
// Pure functions on frames; the driver and its tests share them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "camera/exposure_range.h"
#include "image/frame_store.h"

namespace tarvex::indi {

// The three capture formats the driver offers.
enum class CaptureFormat {
  Luminance16,  // the exposure as read, one plane, no colour pattern
  Rgb16,        // red, green and blue planes from the program's colour synthesis
  RawMosaic16,  // the exposure as read, with the sensor's mosaic named
};

// A requested exposure as the camera dialog would set it: the range that
// holds the duration best and the value in that range's unit. Whole seconds
// up to five minutes run in seconds (the host times them and can stop them);
// other durations under one second in thousandths, up to ten seconds in
// hundredths, up to five minutes in whole seconds, longer in whole minutes
// (at most 90).
struct ExposurePlan {
  ExposureRange range = ExposureRange::Seconds;
  int value = 1;
  double seconds = 1;  // what the camera will actually expose
};
ExposurePlan plan_exposure(double seconds);

// The camera's binned mode reads one line for each pair of rows: the only
// binning besides 1 x 1 is 1 column by 2 rows.
inline constexpr int BINNED_ROWS = 2;

// A client's subframe in full-frame pixels (x, y: top-left, w, h: size) and
// its vertical binning (1, or BINNED_ROWS).
struct Region {
  int x = 0;
  int y = 0;
  int w = FRAME_WIDTH;
  int h = FRAME_HEIGHT;
  int bin_y = 1;
};

// The region made valid: inside the frame, at least one pixel wide and one
// binned row high, and for the binned mode starting on a row the camera read
// (an even row) with a height that is a whole number of row pairs.
Region clamp_region(Region r);

// Samples a region delivers per plane.
inline std::size_t region_samples(const Region& r) {
  return static_cast<std::size_t>(r.w) * static_cast<std::size_t>(r.h / r.bin_y);
}

// Copies the region of `frame` row by row, top row first; a binned region
// takes the rows the camera read (the even rows), not the ones filled in
// between. `out` receives region_samples(r) samples.
void copy_region(const Frame& frame, const Region& r, std::uint16_t* out);

// The three colour planes of the region, red, green and blue one after the
// other (3 * region_samples(r) samples), as a three-plane FITS image stores
// them.
void copy_planes(const Frame& red, const Frame& green, const Frame& blue, const Region& r,
                 std::uint16_t* out);

// The mosaic cards of a raw frame whose rows are stored top row first:
// the sensor's pattern (the shared pattern, which names the rows as the
// program's own exports store them, bottom row first, turned round for the
// other order) and its column and row offsets for the region, with the
// camera's "Pixel Offset" and "Line Offset".
struct MosaicCards {
  std::string pattern;
  int x_offset = 0;
  int y_offset = 0;
};
MosaicCards top_down_mosaic(const Region& r, bool pixel_offset, bool line_offset);

}  // namespace tarvex::indi
