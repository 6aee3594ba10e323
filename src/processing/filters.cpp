#include "processing/filters.h"

#include <algorithm>

#include "image/label_band.h"
#include "image/lanes.h"
#include "image/target_clones.h"
#include "processing/filters_median.h"
#include "processing/stretch.h"

namespace tarvex {

namespace {

constexpr int W = FRAME_WIDTH;
constexpr int H = FRAME_HEIGHT;

int first_row(const FrameStore& fs, int radius) {
  return radius + (has_label_band(fs.CurrentFrame) ? LABEL_BAND_ROWS : 0);
}

// One kernel known at compile time: zero weights vanish and the remaining
// ones become adds, subtracts and shifts.
template <int K, int R, int D>
[[gnu::always_inline]] inline void convolve_rows(const std::uint16_t* src, std::uint16_t* dst,
                                                 int y0, int y1) {
  constexpr int N = 2 * R + 1;
  for (int y = y0; y < y1; ++y) {
    const std::uint16_t* s = src + (y - R) * W;
    std::uint16_t* d = dst + y * W;
    for (int x = R; x < W - R; ++x) {
      std::int32_t acc = 0;
#pragma GCC unroll 25
      for (int t = 0; t < N * N; ++t) {
        const int dy = t / N;
        const int dx = t % N;
        acc += KERNEL_TABLE[K][t] * static_cast<std::int32_t>(s[dy * W + x - R + dx]);
      }
      const std::int32_t q = acc / D;
      d[x] = q > FILTER_CLAMP_LEVEL ? 65535 : q < 0 ? 0 : static_cast<std::uint16_t>(q);
    }
  }
}

TARVEX_CLONES void convolve_lowpass(const std::uint16_t* s, std::uint16_t* d, int y0, int y1) {
  convolve_rows<0, 1, 16>(s, d, y0, y1);
}
TARVEX_CLONES void convolve_gaussian(const std::uint16_t* s, std::uint16_t* d, int y0, int y1) {
  convolve_rows<1, 2, 80>(s, d, y0, y1);
}
TARVEX_CLONES void convolve_high_low(const std::uint16_t* s, std::uint16_t* d, int y0, int y1) {
  convolve_rows<2, 1, 1>(s, d, y0, y1);
}
TARVEX_CLONES void convolve_high_high(const std::uint16_t* s, std::uint16_t* d, int y0, int y1) {
  convolve_rows<3, 2, 1>(s, d, y0, y1);
}
TARVEX_CLONES void convolve_smoother(const std::uint16_t* s, std::uint16_t* d, int y0, int y1) {
  convolve_rows<4, 2, 1>(s, d, y0, y1);
}
TARVEX_CLONES void convolve_relief(const std::uint16_t* s, std::uint16_t* d, int y0, int y1) {
  convolve_rows<5, 2, 1>(s, d, y0, y1);
}

// Any other radius, kernel and divisor: the direct sum.
void convolve_any(const std::uint16_t* src, std::uint16_t* dst, int y0, int y1, int r, int k,
                  int divisor) {
  for (int y = y0; y < y1; ++y) {
    for (int x = r; x < W - r; ++x) {
      std::int32_t acc = 0;
      int t = 0;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
          acc += KERNEL_TABLE[k][t++] * static_cast<std::int32_t>(src[(y + dy) * W + x + dx]);
      dst[y * W + x] = clamp_filter_result(acc / divisor);
    }
  }
}

// Unsharp mask rows with the box of radius R: column sums kept for the
// window's rows, each box sum added up from 2R + 1 of them (which
// vectorises, unlike a running sum along the row).
template <int R>
[[gnu::always_inline]] inline void unsharp_rows(const std::uint16_t* src, std::uint16_t* dst,
                                                int y0, int y1, int power) {
  constexpr int N = 2 * R + 1;
  constexpr std::uint32_t AREA = N * N;
  alignas(64) std::int32_t col[W];
  for (int x = 0; x < W; ++x) {
    std::int32_t sum = 0;
    for (int dy = -R; dy <= R; ++dy) sum += src[(y0 + dy) * W + x];
    col[x] = sum;
  }
  for (int y = y0; y < y1; ++y) {
    if (y > y0) {
      const std::uint16_t* add = src + (y + R) * W;
      const std::uint16_t* sub = src + (y - R - 1) * W;
      for (int x = 0; x < W; ++x) col[x] += add[x] - sub[x];
    }
    const std::uint16_t* s = src + y * W;
    std::uint16_t* d = dst + y * W;
    for (int x = R; x < W - R; ++x) {
      std::int32_t box = 0;
#pragma GCC unroll 15
      for (int k = -R; k <= R; ++k) box += col[x + k];
      const auto mean = static_cast<std::int32_t>(static_cast<std::uint32_t>(box) / AREA);
      const std::int32_t v = s[x];
      const std::int32_t q = v + (v - mean) * power;
      d[x] = q > FILTER_CLAMP_LEVEL ? 65535 : q < 0 ? 0 : static_cast<std::uint16_t>(q);
    }
  }
}

TARVEX_CLONES void unsharp_dispatch(const std::uint16_t* s, std::uint16_t* d, int y0, int y1, int r,
                                    int p) {
  switch (r) {
    case 1: unsharp_rows<1>(s, d, y0, y1, p); break;
    case 2: unsharp_rows<2>(s, d, y0, y1, p); break;
    case 3: unsharp_rows<3>(s, d, y0, y1, p); break;
    case 4: unsharp_rows<4>(s, d, y0, y1, p); break;
    case 5: unsharp_rows<5>(s, d, y0, y1, p); break;
    case 6: unsharp_rows<6>(s, d, y0, y1, p); break;
    default: unsharp_rows<7>(s, d, y0, y1, p); break;
  }
}

TARVEX_CLONES void smooth_rows(const std::uint16_t* u, std::uint16_t* cur, int y0, int y1,
                               int other) {
  for (int y = y0; y < y1; ++y) {
    const std::uint16_t* a = u + y * W;
    const std::uint16_t* b = u + (y + other) * W;
    std::uint16_t* d = cur + y * W;
    for (int x = 0; x < W - 1; ++x)
      d[x] = static_cast<std::uint16_t>((static_cast<std::uint32_t>(a[x]) + b[x]) >> 1);
  }
}

constexpr int GRADIENT_LANES = 8;

// The sky estimate at (x, y) is g = (a + b x) / (752 * 580) with a, b exact
// integers and a + b x >= 0 over the row. A pixel c > g loses trunc(g), any
// other becomes 0. Since c is an integer and the division in double
// precision truncates to the integer quotient q = floor((a + b x) / N), this
// is c > q ? c - q : 0, and q is stepped along the row with its remainder,
// eight pixels at a time, without dividing.
TARVEX_CLONES void gradient_rows(std::uint16_t* cur, int y0, const std::int64_t off[4]) {
  constexpr std::int64_t N = FRAME_SAMPLES;
  static_assert(W % GRADIENT_LANES == 0);
  const auto floor_div = [](std::int64_t v) {
    const std::int64_t q = v / N;
    return v % N < 0 ? q - 1 : q;
  };
  for (int y = y0; y < H; ++y) {
    const std::int64_t a =
        static_cast<std::int64_t>(H - y) * W * off[0] + static_cast<std::int64_t>(W) * y * off[2];
    const std::int64_t b = static_cast<std::int64_t>(H - y) * (off[1] - off[0]) +
                           static_cast<std::int64_t>(y) * (off[3] - off[2]);
    Int32x8 q, r;
    for (int k = 0; k < GRADIENT_LANES; ++k) {
      const std::int64_t v = a + b * k;
      q[k] = static_cast<std::int32_t>(v / N);
      r[k] = static_cast<std::int32_t>(v % N);
    }
    const std::int64_t step = b * GRADIENT_LANES;
    const std::int64_t step_q = floor_div(step);
    const Int32x8 dq = Int32x8{} + static_cast<std::int32_t>(step_q);
    const Int32x8 dr = Int32x8{} + static_cast<std::int32_t>(step - step_q * N);
    const Int32x8 n = Int32x8{} + static_cast<std::int32_t>(N);
    std::uint16_t* d = cur + y * W;
    for (int x = 0; x < W; x += GRADIENT_LANES) {
      const Int32x8 c = load_widened(d + x);
      store_narrowed(d + x, select(c > q, c - q, Int32x8{}));
      q += dq;
      r += dr;
      const Int32x8 carry = r >= n;  // -1 where the remainder wrapped
      r -= n & carry;
      q -= carry;
    }
  }
}

}  // namespace

bool convolve_frame(FrameStore& fs, int radius, int kernel, int divisor) {
  if (radius < 1 || radius > 2 || kernel < 0 || kernel >= KERNEL_COUNT || divisor == 0)
    return false;
  const int y0 = first_row(fs, radius);
  const int y1 = H - radius;
  save_undo(fs);
  const std::uint16_t* src = fs.UndoFrame.data();
  std::uint16_t* dst = fs.CurrentFrame.data();
  if (radius == 1 && kernel == 0 && divisor == 16) {
    convolve_lowpass(src, dst, y0, y1);
  } else if (radius == 2 && kernel == 1 && divisor == 80) {
    convolve_gaussian(src, dst, y0, y1);
  } else if (radius == 1 && kernel == 2 && divisor == 1) {
    convolve_high_low(src, dst, y0, y1);
  } else if (radius == 2 && kernel == 3 && divisor == 1) {
    convolve_high_high(src, dst, y0, y1);
  } else if (radius == 2 && kernel == 4 && divisor == 1) {
    convolve_smoother(src, dst, y0, y1);
  } else if (radius == 2 && kernel == 5 && divisor == 1) {
    convolve_relief(src, dst, y0, y1);
  } else {
    convolve_any(src, dst, y0, y1, radius, kernel, divisor);
  }
  return true;
}

bool unsharp_mask(FrameStore& fs, int radius, int power) {
  if (radius < UNSHARP_RADIUS_MIN || radius > UNSHARP_RADIUS_MAX || power < UNSHARP_POWER_MIN ||
      power > UNSHARP_POWER_MAX)
    return false;
  save_undo(fs);
  if (fs.IsColour) save_colour_planes(fs);
  const int y0 = first_row(fs, radius);
  const int y1 = H - 1 - radius;
  if (y0 < y1) unsharp_dispatch(fs.UndoFrame.data(), fs.CurrentFrame.data(), y0, y1, radius, power);
  return true;
}

bool median_filter(FrameStore& fs, int radius, int power) {
  if (radius < MEDIAN_RADIUS_MIN || radius > MEDIAN_RADIUS_MAX || power < MEDIAN_POWER_MIN ||
      power > MEDIAN_POWER_MAX)
    return false;
  save_undo(fs);
  const int y0 = first_row(fs, radius);
  const float fraction = static_cast<float>(power * 0.1);
  median_rows(fs.UndoFrame.data(), fs.CurrentFrame.data(), y0, H - radius, radius, fraction);
  return true;
}

void vertical_smoothing(FrameStore& fs, bool& smooth_downward) {
  save_undo(fs);
  smooth_downward = !smooth_downward;
  const int s = has_label_band(fs.CurrentFrame) ? LABEL_BAND_ROWS : 0;
  if (smooth_downward) {
    smooth_rows(fs.UndoFrame.data(), fs.CurrentFrame.data(), s, H - 1, 1);
  } else {
    smooth_rows(fs.UndoFrame.data(), fs.CurrentFrame.data(), s + 1, H, -1);
  }
}

int box_mode(const Frame& f, int left, int top, int first_bin) {
  std::uint32_t counts[4096] = {};
  for (int y = top; y < top + 40; ++y)
    for (int x = left; x < left + 40; ++x) ++counts[f[y * W + x] >> 4];
  int mode = first_bin;
  std::uint32_t best = 0;
  for (int b = first_bin; b < 4096; ++b) {
    if (counts[b] > best) {
      best = counts[b];
      mode = b;
    }
  }
  return mode;
}

void gradient_filter(FrameStore& fs) {
  const Frame& f = fs.CurrentFrame;
  const int modes[4] = {box_mode(f, 20, 10, 0), box_mode(f, 700, 10, 0), box_mode(f, 20, 520, 1),
                        box_mode(f, 700, 520, 1)};
  const int m = *std::min_element(modes, modes + 4);
  const std::int64_t off[4] = {(modes[0] - m) * 16, (modes[1] - m) * 16, (modes[2] - m) * 16,
                               (modes[3] - m) * 16};
  const int s = has_label_band(fs.CurrentFrame) ? LABEL_BAND_ROWS : 0;
  gradient_rows(fs.CurrentFrame.data(), s, off);
}

}  // namespace tarvex
