#include "processing/filters_median.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "image/frame_store.h"
#include "processing/filters.h"

#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define TARVEX_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef TARVEX_CLONES
#define TARVEX_CLONES
#endif

namespace tarvex {

namespace {

constexpr int W = FRAME_WIDTH;
constexpr int CHUNK = 256;  // pixels worked on together by every exchange
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
Network build_network(int r) {
  const int side = 2 * r + 1;
  const int block = side <= 3 ? 4 : 8;
  int blocks = 1;
  while (blocks < side) blocks <<= 1;
  const int n = blocks * block;
  constexpr int PAD = -1;

  struct Raw {
    int a, b, lo, hi;
  };
  static Raw raw[MAX_OPS];
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

  static bool needed[MAX_VALUES];
  static int last_use[MAX_VALUES];
  std::fill(needed, needed + next_value, false);
  std::fill(last_use, last_use + next_value, -1);
  needed[target] = true;
  static bool keep_lo[MAX_OPS], keep_hi[MAX_OPS];
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
  static int buffer_of[MAX_VALUES];
  int free_list[MAX_BUFFERS];
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
  static const Network nets[3] = {build_network(1), build_network(2), build_network(3)};
  return nets[r - 1];
}

template <int R>
[[gnu::always_inline]] inline void sort_columns(const std::uint16_t* src, int y,
                                                std::uint16_t (*sorted)[W + CHUNK]) {
  constexpr int S = 2 * R + 1;
  const std::uint16_t* top = src + (y - R) * W;
  for (int x = 0; x < W; ++x) {
    std::uint16_t v[S];
    for (int q = 0; q < S; ++q) v[q] = top[q * W + x];
    auto cx = [&](int i, int j) {
      const std::uint16_t a = v[i], b = v[j];
      v[i] = std::min(a, b);
      v[j] = std::max(a, b);
    };
    if constexpr (R == 1) {
      cx(0, 1);
      cx(1, 2);
      cx(0, 1);
    } else if constexpr (R == 2) {
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
    for (int q = 0; q < S; ++q) sorted[q][x] = v[q];
  }
}

[[gnu::always_inline]] inline void exchange_both(const std::uint16_t* __restrict a,
                                                 const std::uint16_t* __restrict b,
                                                 std::uint16_t* __restrict lo,
                                                 std::uint16_t* __restrict hi) {
  for (int i = 0; i < CHUNK; ++i) {
    lo[i] = std::min(a[i], b[i]);
    hi[i] = std::max(a[i], b[i]);
  }
}
[[gnu::always_inline]] inline void exchange_low(const std::uint16_t* __restrict a,
                                                const std::uint16_t* __restrict b,
                                                std::uint16_t* __restrict lo) {
  for (int i = 0; i < CHUNK; ++i) lo[i] = std::min(a[i], b[i]);
}
[[gnu::always_inline]] inline void exchange_high(const std::uint16_t* __restrict a,
                                                 const std::uint16_t* __restrict b,
                                                 std::uint16_t* __restrict hi) {
  for (int i = 0; i < CHUNK; ++i) hi[i] = std::max(a[i], b[i]);
}

template <int R>
[[gnu::always_inline]] inline void median_rows_r(const std::uint16_t* src, std::uint16_t* dst,
                                                 int y0, int y1, float fraction) {
  constexpr int S = 2 * R + 1;
  const Network& net = network(R);
  alignas(64) std::uint16_t sorted[S][W + CHUNK];
  alignas(64) std::uint16_t buffers[MAX_BUFFERS][CHUNK];
  alignas(64) std::uint16_t mx[CHUNK];
  alignas(64) std::uint16_t mn[CHUNK];
  for (auto& row : sorted) std::fill(row + W, row + W + CHUNK, std::uint16_t{0});
  const std::uint16_t* refs[S * S + MAX_BUFFERS];
  for (int i = 0; i < net.buffers; ++i) refs[S * S + i] = buffers[i];

  for (int y = y0; y < y1; ++y) {
    sort_columns<R>(src, y, sorted);
    const std::uint16_t* s = src + y * W;
    std::uint16_t* d = dst + y * W;
    for (int x0 = R; x0 < W - R; x0 += CHUNK) {
      const int first = x0 - R;
      for (int b = 0; b < S; ++b)
        for (int q = 0; q < S; ++q) refs[b * S + q] = sorted[q] + first + b;
      for (int t = 0; t < net.count; ++t) {
        const Exchange& e = net.ops[t];
        switch (e.kind) {
          case Exchange::Both:
            exchange_both(refs[e.a], refs[e.b], buffers[e.lo], buffers[e.hi]);
            break;
          case Exchange::LowOnly: exchange_low(refs[e.a], refs[e.b], buffers[e.lo]); break;
          case Exchange::HighOnly: exchange_high(refs[e.a], refs[e.b], buffers[e.hi]); break;
        }
      }
      // Window maximum and minimum from the column extremes; the minimum
      // search starts at 65000.
      for (int i = 0; i < CHUNK; ++i) {
        mx[i] = sorted[S - 1][first + i];
        mn[i] = std::min(MEDIAN_MIN_START, sorted[0][first + i]);
      }
      for (int b = 1; b < S; ++b) {
        for (int i = 0; i < CHUNK; ++i) {
          mx[i] = std::max(mx[i], sorted[S - 1][first + b + i]);
          mn[i] = std::min(mn[i], sorted[0][first + b + i]);
        }
      }
      const std::uint16_t* med = buffers[net.result];
      const int n = std::min(CHUNK, W - R - x0);
      for (int i = 0; i < n; ++i) {
        const std::int32_t range = static_cast<std::int32_t>(mx[i]) - mn[i];
        const std::int32_t limit = static_cast<std::int32_t>(static_cast<float>(range) * fraction);
        const std::int32_t m = med[i];
        const std::int32_t v = s[x0 + i];
        const std::int32_t departure = m > v ? m - v : v - m;
        d[x0 + i] =
            limit < departure ? static_cast<std::uint16_t>(m) : static_cast<std::uint16_t>(v);
      }
    }
  }
}

TARVEX_CLONES void median_dispatch(const std::uint16_t* src, std::uint16_t* dst, int y0, int y1,
                                   int radius, float fraction) {
  switch (radius) {
    case 1: median_rows_r<1>(src, dst, y0, y1, fraction); break;
    case 2: median_rows_r<2>(src, dst, y0, y1, fraction); break;
    default: median_rows_r<3>(src, dst, y0, y1, fraction); break;
  }
}

}  // namespace

void median_rows(const std::uint16_t* src, std::uint16_t* dst, int y0, int y1, int radius,
                 float fraction) {
  if (radius < 1 || radius > 3 || y0 >= y1) return;
  median_dispatch(src, dst, y0, y1, radius, fraction);
}

int median_network_size(int radius) {
  return network(radius).count;
}

}  // namespace tarvex
