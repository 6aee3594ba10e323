#include "processing/stretch.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "image/fastest_way.h"
#include "image/label_band.h"
#include "image/lanes.h"
#include "image/target_clones.h"
#include "processing/processor_ways.h"

namespace tarvex {

namespace {

// Truncates a non-negative level toward zero and caps it at the top level.
std::uint16_t capped_level(double v) {
  if (!(v >= 0.0)) return 0;
  if (v >= static_cast<double>(STRETCH_TOP)) return STRETCH_TOP;
  return static_cast<std::uint16_t>(v);
}

constexpr int kStretchBlocks = 20;
constexpr int kStretchBlockSamples = (FRAME_SAMPLES - BLOCK_SAMPLES) / kStretchBlocks;  // 21432
static_assert(BLOCK_SAMPLES + kStretchBlocks * kStretchBlockSamples == FRAME_SAMPLES);

}  // namespace

void fill_normal_table(StretchLevels& t, unsigned black, unsigned white) {
  if (black >= white) return;
  const double scale = 255.0 / static_cast<double>(white - black);
  const int lo = static_cast<int>(128 * black);
  const int hi = static_cast<int>(128 * white);
  const int end = std::min(hi, STRETCH_TABLE_SIZE);
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
    if (i < lo) {
      t[i] = 0;
    } else if (i < end) {
      t[i] = capped_level(static_cast<double>(i - lo) * scale);
    } else {
      t[i] = STRETCH_TOP;
    }
  }
}

void fill_power_table(StretchLevels& t, double gamma) {
  const double factor = std::pow(32768.0, 1.0 - gamma);
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
    t[i] = capped_level(std::pow(static_cast<double>(i), gamma) * factor);
  }
}

void fill_sine_table(StretchLevels& t) {
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
    t[i] = capped_level((std::sin((i - 16384) / 10432.0) + 1.0) * 16383.0);
  }
}

void fill_log_table(StretchLevels& t) {
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
    t[i] = capped_level(std::log(static_cast<double>(i) + 1.0) * 3151.0);
  }
}

void fill_antilog_table(StretchLevels& t) {
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
    t[i] = capped_level(std::exp(i / 3151.0) - 1.0);
  }
}

void fill_invert_table(StretchLevels& t) {
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) t[i] = static_cast<std::uint16_t>(STRETCH_TOP - i);
}

void fill_remove_background_table(StretchLevels& t, int background) {
  if (background <= 2) return;
  // A level of 257 would divide by zero; background levels stop at 255.
  background = std::min(background, 255);
  const int lo = 128 * background - 256;
  const double scale = 255.0 / static_cast<double>(257 - background);
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
    t[i] = i < lo ? 0 : capped_level(static_cast<double>(i - lo) * scale);
  }
}

void fill_non_linear_table(StretchLevels& t, unsigned power) {
  const double p = static_cast<double>(power);
  for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) {
    const double x = i / 32768.0;
    t[i] = capped_level(32768.0 * p * x / ((p - 1.0) * x + 1.0));
  }
}

namespace {

// Maps n samples through the table, keeping each original in `undo`. The
// block is copied first (a plain vector copy), then mapped while it is still
// in the cache, eight look-ups at a time so they overlap.
void map_samples_plain(std::uint16_t* c, std::uint16_t* u, int n, const std::uint16_t* table) {
  std::memcpy(u, c, static_cast<std::size_t>(n) * sizeof(std::uint16_t));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint16_t m[8];
    for (int k = 0; k < 8; ++k) m[k] = static_cast<std::uint16_t>(table[u[i + k] >> 1] << 1);
    for (int k = 0; k < 8; ++k) c[i + k] = m[k];
  }
  for (; i < n; ++i) c[i] = static_cast<std::uint16_t>(table[u[i] >> 1] << 1);
}

#if defined(__x86_64__)
// Eight samples' entries, each in the low 15 bits of a 32-bit lane (only
// those bits survive the doubling). Each look-up reads the 32 bits at the
// entry; the last entry has nothing after it, so its lanes are left out of
// the gather and given the entry directly.
[[gnu::always_inline]] __attribute__((target("avx2"))) inline __m256i look_up(__m128i samples,
                                                                              const int* base,
                                                                              __m256i last_value) {
  const __m256i index = _mm256_srli_epi32(_mm256_cvtepu16_epi32(samples), 1);
  const __m256i inside = _mm256_xor_si256(
      _mm256_cmpeq_epi32(index, _mm256_set1_epi32(STRETCH_TABLE_SIZE - 1)), _mm256_set1_epi32(-1));
  return _mm256_and_si256(_mm256_mask_i32gather_epi32(last_value, base, index, inside, 2),
                          _mm256_set1_epi32(0x7FFF));
}

