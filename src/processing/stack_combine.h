// Combining a stack of registered frames pixel by pixel, with rejection of
// outliers (hot pixels, satellite and aircraft trails, cosmic rays).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace tarvex {

enum class CombineMethod {
  Mean,    // plain mean
  Median,  // the median
  Sigma,   // mean of the values within kappa sigma of the median, iterated;
           // sigma from the median absolute deviation
  Winsor,  // mean after pulling values beyond kappa sigma to the limits, iterated;
           // sigma winsorized
};

std::optional<CombineMethod> combine_method_named(std::string_view name);
const char* combine_method_name(CombineMethod method);

struct CombineParameters {
  CombineMethod method = CombineMethod::Sigma;
  float kappa_low = 3.0F;
  float kappa_high = 3.0F;
  int max_rounds = 5;  // sigma and winsor: stop after this many rounds
};

// The combined value of one pixel's samples. `values` is used as scratch
// (reordered and, for winsor, changed); NaN samples (no data there, e.g.
// outside a registered frame) are left out. NaN when no sample is left.
float combine_pixel(std::span<float> values, const CombineParameters& p);

// The median of the finite values (reorders them); NaN when there are none.
float median_of(std::span<float> values);

// Combines `frames` frames of `count` samples each, stored one after the
// other in `stack` (frame f's sample i at stack[f * count + i]), into `out`.
void combine_band(const float* stack, std::size_t frames, std::size_t count,
                  const CombineParameters& p, float* out);

}  // namespace tarvex
