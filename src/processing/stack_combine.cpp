#include "processing/stack_combine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tarvex {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Moves the finite values to the front; returns how many there are.
std::size_t finite_front(std::span<float> v) {
  return static_cast<std::size_t>(
      std::partition(v.begin(), v.end(), [](float x) { return !std::isnan(x); }) - v.begin());
}

float median_sorted_prefix(std::span<float> v) {
  const std::size_t n = v.size();
  const std::size_t mid = n / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
  const float upper = v[mid];
  if (n % 2 == 1) return upper;
  const float lower = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid));
  return 0.5F * (lower + upper);
}

void mean_and_sigma(std::span<const float> v, double& mean, double& sigma) {
  double s = 0;
  for (float x : v) s += x;
  mean = s / static_cast<double>(v.size());
  double q = 0;
  for (float x : v) q += (x - mean) * (x - mean);
  sigma = v.size() > 1 ? std::sqrt(q / static_cast<double>(v.size() - 1)) : 0.0;
}

float sorted_median(const float* v, std::size_t n) {
  return n % 2 == 1 ? v[n / 2] : 0.5F * (v[n / 2 - 1] + v[n / 2]);
}

// The spread of sorted values around their median `m` as a normal
// distribution's sigma: 1.4826 times the median absolute deviation, found by
// walking outwards from the median (the deviations on either side are
// already in order). Unlike the standard deviation it is not inflated by
// the outliers it is meant to find: with nine frames a hot pixel can never
// lie three standard deviations out.
double sorted_robust_sigma(const float* v, std::size_t n, float m) {
  std::ptrdiff_t left = std::lower_bound(v, v + n, m) - v - 1;
  auto right = static_cast<std::size_t>(left + 1);
  constexpr float kFar = std::numeric_limits<float>::infinity();
  float previous = 0, current = 0;
  for (std::size_t k = 0; k <= n / 2; ++k) {
    const float dl = left >= 0 ? m - v[left] : kFar;
    const float dr = right < n ? v[right] - m : kFar;
    previous = current;
    if (dl <= dr) {
      current = dl;
      --left;
    } else {
      current = dr;
      ++right;
    }
  }
  const float mad = n % 2 == 1 ? current : 0.5F * (previous + current);
  return 1.4826 * mad;
}

// Sigma clipping: each round drops the values beyond kappa sigma of the
// median of those kept; the result is the mean of what is left. On the
// sorted values the kept ones are always one run, so a round only moves
// its two ends.
float sigma_clip(std::span<float> v, const CombineParameters& p) {
  std::sort(v.begin(), v.end());
  std::size_t lo = 0, hi = v.size();
  for (int round = 0; round < p.max_rounds && hi - lo > 2; ++round) {
    const float* run = v.data() + lo;
    const float med = sorted_median(run, hi - lo);
    const double sigma = sorted_robust_sigma(run, hi - lo, med);
    const double low = med - p.kappa_low * sigma;
    const double high = med + p.kappa_high * sigma;
    std::size_t new_lo = lo, new_hi = hi;
    while (new_lo < new_hi && v[new_lo] < low) ++new_lo;
    while (new_hi > new_lo && v[new_hi - 1] > high) --new_hi;
    if ((new_lo == lo && new_hi == hi) || new_lo == new_hi) break;
    lo = new_lo;
    hi = new_hi;
  }
  double sum = 0;
  for (std::size_t i = lo; i < hi; ++i) sum += v[i];
  return static_cast<float>(sum / static_cast<double>(hi - lo));
}

// A sigma that outliers do not inflate: values beyond 1.5 sigma of the
// median are pulled to those limits and sigma taken again (scaled by 1.134,
// which makes up for the pulled tails of a normal distribution), until it
// settles.
double winsorized_sigma(std::span<const float> v, double med, std::vector<float>& work) {
  work.assign(v.begin(), v.end());
  double mean, sigma;
  mean_and_sigma(work, mean, sigma);
  for (int i = 0; i < 10 && sigma > 0; ++i) {
    const auto lo = static_cast<float>(med - 1.5 * sigma);
    const auto hi = static_cast<float>(med + 1.5 * sigma);
    for (float& x : work) x = std::clamp(x, lo, hi);
    double m2, s2;
    mean_and_sigma(work, m2, s2);
    s2 *= 1.134;
    const bool settled = std::abs(s2 - sigma) <= 5e-4 * sigma;
    sigma = s2;
    if (settled) break;
  }
  return sigma;
}

// Winsorized clipping: each round pulls the values beyond kappa times the
// winsorized sigma of the median to those limits; the result is the mean of
// all.
float winsor_clip(std::span<float> v, const CombineParameters& p) {
  thread_local std::vector<float> sorted, work;
  for (int round = 0; round < p.max_rounds && v.size() > 2; ++round) {
    sorted.assign(v.begin(), v.end());
    const float med = median_sorted_prefix(sorted);
    const double sigma = winsorized_sigma(v, med, work);
    const auto lo = static_cast<float>(med - p.kappa_low * sigma);
    const auto hi = static_cast<float>(med + p.kappa_high * sigma);
    bool changed = false;
    for (float& x : v) {
      const float c = std::clamp(x, lo, hi);
      changed |= c != x;
      x = c;
    }
    if (!changed) break;
  }
  double mean, sigma;
  mean_and_sigma(v, mean, sigma);
  return static_cast<float>(mean);
}

}  // namespace

std::optional<CombineMethod> combine_method_named(std::string_view name) {
  if (name == "mean") return CombineMethod::Mean;
  if (name == "median") return CombineMethod::Median;
  if (name == "sigma") return CombineMethod::Sigma;
  if (name == "winsor") return CombineMethod::Winsor;
  return std::nullopt;
}

const char* combine_method_name(CombineMethod method) {
  switch (method) {
    case CombineMethod::Mean: return "mean";
    case CombineMethod::Median: return "median";
    case CombineMethod::Sigma: return "sigma";
    case CombineMethod::Winsor: return "winsor";
  }
  return "?";
}

float median_of(std::span<float> values) {
  const std::size_t n = finite_front(values);
  if (n == 0) return kNaN;
  return median_sorted_prefix(values.first(n));
}

float combine_pixel(std::span<float> values, const CombineParameters& p) {
  const std::size_t n = finite_front(values);
  if (n == 0) return kNaN;
  const std::span<float> v = values.first(n);
  switch (p.method) {
    case CombineMethod::Mean: {
      double s = 0;
      for (float x : v) s += x;
      return static_cast<float>(s / static_cast<double>(n));
    }
    case CombineMethod::Median: return median_sorted_prefix(v);
    case CombineMethod::Sigma: return sigma_clip(v, p);
    case CombineMethod::Winsor: return winsor_clip(v, p);
  }
  return kNaN;
}

void combine_band(const float* stack, std::size_t frames, std::size_t count,
                  const CombineParameters& p, float* out) {
  std::vector<float> values(frames);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t f = 0; f < frames; ++f) values[f] = stack[f * count + i];
    out[i] = combine_pixel(values, p);
  }
}

}  // namespace tarvex