// The same with AVX2 gathers, sixteen samples a step.
__attribute__((target("avx2"))) void map_samples_avx2(std::uint16_t* c, std::uint16_t* u, int n,
                                                      const std::uint16_t* table) {
  const int* base = reinterpret_cast<const int*>(table);
  const __m256i last_value = _mm256_set1_epi32(table[STRETCH_TABLE_SIZE - 1]);
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(u + i), s);
    const __m256i a = look_up(_mm256_castsi256_si128(s), base, last_value);
    const __m256i b = look_up(_mm256_extracti128_si256(s, 1), base, last_value);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(c + i), _mm256_slli_epi16(packed, 1));
  }
  for (; i < n; ++i) {
    u[i] = c[i];
    c[i] = static_cast<std::uint16_t>(table[u[i] >> 1] << 1);
  }
}

// The same with AVX-512 gathers. Each look-up reads the aligned pair of
// entries holding the sample's entry (sample >> 2 counts pairs), so no read
// passes the end of the table and no lane needs a mask; bit 1 of the sample
// says which half of the pair is its entry. The look-ups are what limit the
// speed, so the rest is arranged not to get in their way: the samples are
// read and written in whole cache lines (a 64-byte access across two lines
// costs two), and two steps of 32 samples are in flight at once.
//
// GCC 12's AVX-512 intrinsics fill their unused source operands with a
// deliberately uninitialised value and then warn about it when inlined; the
// warning says nothing about this code.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
[[gnu::always_inline]] __attribute__((target("avx512f,avx512bw"))) inline void map_32_avx512(
    std::uint16_t* c, std::uint16_t* u, const int* pairs) {
  const __m512i bit1 = _mm512_set1_epi32(2);
  const __m512i low15 = _mm512_set1_epi32(0x7FFF);
  // Puts the 64-bit groups of a two-source pack back in sample order.
  const __m512i order = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
  const __m512i s = _mm512_loadu_si512(c);
  _mm512_storeu_si512(u, s);
  const __m512i sa = _mm512_cvtepu16_epi32(_mm512_castsi512_si256(s));
  const __m512i sb = _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(s, 1));
  __m512i a = _mm512_i32gather_epi32(_mm512_srli_epi32(sa, 2), pairs, 4);
  __m512i b = _mm512_i32gather_epi32(_mm512_srli_epi32(sb, 2), pairs, 4);
  a = _mm512_srlv_epi32(a, _mm512_slli_epi32(_mm512_and_si512(sa, bit1), 3));
  b = _mm512_srlv_epi32(b, _mm512_slli_epi32(_mm512_and_si512(sb, bit1), 3));
  const __m512i packed = _mm512_permutexvar_epi64(
      order, _mm512_packus_epi32(_mm512_and_si512(a, low15), _mm512_and_si512(b, low15)));
  _mm512_storeu_si512(c, _mm512_slli_epi16(packed, 1));
}

__attribute__((target("avx512f,avx512bw"))) void map_samples_avx512(std::uint16_t* c,
                                                                    std::uint16_t* u, int n,
                                                                    const std::uint16_t* table) {
  const int* pairs = reinterpret_cast<const int*>(table);
  // The samples before the first cache line boundary go the AVX2 way: the
  // blocks do not start on one. CurrentFrame and UndoFrame sit at the same
  // offset within a line, so both are then read and written in whole lines.
  const int head =
      std::min(n, static_cast<int>((64 - (reinterpret_cast<std::uintptr_t>(c) & 63)) & 63) / 2);
  map_samples_avx2(c, u, head, table);
  int i = head;
  for (; i + 64 <= n; i += 64) {
    map_32_avx512(c + i, u + i, pairs);
    map_32_avx512(c + i + 32, u + i + 32, pairs);
  }
  for (; i + 32 <= n; i += 32) map_32_avx512(c + i, u + i, pairs);
  map_samples_avx2(c + i, u + i, n - i, table);
}
#pragma GCC diagnostic pop

bool avx512_available() {
  static const bool available =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  return available;
}

#endif

