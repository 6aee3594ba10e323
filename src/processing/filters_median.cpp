#include "processing/filters_median.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "image/fastest_way.h"
#include "image/frame_store.h"
#include "image/lanes.h"
#include "image/target_clones.h"
#include "processing/filters.h"
#include "processing/processor_ways.h"

namespace tarvex {

namespace {

constexpr int W = FRAME_WIDTH;
constexpr int MAX_OPS = 1024;
constexpr int MAX_BUFFERS = 96;
constexpr int MAX_VALUES = 4096;

// One exchange of the network: the smaller and the larger of two values.
// Sources below `inputs` are column-sorted samples, the rest scratch buffers.
struct Exchange {
  enum Kind : std::uint8_t { Both, LowOnly, HighOnly };
  Kind kind;
  std::int16_t a, b;    // sources
  std::int16_t lo, hi;  // destination buffers, -1 when not kept
};

struct Network {
  int radius = 0;
  int inputs = 0;  // (2r+1)^2 column-sorted samples
  int count = 0;
  int buffers = 0;
  int result = 0;  // buffer holding the median
  std::array<Exchange, MAX_OPS> ops{};
};

// Builds the network for one radius: Batcher's odd-even merge of the sorted
// columns (each a block, padded with values above every sample), with the
// padding folded away and every exchange that cannot reach the median
// dropped. Buffers are reused once their value has been read for the last
// time.
constexpr Network build_network(int r) {
  const int side = 2 * r + 1;
  const int block = side <= 3 ? 4 : 8;
  int blocks = 1;
  while (blocks < side) blocks <<= 1;
  const int n = blocks * block;
  constexpr int PAD = -1;

  struct Raw {
    int a, b, lo, hi;
  };
  std::array<Raw, MAX_OPS> raw{};
  int raw_count = 0;
  int next_value = side * side;
  std::array<int, 64> wire{};
  for (int w = 0; w < n; ++w) {
    const int b = w / block, q = w % block;
    wire[w] = (b < side && q < side) ? b * side + q : PAD;
  }
  for (int p = block; p < n; p <<= 1) {
    for (int k = p; k >= 1; k >>= 1) {
      for (int j = k % p; j + k < n; j += 2 * k) {
        for (int i = 0; i < std::min(k, n - j - k); ++i) {
          if ((i + j) / (2 * p) != (i + j + k) / (2 * p)) continue;
          int& lo = wire[i + j];
          int& hi = wire[i + j + k];
          if (hi == PAD) continue;
          if (lo == PAD) {
            std::swap(lo, hi);
            continue;
          }
          raw[raw_count] = {lo, hi, next_value, next_value + 1};
          ++raw_count;
          lo = next_value++;
          hi = next_value++;
        }
      }
    }
  }
  const int target = wire[(side * side - 1) / 2];

  std::array<bool, MAX_VALUES> needed{};
  std::array<int, MAX_VALUES> last_use{};
  std::fill(last_use.begin(), last_use.end(), -1);
  needed[target] = true;
  std::array<bool, MAX_OPS> keep_lo{}, keep_hi{};
  for (int t = raw_count - 1; t >= 0; --t) {
    keep_lo[t] = needed[raw[t].lo];
    keep_hi[t] = needed[raw[t].hi];
    if (keep_lo[t] || keep_hi[t]) needed[raw[t].a] = needed[raw[t].b] = true;
  }
  for (int t = 0; t < raw_count; ++t) {
    if (!keep_lo[t] && !keep_hi[t]) continue;
    last_use[raw[t].a] = t;
    last_use[raw[t].b] = t;
  }

  Network net;
  net.radius = r;
  net.inputs = side * side;
  std::array<int, MAX_VALUES> buffer_of{};
  std::array<int, MAX_BUFFERS> free_list{};
  int free_count = 0;
  int used = 0;
  auto take = [&]() { return free_count > 0 ? free_list[--free_count] : used++; };
  auto source = [&](int v) { return v < net.inputs ? v : net.inputs + buffer_of[v]; };
  for (int t = 0; t < raw_count; ++t) {
    if (!keep_lo[t] && !keep_hi[t]) continue;
    Exchange e{};
    e.a = static_cast<std::int16_t>(source(raw[t].a));
    e.b = static_cast<std::int16_t>(source(raw[t].b));
    e.kind = keep_lo[t] && keep_hi[t] ? Exchange::Both
             : keep_lo[t]             ? Exchange::LowOnly
                                      : Exchange::HighOnly;
    e.lo = e.hi = -1;
    if (keep_lo[t]) e.lo = static_cast<std::int16_t>(buffer_of[raw[t].lo] = take());
    if (keep_hi[t]) e.hi = static_cast<std::int16_t>(buffer_of[raw[t].hi] = take());
    // Sources read for the last time give their buffers back only now, so a
    // destination never overlaps a source.
    for (int v : {raw[t].a, raw[t].b}) {
      if (v >= net.inputs && last_use[v] == t && v != target)
        free_list[free_count++] = buffer_of[v];
    }
    net.ops[net.count++] = e;
  }
  net.buffers = used;
  net.result = buffer_of[target];
  return net;
}

const Network& network(int r) {
  static constexpr Network nets[3] = {build_network(1), build_network(2), build_network(3)};
  return nets[r - 1];
}

// Sixteen samples are worked on together.
constexpr int LANES = 16;
static_assert(W % LANES == 0);

[[gnu::always_inline]] inline Uint16x16 median3(const Uint16x16& a, const Uint16x16& b,
                                                const Uint16x16& c) {
  return lane_max(lane_min(a, b), lane_min(lane_max(a, b), c));
}

// Row y's result from its window medians, maxima and minima (the minimum
// already capped at 65000): the median replaces the pixel only where it
// departs from it by more than trunc(range * fraction).
[[gnu::always_inline]] inline void threshold_row(const std::uint16_t* __restrict s,
                                                 std::uint16_t* __restrict d,
                                                 const std::uint16_t* __restrict med,
                                                 const std::uint16_t* __restrict mx,
                                                 const std::uint16_t* __restrict mn, int x0, int x1,
                                                 float fraction) {
  for (int x = x0; x < x1; ++x) {
    const std::int32_t range = static_cast<std::int32_t>(mx[x]) - mn[x];
    const std::int32_t limit = static_cast<std::int32_t>(static_cast<float>(range) * fraction);
    const std::int32_t m = med[x];
    const std::int32_t v = s[x];
    const std::int32_t departure = m > v ? m - v : v - m;
    d[x] = limit < departure ? static_cast<std::uint16_t>(m) : static_cast<std::uint16_t>(v);
  }
}

// threshold_row for sixteen pixels v at once, with the same arithmetic: the
// range scaled in single precision and truncated. Both the limit (at most
// the range, as the fraction is at most 1) and the departure fit 16 bits.
[[gnu::always_inline]] inline Uint16x16 threshold(const Uint16x16& v, const Uint16x16& m,
                                                  const Uint16x16& mx, const Uint16x16& mn,
                                                  float fraction) {
  const Float32x16 range = __builtin_convertvector(mx - mn, Float32x16);
  const Uint16x16 limit =
      __builtin_convertvector(__builtin_convertvector(range * fraction, Int32x16), Uint16x16);
  const Uint16x16 departure = lane_max(m, v) - lane_min(m, v);
  return select(limit < departure, m, v);
}

// Radius 1: each column of three is sorted once per row into low, middle
// and high rows; the window median is then the median of the largest low,
// the median middle and the smallest high of its three columns.
[[gnu::always_inline]] inline void median_rows_1(const std::uint16_t* src, std::uint16_t* dst,
                                                 int y0, int y1, float fraction) {
  constexpr int PAD = 2 * LANES;
  alignas(64) std::uint16_t lo[W + PAD] = {}, mid[W + PAD] = {}, hi[W + PAD] = {};
  alignas(64) std::uint16_t med[W + PAD], mx[W + PAD], mn[W + PAD];
  const Uint16x16 cap = Uint16x16{} + MEDIAN_MIN_START;
  for (int y = y0; y < y1; ++y) {
    const std::uint16_t* a = src + (y - 1) * W;
    for (int x = 0; x < W; x += LANES) {
      const Uint16x16 p = load_u16x16(a + x), q = load_u16x16(a + W + x),
                      r = load_u16x16(a + 2 * W + x);
      const Uint16x16 l = lane_min(p, q), h = lane_max(p, q);
      store_u16x16(lo + x, lane_min(l, r));
      store_u16x16(hi + x, lane_max(h, r));
      store_u16x16(mid + x, lane_max(l, lane_min(h, r)));
    }
    // Output x + 1 from columns x, x + 1 and x + 2. Whole vectors of
    // outputs are thresholded in registers and stored straight into the
    // row; the last, partial one goes through the buffers so that nothing
    // past the row's last output is written.
    const std::uint16_t* s = src + y * W;
    std::uint16_t* d = dst + y * W;
    for (int x = 0; x < W - 2; x += LANES) {
      const Uint16x16 l0 = load_u16x16(lo + x), l1 = load_u16x16(lo + x + 1),
                      l2 = load_u16x16(lo + x + 2);
      const Uint16x16 h0 = load_u16x16(hi + x), h1 = load_u16x16(hi + x + 1),
                      h2 = load_u16x16(hi + x + 2);
      const Uint16x16 lows = lane_max(lane_max(l0, l1), l2);
      const Uint16x16 highs = lane_min(lane_min(h0, h1), h2);
      const Uint16x16 mids =
          median3(load_u16x16(mid + x), load_u16x16(mid + x + 1), load_u16x16(mid + x + 2));
      const Uint16x16 m = median3(lows, mids, highs);
      const Uint16x16 high = lane_max(lane_max(h0, h1), h2);
      const Uint16x16 low = lane_min(lane_min(lane_min(l0, l1), l2), cap);
      if (x + LANES <= W - 2) {
        store_u16x16(d + x + 1, threshold(load_u16x16(s + x + 1), m, high, low, fraction));
      } else {
        store_u16x16(med + x + 1, m);
        store_u16x16(mx + x + 1, high);
        store_u16x16(mn + x + 1, low);
        threshold_row(s, d, med, mx, mn, x + 1, W - 1, fraction);
      }
    }
  }
}

template <int R>
inline constexpr Network NETWORK = build_network(R);

// Sorts columns 0..width-1 (a multiple of 16) of the 2R + 1 rows from
// `top`, `stride` apart, sixteen columns at a time, into sorted[0]
// (smallest) .. sorted[2R] (largest).
template <int R, typename Rows>
[[gnu::always_inline]] inline void sort_columns(const std::uint16_t* top, int stride, int width,
                                                Rows sorted) {
  constexpr int S = 2 * R + 1;
  for (int x = 0; x < width; x += LANES) {
    Uint16x16 v[S];
    for (int q = 0; q < S; ++q) v[q] = load_u16x16(top + q * stride + x);
    auto cx = [&](int i, int j) {
      const Uint16x16 a = v[i], b = v[j];
      v[i] = lane_min(a, b);
      v[j] = lane_max(a, b);
    };
    if constexpr (R == 2) {
      cx(0, 1);
      cx(3, 4);
      cx(2, 4);
      cx(2, 3);
      cx(0, 3);
      cx(0, 2);
      cx(1, 4);
      cx(1, 3);
      cx(1, 2);
    } else {
      cx(0, 6);
      cx(2, 3);
      cx(4, 5);
      cx(0, 2);
      cx(1, 4);
      cx(3, 6);
      cx(0, 1);
      cx(2, 5);
      cx(3, 4);
      cx(1, 2);
      cx(4, 6);
      cx(2, 3);
      cx(4, 5);
      cx(1, 2);
      cx(3, 4);
      cx(5, 6);
    }
    for (int q = 0; q < S; ++q) store_u16x16(sorted[q] + x, v[q]);
  }
}

// One exchange of the network, unrolled at compile time so that its values
// stay in registers where the processor has enough of them.
template <int R, int T>
[[gnu::always_inline]] inline void exchange(const Uint16x16* in, Uint16x16* buf) {
  constexpr Exchange e = NETWORK<R>.ops[T];
  constexpr int inputs = NETWORK<R>.inputs;
  const Uint16x16 a = e.a < inputs ? in[e.a] : buf[e.a - inputs];
  const Uint16x16 b = e.b < inputs ? in[e.b] : buf[e.b - inputs];
  if constexpr (e.kind != Exchange::HighOnly) buf[e.lo] = lane_min(a, b);
  if constexpr (e.kind != Exchange::LowOnly) buf[e.hi] = lane_max(a, b);
}

template <int R, int... T>
[[gnu::always_inline]] inline void run_network(const Uint16x16* in, Uint16x16* buf,
                                               std::integer_sequence<int, T...>) {
  (exchange<R, T>(in, buf), ...);
}

// The medians of the sixteen windows made of sorted columns x .. x + 2R;
// `in` receives the window's sorted columns.
template <int R, typename Rows>
[[gnu::always_inline]] inline Uint16x16 window_median(Rows sorted, int x, Uint16x16* in) {
  constexpr int S = 2 * R + 1;
  constexpr Network net = NETWORK<R>;
  Uint16x16 buf[net.buffers];
  for (int b = 0; b < S; ++b)
    for (int q = 0; q < S; ++q) in[b * S + q] = load_u16x16(sorted[q] + x + b);
  run_network<R>(in, buf, std::make_integer_sequence<int, net.count>{});
  return buf[net.result];
}

// Radius 2 and 3: the columns are sorted once per row and shared by the
// 2R + 1 windows that contain them; a merging network then finds each
// window's median from its sorted columns.
template <int R>
[[gnu::always_inline]] inline void median_rows_r(const std::uint16_t* src, std::uint16_t* dst,
                                                 int y0, int y1, float fraction) {
  constexpr int S = 2 * R + 1;
  constexpr int PAD = 2 * LANES;
  alignas(64) std::uint16_t sorted[S][W + PAD] = {};
  alignas(64) std::uint16_t med[W + PAD], mx[W + PAD], mn[W + PAD];
  const Uint16x16 cap = Uint16x16{} + MEDIAN_MIN_START;
  for (int y = y0; y < y1; ++y) {
    sort_columns<R>(src + (y - R) * W, W, W, sorted);
    // Output x + R from columns x .. x + 2R; whole vectors of outputs are
    // thresholded in registers, the last partial one through the buffers.
    const std::uint16_t* s = src + y * W;
    std::uint16_t* d = dst + y * W;
    for (int x = 0; x < W - 2 * R; x += LANES) {
      Uint16x16 in[S * S];
      const Uint16x16 median = window_median<R>(sorted, x, in);
      Uint16x16 high = in[S - 1], low = lane_min(in[0], cap);
      for (int b = 1; b < S; ++b) {
        high = lane_max(high, in[b * S + S - 1]);
        low = lane_min(low, in[b * S]);
      }
      if (x + LANES <= W - 2 * R) {
        store_u16x16(d + x + R, threshold(load_u16x16(s + x + R), median, high, low, fraction));
      } else {
        store_u16x16(med + x + R, median);
        store_u16x16(mx + x + R, high);
        store_u16x16(mn + x + R, low);
        threshold_row(s, d, med, mx, mn, x + R, W - R, fraction);
      }
    }
  }
}

// The filter compiled twice, for plain x86-64 and for AVX2; which one runs
// is chosen by what each costs (median_rows below).
[[gnu::always_inline]] inline void median_dispatch(const std::uint16_t* src, std::uint16_t* dst,
                                                   int y0, int y1, int radius, float fraction) {
  switch (radius) {
    case 1: median_rows_1(src, dst, y0, y1, fraction); break;
    case 2: median_rows_r<2>(src, dst, y0, y1, fraction); break;
    default: median_rows_r<3>(src, dst, y0, y1, fraction); break;
  }
}

void median_plain(const std::uint16_t* src, std::uint16_t* dst, int y0, int y1, int radius,
                  float fraction) {
  median_dispatch(src, dst, y0, y1, radius, fraction);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void median_avx2(const std::uint16_t* src, std::uint16_t* dst,
                                                 int y0, int y1, int radius, float fraction) {
  median_dispatch(src, dst, y0, y1, radius, fraction);
}
#endif

const std::vector<MedianWay>& ways_offered() {
  static const std::vector<MedianWay> ways = [] {
    std::vector<MedianWay> w{{"plain", median_plain}};
#if defined(__x86_64__)
    if (avx2_available()) w.push_back({"avx2", median_avx2});
#endif
    return w;
  }();
  return ways;
}

std::array<std::atomic<const MedianWay*>, 3> chosen_ways{};

// The first use of each radius chooses its way: each is timed on eight rows
// of the picture itself, written to a frame of its own.
const MedianWay& choose_way(const std::uint16_t* src, int y0, int y1, int radius, float fraction) {
  auto choose = [&]() -> const MedianWay& {
    const auto& ways = ways_offered();
    std::vector<std::uint16_t> scratch(FRAME_BUFFER_SAMPLES);
    const int end = std::min(y1, y0 + 8);
    const std::size_t k = fastest_way(ways.size(), 5, [&](std::size_t w) {
      ways[w].rows(src, scratch.data(), y0, end, radius, fraction);
    });
    chosen_ways[static_cast<std::size_t>(radius - 1)] = &ways[k];
    return ways[k];
  };
  switch (radius) {
    case 1: {
      static const MedianWay& way = choose();
      return way;
    }
    case 2: {
      static const MedianWay& way = choose();
      return way;
    }
    default: {
      static const MedianWay& way = choose();
      return way;
    }
  }
}

// 5 x 5 window medians for any row length: the five rows of each span are
// copied into zero-padded buffers so that the vector loads stay inside them.
TARVEX_CLONES void median5_dispatch(const std::uint16_t* src, int stride, int count,
                                    std::uint16_t* out) {
  constexpr int SPAN = 512;  // windows per pass, a multiple of 16
  constexpr int WIDTH = SPAN + 3 * LANES;
  alignas(64) std::uint16_t rows[5][WIDTH];
  alignas(64) std::uint16_t sorted[5][WIDTH];
  alignas(64) std::uint16_t med[SPAN];
  for (int x0 = 0; x0 < count; x0 += SPAN) {
    const int n = std::min(SPAN, count - x0);
    const int columns = n + 4;
    const int width = (n + LANES - 1) / LANES * LANES + LANES;
    for (int q = 0; q < 5; ++q) {
      std::memcpy(rows[q], src + (q - 2) * stride + x0 - 2, columns * sizeof(std::uint16_t));
      std::fill(rows[q] + columns, rows[q] + width, std::uint16_t{0});
    }
    sort_columns<2>(rows[0], WIDTH, width, sorted);
    Uint16x16 in[25];
    for (int x = 0; x < n; x += LANES) store_u16x16(med + x, window_median<2>(sorted, x, in));
    std::memcpy(out + x0, med, n * sizeof(std::uint16_t));
  }
}

}  // namespace

void median5_row(const std::uint16_t* src, int stride, int count, std::uint16_t* out) {
  if (count > 0) median5_dispatch(src, stride, count, out);
}

void median_rows(const std::uint16_t* src, std::uint16_t* dst, int y0, int y1, int radius,
                 float fraction) {
  if (radius < 1 || radius > 3 || y0 >= y1) return;
  choose_way(src, y0, y1, radius, fraction).rows(src, dst, y0, y1, radius, fraction);
}

std::span<const MedianWay> median_ways() {
  return ways_offered();
}

const char* chosen_median_way(int radius) {
  if (radius < 1 || radius > 3) return nullptr;
  const MedianWay* w = chosen_ways[static_cast<std::size_t>(radius - 1)];
  return w != nullptr ? w->name : nullptr;
}

int median_network_size(int radius) {
  return network(radius).count;
}

}  // namespace tarvex
