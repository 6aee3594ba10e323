// The ways the stretch table and the median filter can run on this
// processor (plain code, and the vector paths it supports), and which one
// each chose at its first use. Every way gives the same samples; the tests
// hold them to that and the benchmarks compare them.
#pragma once

#include <cstdint>
#include <span>

namespace tarvex {

// Maps n samples of `c` through the stretch table, keeping the originals
// in `u`.
using StretchMap = void (*)(std::uint16_t* c, std::uint16_t* u, int n, const std::uint16_t* table);
struct StretchWay {
  const char* name;
  StretchMap map;
};
// "plain" first, then "avx2" and "avx512" where the processor has them.
std::span<const StretchWay> stretch_ways();
// The way the stretch table runs in, chosen at its first use; null before.
const char* chosen_stretch_way();

// As median_rows (filters_median.h).
using MedianRows = void (*)(const std::uint16_t* src, std::uint16_t* dst, int y0, int y1,
                            int radius, float fraction);
struct MedianWay {
  const char* name;
  MedianRows rows;
};
// "plain" first, then "avx2" where the processor has it.
std::span<const MedianWay> median_ways();
// The way the median of `radius` runs in, chosen at its first use; null before.
const char* chosen_median_way(int radius);

}  // namespace tarvex