const std::vector<StretchWay>& ways_offered() {
  static const std::vector<StretchWay> ways = [] {
    std::vector<StretchWay> w{{"plain", map_samples_plain}};
#if defined(__x86_64__)
    if (avx2_available()) w.push_back({"avx2", map_samples_avx2});
    if (avx2_available() && avx512_available()) w.push_back({"avx512", map_samples_avx512});
#endif
    return w;
  }();
  return ways;
}

std::atomic<const StretchWay*> chosen_way{nullptr};

// The first block mapped chooses the way: each is timed on a copy of up to
// 8192 of its samples (so on the picture's own spread over the table, which
// decides how often a look-up misses the cache).
const StretchWay& choose_way(const std::uint16_t* c, int n, const std::uint16_t* table) {
  static const StretchWay& way = [&]() -> const StretchWay& {
    const auto& ways = ways_offered();
    const int m = std::min(n, 8192);
    std::vector<std::uint16_t> source(c, c + m), work(static_cast<std::size_t>(m)),
        undo(static_cast<std::size_t>(m));
    const std::size_t k = fastest_way(ways.size(), 7, [&](std::size_t w) {
      std::memcpy(work.data(), source.data(), source.size() * sizeof(std::uint16_t));
      ways[w].map(work.data(), undo.data(), m, table);
    });
    chosen_way = &ways[k];
    return ways[k];
  }();
  return way;
}

void map_samples(std::uint16_t* c, std::uint16_t* u, int n, const std::uint16_t* table) {
  choose_way(c, n, table).map(c, u, n, table);
}

// The invert table as arithmetic: sample s becomes 2 * (32767 - (s >> 1)),
// which is 65534 - (s & ~1), the complement of s with its lowest bit cleared.
// One pass, sixteen samples a step: each vector is read once and written to
// both frames (left to itself the compiler splits the loop into a copy and a
// second pass, which is slower).
TARVEX_CLONES void invert_samples(std::uint16_t* c, std::uint16_t* u, int n) {
  const Uint16x16 keep = {0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE,
                          0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE};
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const Uint16x16 s = load_u16x16(c + i);
    store_u16x16(u + i, s);
    store_u16x16(c + i, ~s & keep);
  }
  for (; i < n; ++i) {
    u[i] = c[i];
    c[i] = static_cast<std::uint16_t>(~c[i] & 0xFFFE);
  }
}

// The pass shared by the table and the invert: takes the undo copy, leaves a
// labelled top band as it is, and maps the rest with `map(cur, undo, n)` (which
// also copies the originals to undo) in 20 blocks with the progress bar.
template <typename Map>
void map_frame(FrameStore& fs, Progress& progress, EventPump& pump, Map map) {
  std::uint16_t* cur = fs.CurrentFrame.data();
  std::uint16_t* undo = fs.UndoFrame.data();
  fs.RestorePlanesOnUndo = false;
  std::copy(fs.CurrentFrame.begin() + FRAME_SAMPLES, fs.CurrentFrame.end(),
            fs.UndoFrame.begin() + FRAME_SAMPLES);
  if (has_label_band(fs.CurrentFrame)) {
    std::copy(cur, cur + BLOCK_SAMPLES, undo);
  } else {
    map(cur, undo, BLOCK_SAMPLES);
  }
  for (int k = 0; k < kStretchBlocks; ++k) {
    progress.set_position(16 * k);
    const int first = BLOCK_SAMPLES + k * kStretchBlockSamples;
    map(cur + first, undo + first, kStretchBlockSamples);
    pump.pump();
  }
}

}  // namespace

void apply_stretch_table(FrameStore& fs, const StretchLevels& t, Progress& progress,
                         EventPump& pump) {
  // The undo copy is taken in the same pass as the mapping: every sample is
  // read once, written to UndoFrame as it was and to CurrentFrame mapped.
  const std::uint16_t* table = t.data();
  map_frame(fs, progress, pump,
            [table](std::uint16_t* c, std::uint16_t* u, int n) { map_samples(c, u, n, table); });
}

void invert_frame(FrameStore& fs, Progress& progress, EventPump& pump) {
  map_frame(fs, progress, pump, invert_samples);
}

std::span<const StretchWay> stretch_ways() {
  return ways_offered();
}

const char* chosen_stretch_way() {
  const StretchWay* w = chosen_way;
  return w != nullptr ? w->name : nullptr;
}

}  // namespace tarvex
