#include "colour/synthesis.h"

#include <algorithm>
#include <string>
#include <type_traits>

#include "colour/median25.h"
#include "image/lanes.h"
#include "image/target_clones.h"
#include "processing/stretch.h"

namespace tarvex {

namespace {

constexpr int W = FRAME_WIDTH;
constexpr int H = FRAME_HEIGHT;
constexpr std::uint16_t BAD = 65535;

// The sum divided by 1.7, truncated, in integers: 10 s / 17 is either a
// whole number or at least 1/17 away from one, far more than the rounding
// of a double division, so both truncate to the same value.
inline std::uint16_t luminance_of(int pair_sum) {
  const int v = pair_sum * 10 / 17;
  return v > 65534 ? std::uint16_t{65535} : static_cast<std::uint16_t>(v);
}

// The per-row step's formula is written once, over a pixel type P: one
// pixel (P = std::int32_t, its masks bool) or eight neighbouring pixels of a
// row (P = Int32x8, its masks -1 or 0 per lane). The helpers below give both
// the same operations.
template <typename P>
[[gnu::always_inline]] inline P load_pixels(const std::uint16_t* p) {
  if constexpr (std::is_same_v<P, Int32x8>) {
    return load_widened(p);
  } else {
    return *p;
  }
}
[[gnu::always_inline]] inline void store_pixels(std::uint16_t* p, std::int32_t v) {
  *p = static_cast<std::uint16_t>(v);
}
[[gnu::always_inline]] inline void store_pixels(std::uint16_t* p, const Int32x8& v) {
  store_narrowed(p, v);
}
[[gnu::always_inline]] inline bool any_pixel(bool mask) {
  return mask;
}
[[gnu::always_inline]] inline bool any_pixel(const Int32x8& mask) {
  return any_lane(mask);
}
template <typename P>
inline constexpr int PIXELS_OF = sizeof(P) / sizeof(std::int32_t);
[[gnu::always_inline]] inline std::int32_t pixel(std::int32_t v, int) {
  return v;
}
[[gnu::always_inline]] inline std::int32_t pixel(const Int32x8& v, int i) {
  return v[i];
}
[[gnu::always_inline]] inline void set_pixel(std::int32_t& v, int, std::int32_t value) {
  v = value;
}
[[gnu::always_inline]] inline void set_pixel(Int32x8& v, int i, std::int32_t value) {
  v[i] = value;
}

template <typename P>
struct Rgb {
  P red, blue, green;
};

// `when_set()` where the mask is set, `when_clear()` where it is clear. One
// pixel runs only the formula it needs; eight run both and take each lane
// from the one its mask picks.
template <typename F, typename G>
[[gnu::always_inline]] inline auto either(bool mask, F when_set, G when_clear) {
  return mask ? when_set() : when_clear();
}
template <typename F, typename G>
[[gnu::always_inline]] inline auto either(const Int32x8& mask, F when_set, G when_clear) {
  const auto a = when_set();
  const auto b = when_clear();
  return decltype(a){select(mask, a.red, b.red), select(mask, a.blue, b.blue),
                     select(mask, a.green, b.green)};
}

// The computed pixels of the per-row step from the raw samples at `p`: the
// luminance and the three plane values. `x_set` marks the pixels whose
// column phase equals the line phase, `column` those with column phase 1.
// The weight sets of the options come in as compile-time divisors so that
// the weighting divides by constants.
template <bool Binned, typename P, typename Mask, typename Divisors>
[[gnu::always_inline]] inline void mosaic_pixels(const std::uint16_t* p, const Mask& x_set,
                                                 const Mask& column, bool odd_row,
                                                 const Divisors& d, std::uint16_t* out_lum,
                                                 std::uint16_t* out_red, std::uint16_t* out_blue,
                                                 std::uint16_t* out_green) {
  const P k = load_pixels<P>(p), left = load_pixels<P>(p - 1), right = load_pixels<P>(p + 1);
  const P white = P{} + 65535;
  // The luminance: the pair sum (twice the sample when the left one is
  // nearly saturated) divided by 1.7, as luminance_of; white when saturated.
  P sum;
  Mask saturated;
  if constexpr (Binned) {
    sum = left + k;
    saturated = k == 65535;
  } else {
    saturated = (k > 65000) | ((left > 65000) & (right > 65000));
    sum = select(left > 65000, k + k, left + k);
  }
  const P quotient = sum * 10 / 17;
  const P lum = select(saturated | (quotient > 65534), white, quotient);
  const P level = select(saturated, white, sum >> 1);
  // Bright pixels are lifted so that their colour survives the scaling.
  const P boost = select(
      level > 65000, P{} + 5000000,
      select(level > 60000, P{} + 2000000,
             select(level > 55000, P{} + 300000,
                    select(level > 53000, P{} + 10000, select(level > 50000, P{} + 1000, P{})))));

  // The colour weights of the 3 x 3 neighbourhood of the mosaic: the edge
  // neighbours e, the corner neighbours kk (both two rows apart vertically).
  const P e = left + right + load_pixels<P>(p - 2 * W) + load_pixels<P>(p + 2 * W);
  const P kk = load_pixels<P>(p - 2 * W - 1) + load_pixels<P>(p - 2 * W + 1) +
               load_pixels<P>(p + 2 * W - 1) + load_pixels<P>(p + 2 * W + 1);
  const P a = k + e + kk;
  Rgb<P> c = either(
      x_set,
      [&] {
        const P x1 = (4 * e + 16 * k - 6 * kk) / 40;
        const P x2 = (2 * e + 2 * kk - 12 * k) / 20;
        const P x3 = (a - 7 * x1 - 10 * x2) / 14;
        return Rgb<P>{select(column, x1, x2), select(column, x2, x1), x3};
      },
      [&] {
        const P y1 = (7 * kk - 2 * e - 12 * k) / 40;
        const P y2 = (6 * e - kk - 4 * k) / 40;
        const P y3 = (a - 11 * y1 - 13 * y2) / 8;
        // column 1, line 0: red y3; column 0, line 1: red y1.
        return Rgb<P>{select(column, y3, y1), select(column, y1, y3), y2};
      });
  // (value + boost) * 300 stays below 2^31: the boost is at most 5,000,000
  // and the formulas stay below 140,000.
  c.red = (c.red + boost) * COLOUR_MULTIPLIER / d.red;
  c.blue = (c.blue + boost) * COLOUR_MULTIPLIER / d.blue;
  c.green = (c.green + boost) * COLOUR_MULTIPLIER / d.green;
  // A negative value marks the pixel bad: it ends white.
  const Mask bad = (c.red < 0) | (c.blue < 0) | (c.green < 0);
  c.red = select(c.red < 0, P{}, c.red);
  c.blue = select(c.blue < 0, P{}, c.blue);
  c.green = select(c.green < 0, P{}, c.green);
  // Halved, or divided by largest / 100000 + 2 when the largest of the three
  // is above 100000 (rare: those pixels go one by one).
  const P m = select(c.red > c.blue, c.red, c.blue);
  const P largest = select(m > c.green, m, c.green);
  const Mask bright = largest > 100000;
  P red = c.red >> 1, blue = c.blue >> 1, green = c.green >> 1;
  if (any_pixel(bright)) {
    for (int i = 0; i < PIXELS_OF<P>; ++i) {
      if (!pixel(bright, i)) continue;
      const int div = pixel(largest, i) / 100000 + 2;
      set_pixel(red, i, pixel(c.red, i) / div);
      set_pixel(blue, i, pixel(c.blue, i) / div);
      set_pixel(green, i, pixel(c.green, i) / div);
    }
  }
  // Above 65535: on odd rows each value is clamped, on even rows the pixel
  // turns white.
  if (odd_row) {
    red = select(red > 65535, white, red);
    blue = select(blue > 65535, white, blue);
    green = select(green > 65535, white, green);
  } else {
    const Mask over = (red > 65535) | (blue > 65535) | (green > 65535);
    red = select(over, white, red);
    blue = select(over, white, blue);
    green = select(over, white, green);
  }
  store_pixels(out_lum, lum);
  store_pixels(out_red, select(bad, white, red));
  store_pixels(out_blue, select(bad, white, blue));
  store_pixels(out_green, select(bad, white, green));
}

constexpr int PIXEL_LANES = PIXELS_OF<Int32x8>;

// Columns 1..750 of a row: eight pixels at a time where lanes pay, the rest
// one by one.
template <bool Binned, typename Divisors>
[[gnu::always_inline]] inline void mosaic_columns(const std::uint16_t* raw, std::uint16_t* lum,
                                                  std::uint16_t* red, std::uint16_t* blue,
                                                  std::uint16_t* green, bool odd_row,
                                                  bool column_phase_start, bool line_phase,
                                                  const Divisors& d) {
  // Without AVX2 the 32-bit lane multiplications and divisions are
  // emulated and the one-pixel loop is faster.
  const bool lanes_pay = avx2_available();
  const Int32x8 column = column_phase_start ? Int32x8{-1, 0, -1, 0, -1, 0, -1, 0}
                                            : Int32x8{0, -1, 0, -1, 0, -1, 0, -1};
  const Int32x8 x_set = line_phase ? column : ~column;
  int c = 1;
  for (; lanes_pay && c + PIXEL_LANES <= W - 1; c += PIXEL_LANES) {
    mosaic_pixels<Binned, Int32x8>(raw + c, x_set, column, odd_row, d, lum + c, red + c, blue + c,
                                   green + c);
  }
  // Whole groups of eight keep the phase of column 1 in their first lane.
  bool cp = column_phase_start;
  for (; c < W - 1; ++c) {
    mosaic_pixels<Binned, std::int32_t>(raw + c, cp == line_phase, cp, odd_row, d, lum + c, red + c,
                                        blue + c, green + c);
    cp = !cp;
  }
}

template <typename Divisors>
[[gnu::always_inline]] inline void mosaic_row(FrameStore& fs, int r, bool binned,
                                              bool column_phase_start, bool line_phase,
                                              const Divisors& d) {
  const std::uint16_t* raw = fs.CurrentFrame.data() + r * W;
  std::uint16_t* lum = fs.SecondFrame.data() + r * W;
  std::uint16_t* red = fs.RedPlane.data() + r * W;
  std::uint16_t* blue = fs.BluePlane.data() + r * W;
  std::uint16_t* green = fs.GreenPlane.data() + r * W;
  const bool odd_row = (r & 1) != 0;
  const bool border_row = r < 2 || r > 577;
  // Column 0 is a border pixel in every row.
  const int border_end = border_row ? W - 1 : 1;
  for (int c = 0; c < border_end; ++c) {
    red[c] = blue[c] = green[c] = 0;
    lum[c] = luminance_of(raw[c] + raw[c + 1]);
  }
  if (!border_row && !(binned && odd_row)) {
    // Border pixels do not flip the column phase, so it is the same at
    // column 1 of every row.
    if (binned) {
      mosaic_columns<true>(raw, lum, red, blue, green, odd_row, column_phase_start, line_phase, d);
    } else {
      mosaic_columns<false>(raw, lum, red, blue, green, odd_row, column_phase_start, line_phase, d);
    }
  }
  lum[W - 1] = raw[W - 1];
  red[0] = blue[0] = green[0] = 0;
  red[W - 1] = blue[W - 1] = green[W - 1] = 0;
}

template <int R, int B, int G>
struct FixedDivisors {
  static constexpr int red = R, blue = B, green = G;
};

TARVEX_CLONES void mosaic_row_any(FrameStore& fs, int r, bool binned, bool cp, bool lp,
                                  const ColourDivisors& d) {
  if (d == ColourDivisors{70, 28, 60}) {
    mosaic_row(fs, r, binned, cp, lp, FixedDivisors<70, 28, 60>{});
  } else if (d == ColourDivisors{70, 33, 60}) {
    mosaic_row(fs, r, binned, cp, lp, FixedDivisors<70, 33, 60>{});
  } else if (d == ColourDivisors{75, 33, 62}) {
    mosaic_row(fs, r, binned, cp, lp, FixedDivisors<75, 33, 62>{});
  } else {
    mosaic_row(fs, r, binned, cp, lp, d);
  }
}

inline std::uint16_t avg2(std::uint16_t a, std::uint16_t b) {
  return static_cast<std::uint16_t>((a + b) / 2);
}

constexpr int REPAIR_LANES = 16;

// (a + b) / 2 without leaving 16 bits.
[[gnu::always_inline]] inline Uint16x16 mean16(const Uint16x16& a, const Uint16x16& b) {
  return (a >> 1) + (b >> 1) + (a & b & 1);
}

// One plane sample of the repair pass at index i of a row.
[[gnu::always_inline]] inline void repair_pixel(std::uint16_t* const planes[3], int i, int s,
                                                int up, bool has_below, bool vertical) {
  const std::uint16_t vr = planes[0][i], vb = planes[1][i], vg = planes[2][i];
  bool good = vr <= 65530 && vb <= 65530 && vg <= 65530;
  if (good && has_below) {
    const int j = i + s * W;
    good = vr <= 2 * planes[0][j] && vb <= 2 * planes[1][j] && vg <= 2 * planes[2][j];
  }
  if (good) {
    for (int p = 0; p < 3; ++p) planes[p][i] = avg2(planes[p][i], planes[p][i - 1]);
  } else if (vertical) {
    for (int p = 0; p < 3; ++p) planes[p][i] = avg2(planes[p][i + up], planes[p][i - up]);
  }
}

// Each row runs from the right: a good pixel becomes the mean of itself and
// its left neighbour, which is still unchanged; a bad one the mean of the
// pixels above (already repaired) and below. Sixteen pixels go together,
// all read before any is written, so the order within a row is kept.
TARVEX_CLONES void outlier_repair(FrameStore& fs, bool binned) {
  const int s = binned ? 2 : 1;
  std::uint16_t* const planes[3] = {fs.RedPlane.data(), fs.BluePlane.data(), fs.GreenPlane.data()};
  const Uint16x16 limit = Uint16x16{} + 65530;
  for (int r = 0; r < H; ++r) {
    // Below the last rows there is nothing to compare with: such a pixel
    // counts as good.
    const bool has_below = r + s < H;
    const bool vertical = binned ? (r > 1 && r < 578) : (r > 0 && r < 579);
    const int up = binned ? -2 * W : -W;
    int c = W - REPAIR_LANES;
    for (; c >= 1; c -= REPAIR_LANES) {
      const int i = r * W + c;
      Uint16x16 v[3], good = Uint16x16{} - 1;
      for (int p = 0; p < 3; ++p) {
        v[p] = load_u16x16(planes[p] + i);
        good &= v[p] <= limit;
      }
      if (has_below) {
        // v <= 2 * below, as (v + 1) / 2 <= below without overflow.
        for (int p = 0; p < 3; ++p) {
          const Uint16x16 below = load_u16x16(planes[p] + i + s * W);
          good &= ((v[p] >> 1) + (v[p] & 1)) <= below;
        }
      }
      for (int p = 0; p < 3; ++p) {
        const Uint16x16 smoothed = mean16(v[p], load_u16x16(planes[p] + i - 1));
        const Uint16x16 other =
            vertical ? mean16(load_u16x16(planes[p] + i + up), load_u16x16(planes[p] + i - up))
                     : v[p];
        store_u16x16(planes[p] + i, good ? smoothed : other);
      }
    }
    for (c += REPAIR_LANES - 1; c >= 1; --c)
      repair_pixel(planes, r * W + c, s, up, has_below, vertical);
  }
}

// Each column is a pair of its own: the upper sample spreads down when it is
// above 50000 and the lower one above 30000, otherwise the lower one spreads
// up on the same rule. Written without branches, so the compiler works on
// many columns at once and the time does not depend on the picture.
void saturation_spread(Frame& lum, bool binned) {
  const int step = binned ? 4 : 2;
  const int partner = binned ? 2 : 1;
  for (int r = 0; r + partner < H; r += step) {
    std::uint16_t* a = lum.data() + r * W;
    std::uint16_t* b = lum.data() + (r + partner) * W;
    for (int c = 0; c < W; ++c) {
      const std::uint16_t upper = a[c], lower = b[c];
      const bool down = (upper > 50000) & (lower > 30000);
      const bool up = (lower > 50000) & (upper > 30000) & !down;
      const std::uint16_t new_upper = up ? lower : upper;
      const std::uint16_t new_lower = down ? upper : lower;
      a[c] = new_upper;
      b[c] = new_lower;
    }
  }
}

void notch_fill(Frame& lum) {
  for (int r = 0; r < H; ++r) {
    std::uint16_t* l = lum.data() + r * W;
    for (int c = 2; c <= 748; ++c) {
      if (l[c] == 65535 && l[c + 2] == 65535 && l[c + 1] != 65535 && l[c - 2] != 65535) {
        l[c] = static_cast<std::uint16_t>(l[c] - (65535 - l[c + 1]) / 2);
      }
    }
  }
}

void fill_binned_rows(FrameStore& fs) {
  Frame* frames[4] = {&fs.SecondFrame, &fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  for (Frame* f : frames) {
    for (int r = 1; r <= 577; r += 2) {
      std::uint16_t* row = f->data() + r * W;
      for (int c = 0; c < W; ++c) row[c] = avg2(row[c - W], row[c + W]);
    }
  }
}

// Kernels of the plane smoothing filter, row by row, with their half size.
struct ColourKernel {
  int half;
  std::array<std::int32_t, 25> w;
};
constexpr ColourKernel COLOUR_KERNEL_TABLE[COLOUR_KERNELS] = {
    {1, {1, 2, 1, 2, 4, 2, 1, 2, 1}},
    {2, {0, 1, 2, 1, 0, 1, 4, 8, 4, 1, 2, 8, 16, 8, 2, 1, 4, 8, 4, 1, 0, 1, 2, 1, 0}},
    {1, {0, -1, 0, -1, 5, -1, 0, -1, 0}},
    {2, {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 25,
         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
};

// One plane through kernel K, dividing by D (truncated toward zero, then
// clamped). The weights are known at compile time, so zero weights vanish
// and the sum over a row of pixels vectorises; a known divisor becomes a
// multiplication.
template <int K, typename Divisor>
[[gnu::always_inline]] inline void smooth_plane(const Frame& in, Frame& out, Divisor divisor) {
  constexpr ColourKernel kernel = COLOUR_KERNEL_TABLE[K];
  constexpr int h = kernel.half;
  constexpr int n = 2 * h + 1;
  for (int r = h; r <= H - 1 - h; ++r) {
    std::uint16_t* o = out.data() + r * W;
    const std::uint16_t* s = in.data() + (r - h) * W - h;
    for (int c = h; c <= W - 1 - h; ++c) {
      std::int32_t sum = 0;
#pragma GCC unroll 25
      for (int t = 0; t < n * n; ++t) {
        sum += kernel.w[t] * static_cast<std::int32_t>(s[(t / n) * W + c + t % n]);
      }
      const std::int32_t q = sum / divisor;
      o[c] = static_cast<std::uint16_t>(q < 0 ? 0 : q > 65535 ? 65535 : q);
    }
  }
}

template <int K, typename Divisor>
[[gnu::always_inline]] inline void smooth_three(FrameStore& fs, Divisor divisor) {
  constexpr int h = COLOUR_KERNEL_TABLE[K].half;
  Frame* planes[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  Frame* work[3] = {&fs.RedWork, &fs.BlueWork, &fs.GreenWork};
  for (int p = 0; p < 3; ++p) {
    smooth_plane<K>(*planes[p], *work[p], divisor);
    for (int r = h; r <= H - 1 - h; ++r) {
      std::copy_n(work[p]->data() + r * W + h, W - 2 * h, planes[p]->data() + r * W + h);
    }
  }
}

template <int D>
struct FixedDivisor {
  constexpr operator std::int32_t() const { return D; }
};

// The smoothing the program itself uses (3 x 3 by 16 and 5 x 5 by 80) gets
// a fixed divisor; any other combination divides at run time.
TARVEX_CLONES void smooth_all(FrameStore& fs, int kernel, int divisor) {
  if (kernel == 0 && divisor == 16) {
    smooth_three<0>(fs, FixedDivisor<16>{});
  } else if (kernel == 1 && divisor == 80) {
    smooth_three<1>(fs, FixedDivisor<80>{});
  } else {
    switch (kernel) {
      case 0: smooth_three<0>(fs, divisor); break;
      case 1: smooth_three<1>(fs, divisor); break;
      case 2: smooth_three<2>(fs, divisor); break;
      default: smooth_three<3>(fs, divisor); break;
    }
  }
}

// Weighted 7 x 7 low pass of the anti-alias filter, symmetric in both
// directions: columns of the vertical pair sums are combined first.
// Weights (sum 156):
//   0 1 2 3 2 1 0 / 1 2 3 4 3 2 1 / 2 3 6 9 6 3 2 / 3 4 9 12 9 4 3 / ...
[[gnu::always_inline]] inline void low_pass_row(const Frame& plane, int y,
                                                std::int32_t* low /* columns 3..748 */) {
  std::int32_t t0[W], t1[W], t2[W], t3[W];
  const std::uint16_t* r0 = plane.data() + y * W;
  for (int x = 0; x < W; ++x) {
    const std::int32_t v0 = r0[x - 3 * W] + r0[x + 3 * W];
    const std::int32_t v1 = r0[x - 2 * W] + r0[x + 2 * W];
    const std::int32_t v2 = r0[x - W] + r0[x + W];
    const std::int32_t v3 = r0[x];
    t0[x] = 3 * v0 + 4 * v1 + 9 * v2 + 12 * v3;
    t1[x] = 2 * v0 + 3 * v1 + 6 * v2 + 9 * v3;
    t2[x] = v0 + 2 * v1 + 3 * v2 + 4 * v3;
    t3[x] = v1 + 2 * v2 + 3 * v3;
  }
  for (int x = 3; x <= 748; ++x) {
    low[x] = (t0[x] + t1[x - 1] + t1[x + 1] + t2[x - 2] + t2[x + 2] + t3[x - 3] + t3[x + 3]) / 156;
  }
}

}  // namespace

std::uint16_t pair_luminance(int pair_sum) {
  return luminance_of(pair_sum);
}

ColourDivisors colour_divisors(bool daylight, bool ir_filter) {
  if (ir_filter) return daylight ? ColourDivisors{70, 33, 60} : ColourDivisors{70, 28, 60};
  return daylight ? ColourDivisors{75, 33, 62} : ColourDivisors{70, 28, 60};
}

void synthesize_mosaic(FrameStore& fs, const ColourDivisors& divisors, MosaicStart start,
                       const std::function<void(int)>& on_row) {
  const bool binned = fs.IsBinned;
  bool line_phase = start.line_offset;
  for (int r = 0; r < H - 1; ++r) {
    if (on_row) on_row(r);
    mosaic_row_any(fs, r, binned, start.pixel_offset, line_phase, divisors);
    // The line phase flips after every odd row.
    if (r & 1) line_phase = !line_phase;
  }
  // The last row is not visited. The repair pass compares with it and the
  // saturation spread pairs it with row 578, so it starts black (as it ends)
  // instead of holding whatever the buffers held before.
  for (Frame* f : {&fs.SecondFrame, &fs.RedPlane, &fs.BluePlane, &fs.GreenPlane}) {
    std::fill_n(f->begin() + (H - 1) * W, W, std::uint16_t{0});
  }
}

void repair_and_finish(FrameStore& fs, bool label_band, bool smoothing) {
  const bool binned = fs.IsBinned;
  outlier_repair(fs, binned);
  saturation_spread(fs.SecondFrame, binned);
  notch_fill(fs.SecondFrame);
  if (binned) fill_binned_rows(fs);
  Frame* planes[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  for (Frame* p : planes) {
    if (label_band) {
      std::fill_n(p->begin(), BLOCK_SAMPLES, std::uint16_t{65535});
    } else {
      std::fill_n(p->begin(), W, std::uint16_t{0});
    }
  }
  for (Frame* f : {&fs.SecondFrame, &fs.RedPlane, &fs.BluePlane, &fs.GreenPlane}) {
    std::fill_n(f->begin() + (H - 1) * W, W, std::uint16_t{0});
  }
  if (smoothing) smooth_planes(fs, 0, 16);
}

void equalise_backgrounds(FrameStore& fs) {
  Frame* planes[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  int level[3];
  for (int p = 0; p < 3; ++p) {
    std::array<std::uint32_t, 256> hist{};
    for (int r = 12; r <= 51; ++r) {
      const std::uint16_t* row = planes[p]->data() + r * W;
      for (int c = 5; c <= 699; ++c) ++hist[row[c] / 256];
    }
    int best = 0;
    for (int b = 1; b < 256; ++b)
      if (hist[b] > hist[best]) best = b;
    level[p] = best * 255;
  }
  int& red = level[0];
  int& blue = level[1];
  int& green = level[2];
  if (red >= green && blue >= green) {
    red -= green;
    blue -= green;
    green = 0;
  } else if (red >= blue && green >= blue) {
    red -= blue;
    green -= blue;
    blue = 0;
  } else {
    blue -= red;
    green -= red;
    red = 0;
  }
  for (int p = 0; p < 3; ++p) {
    const int lv = level[p];
    if (lv == 0) continue;
    std::uint16_t* d = planes[p]->data();
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      d[i] = d[i] > lv ? static_cast<std::uint16_t>(d[i] - lv) : std::uint16_t{0};
    }
  }
}

bool smooth_planes(FrameStore& fs, int kernel, int divisor) {
  if (divisor == 0) return false;
  if (kernel < 0 || kernel >= COLOUR_KERNELS) return false;
  smooth_all(fs, kernel, divisor);
  return true;
}

namespace {

constexpr int AA_FIRST = 3, AA_LAST = 748;

// The low 8 bits of the mean fine detail of the three planes in row y.
TARVEX_CLONES void detail_row(const Frame* const planes[3], int y, std::uint16_t* m) {
  std::int32_t low[W];
  std::int32_t detail_sum[W] = {};
  for (int p = 0; p < 3; ++p) {
    low_pass_row(*planes[p], y, low);
    const std::uint16_t* v = planes[p]->data() + y * W;
    for (int x = AA_FIRST; x <= AA_LAST; ++x) {
      detail_sum[x] += low[x] < v[x] ? v[x] - low[x] : 0;
    }
  }
  for (int x = AA_FIRST; x <= AA_LAST; ++x)
    m[x] = static_cast<std::uint16_t>((detail_sum[x] / 3) & 255);
}

// Median plus detail, saturating at 65535, for one row of one plane.
TARVEX_CLONES void add_detail_row(const std::uint16_t* med, const std::uint16_t* m,
                                  std::uint16_t* d) {
  for (int x = AA_FIRST; x <= AA_LAST; ++x) {
    const int v = med[x] + m[x];
    d[x] = static_cast<std::uint16_t>(v > 65534 ? 65535 : v);
  }
}

}  // namespace

void anti_alias_planes(FrameStore& fs, const std::function<void(int)>& on_row) {
  // Only the low 8 bits of the mean detail of the three planes are used, so
  // one byte per pixel is kept, in SecondFrame, instead of three detail
  // planes. The medians go to the work planes.
  const Frame* planes[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  Frame* work[3] = {&fs.RedWork, &fs.BlueWork, &fs.GreenWork};
  constexpr int count = AA_LAST - AA_FIRST + 1;
  for (int y = 3; y <= 576; ++y) {
    if (on_row) on_row(y);
    detail_row(planes, y, fs.SecondFrame.data() + y * W);
    for (int p = 0; p < 3; ++p) {
      median25_row(planes[p]->data() + y * W + AA_FIRST, W, count,
                   work[p]->data() + y * W + AA_FIRST);
    }
  }
  Frame* out[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  for (int y = 3; y <= 576; ++y) {
    for (int p = 0; p < 3; ++p) {
      add_detail_row(work[p]->data() + y * W, fs.SecondFrame.data() + y * W,
                     out[p]->data() + y * W);
    }
  }
}

int synthesis_background_level(const Frame& frame) {
  std::array<std::uint32_t, HISTOGRAM_BINS> hist{};
  for (int i = 10240; i < 25600; ++i) ++hist[frame[i] >> 8];
  int best = 0;
  for (int b = 1; b < HISTOGRAM_BINS; ++b)
    if (hist[b] > hist[best]) best = b;
  return best;
}

void fill_auto_stretch_table(StretchLevels& table, double power) {
  for (int i = 0; i < 16384; ++i) {
    const double x = i / 16384.0;
    table[i] = static_cast<std::uint16_t>(16384.0 * power * x / ((power - 1.0) * x + 1.0));
  }
  // The curve reaches level 16384 at the middle of the table; the upper half
  // keeps its level, so bright samples are neither stretched nor left to a
  // table from an earlier stretch.
  for (int i = 16384; i < STRETCH_TABLE_SIZE; ++i) table[i] = static_cast<std::uint16_t>(i);
}

}  // namespace tarvex
