#include "colour/colour_display.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "colour/synthesis.h"
#include "image/lanes.h"
#include "image/target_clones.h"

namespace tarvex {

namespace {

// The vector helpers are always inlined into the dispatched clones, so
// their calling convention never crosses a clone boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

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

constexpr int PICTURE_LANES = 4;

// One channel of four pixels: the weighted level, clamped to 0..255 and
// truncated as to_byte does.
[[gnu::always_inline]] inline Int32x4 weigh(const Float64x4& q, double f, double lift,
                                            const Float64x4& level) {
  const Float64x4 v = ((q - 1.0) * f * 0.5 + lift) * level;
  const Float64x4 top = Float64x4{} + 255.0, zero = Float64x4{};
  return __builtin_convertvector(v >= top ? top : v <= zero ? zero : v, Int32x4);
}

// The normal view for pixels [begin, end): each channel is
// ((ratio - 1) * f * 0.5 + lift) * level, where level is the display byte
// through `curve`. Four pixels go together through the same double
// operations, in the same order, as pixel_ratios and to_byte.
TARVEX_CLONES void weigh_pixels(const std::uint8_t* display, const std::uint16_t* red,
                                const std::uint16_t* green, const std::uint16_t* blue,
                                const double* curve, double f, double lift, std::uint8_t* out,
                                int begin, int end) {
  const Float64x4 one = Float64x4{} + 1.0, zero = Float64x4{};
  int i = begin;
  for (; i + PICTURE_LANES <= end; i += PICTURE_LANES) {
    Float64x4 level, r, g, b;
    Int64x4 bright, saturated;
    for (int k = 0; k < PICTURE_LANES; ++k) {
      const int lambda = display[i + k];
      level[k] = curve[lambda];
      r[k] = red[i + k];
      g[k] = green[i + k];
      b[k] = blue[i + k];
      bright[k] = lambda >= 235 ? -1 : 0;
      saturated[k] = red[i + k] > 64000 || green[i + k] > 64000 || blue[i + k] > 64000 ? -1 : 0;
    }
    const Float64x4 rg = r > g ? r : g;
    const Float64x4 m = rg > b ? rg : b;
    const Int64x4 empty = m == zero;
    const Float64x4 divisor = empty ? one : m;
    Float64x4 qr = r / divisor, qg = g / divisor, qb = b / divisor;
    bool any_saturated = false;
    for (int k = 0; k < PICTURE_LANES; ++k) any_saturated |= saturated[k] != 0;
    if (any_saturated) {
      Float64x4 sum;
      for (int k = 0; k < PICTURE_LANES; ++k) sum[k] = red[i + k] + blue[i + k] + green[i + k];
      const Float64x4 mean = sum / 196500.0;
      qr = saturated ? mean : qr;
      qg = saturated ? mean : qg;
      qb = saturated ? mean : qb;
    }
    const Int64x4 plain = bright | (empty & ~saturated);
    qr = plain ? one : qr;
    qg = plain ? one : qg;
    qb = plain ? one : qb;
    const Int32x4 cb = weigh(qb, f, lift, level), cg = weigh(qg, f, lift, level),
                  cr = weigh(qr, f, lift, level);
    std::uint8_t* px = out + 3 * i;
    for (int k = 0; k < PICTURE_LANES; ++k) {
      px[3 * k] = static_cast<std::uint8_t>(cb[k]);
      px[3 * k + 1] = static_cast<std::uint8_t>(cg[k]);
      px[3 * k + 2] = static_cast<std::uint8_t>(cr[k]);
    }
  }
  for (; i < end; ++i) {
    const int lambda = display[i];
    const double v = curve[lambda];
    const Ratios q = pixel_ratios(lambda, red[i], green[i], blue[i]);
    std::uint8_t* px = out + 3 * i;
    px[0] = to_byte(((q.blue - 1.0) * f * 0.5 + lift) * v);
    px[1] = to_byte(((q.green - 1.0) * f * 0.5 + lift) * v);
    px[2] = to_byte(((q.red - 1.0) * f * 0.5 + lift) * v);
  }
}

}  // namespace

std::uint8_t auto_contrast_level(int lambda, int black_level) {
  const int above = std::max(lambda - black_level, 0);
  return static_cast<std::uint8_t>(std::min(
      255.0, std::trunc(std::pow(255.0, 0.7) * std::pow(static_cast<double>(above), 0.3))));
}

void build_colour_rows(FrameStore& fs, const DisplayState& ds, const Settings& settings,
                       int first_row, int end_row) {
  if (ds.colour_view != ColourView::Normal) {
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
  std::array<double, 256> curve;
  if (!ds.auto_contrast) {
    for (int l = 0; l < 256; ++l) curve[l] = l;
    weigh_pixels(display, red, green, blue, curve.data(), f, 1.2, out, begin, end);
    return;
  }
  // The black level comes from CurrentFrame, which does not change while
  // the picture is built; the curve has one value per display level.
  fs.BackgroundLevel = synthesis_background_level(fs.CurrentFrame);
  for (int l = 0; l < 256; ++l) curve[l] = auto_contrast_level(l, fs.BackgroundLevel);
  weigh_pixels(display, red, green, blue, curve.data(), f, 1.0, out, begin, end);
}

}  // namespace tarvex
