#include "colour/colour_display.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "colour/synthesis.h"

namespace tarvex {

namespace {

inline std::uint8_t to_byte(double value) {
  if (value >= 255.0) return 255;
  if (value <= 0.0) return 0;
  return static_cast<std::uint8_t>(value);  // truncated
}

// The three ratios of a pixel: each plane against the largest, all 1 for
// bright display levels, and the mean level for nearly saturated pixels.
struct Ratios {
  double red, green, blue;
};

inline Ratios pixel_ratios(int lambda, int red, int green, int blue) {
  if (lambda >= 235) return {1.0, 1.0, 1.0};
  if (red > 64000 || green > 64000 || blue > 64000) {
    const double r = (red + blue + green) / 196500.0;
    return {r, r, r};
  }
  const int m = std::max(red, std::max(green, blue));
  if (m == 0) return {1.0, 1.0, 1.0};
  return {red / static_cast<double>(m), green / static_cast<double>(m),
          blue / static_cast<double>(m)};
}

}  // namespace

std::uint8_t auto_contrast_level(int lambda, int black_level) {
  const int above = std::max(lambda - black_level, 0);
  return static_cast<std::uint8_t>(std::min(
      255.0, std::trunc(std::pow(255.0, 0.7) * std::pow(static_cast<double>(above), 0.3))));
}

void build_colour_rows(FrameStore& fs, const DisplayState& ds, const Settings& settings,
                       int first_row, int end_row) {
  if (ds.colour_view != 'N') {
    fill_rgb_rows_plain(fs, ds.colour_view, first_row, end_row);
    return;
  }
  const double f = settings.saturation_factor + 1.0;
  const int begin = first_row * FRAME_WIDTH;
  const int end = end_row * FRAME_WIDTH;
  std::uint8_t* out = fs.RgbBitmap.data();
  const std::uint8_t* display = fs.DisplayBytes.data();
  const std::uint16_t* red = fs.RedPlane.data();
  const std::uint16_t* green = fs.GreenPlane.data();
  const std::uint16_t* blue = fs.BluePlane.data();
  if (!ds.auto_contrast) {
    for (int i = begin; i < end; ++i) {
      const int lambda = display[i];
      const Ratios q = pixel_ratios(lambda, red[i], green[i], blue[i]);
      std::uint8_t* px = out + 3 * i;
      px[0] = to_byte(((q.blue - 1.0) * f * 0.5 + 1.2) * lambda);
      px[1] = to_byte(((q.green - 1.0) * f * 0.5 + 1.2) * lambda);
      px[2] = to_byte(((q.red - 1.0) * f * 0.5 + 1.2) * lambda);
    }
    return;
  }
  // The black level comes from CurrentFrame, which does not change while
  // the picture is built; the curve has one value per display level and
  // lives on the stack.
  fs.BackgroundLevel = synthesis_background_level(fs.CurrentFrame);
  std::array<std::uint8_t, 256> curve;
  for (int l = 0; l < 256; ++l) curve[l] = auto_contrast_level(l, fs.BackgroundLevel);
  for (int i = begin; i < end; ++i) {
    const int lambda = display[i];
    const double v = curve[lambda];
    const Ratios q = pixel_ratios(lambda, red[i], green[i], blue[i]);
    std::uint8_t* px = out + 3 * i;
    px[0] = to_byte(((q.blue - 1.0) * f * 0.5 + 1.0) * v);
    px[1] = to_byte(((q.green - 1.0) * f * 0.5 + 1.0) * v);
    px[2] = to_byte(((q.red - 1.0) * f * 0.5 + 1.0) * v);
  }
}

}  // namespace tarvex
