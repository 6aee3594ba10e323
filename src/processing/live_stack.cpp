#include "processing/live_stack.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tarvex {

LiveStack::LiveStack(std::size_t samples, float kappa)
    : samples_(samples),
      kappa_(kappa),
      mean_(samples, 0.0),
      m2_(samples, 0.0),
      count_(samples, 0) {}

void LiveStack::accept(std::size_t i, float x) {
  const std::uint32_t n = ++count_[i];
  const double d = x - mean_[i];
  mean_[i] += d / n;
  m2_[i] += d * (x - mean_[i]);
}

void LiveStack::seed() {
  // Each pixel starts from the median of the first three samples; those
  // within kappa noise of it are taken in.
  for (std::size_t i = 0; i < samples_; ++i) {
    float v[kSeedFrames];
    int n = 0;
    for (int f = 0; f < kSeedFrames; ++f) {
      const float x = seed_[static_cast<std::size_t>(f) * samples_ + i];
      if (!std::isnan(x)) v[n++] = x;
    }
    if (n == 0) continue;
    // At most three values: put them in order by hand.
    for (int a = 1; a < n; ++a)
      for (int b = a; b > 0 && v[b] < v[b - 1]; --b) std::swap(v[b], v[b - 1]);
    const float med = n == 2 ? 0.5F * (v[0] + v[1]) : v[n / 2];
    // With two samples neither can be told the outlier: keep both.
    for (int k = 0; k < n; ++k)
      if (n < kSeedFrames || std::abs(v[k] - med) <= kappa_ * noise_)
        accept(i, v[k]);
      else
        ++rejected_;
  }
  seed_.clear();
  seed_.shrink_to_fit();
}

void LiveStack::add(const float* frame, float noise) {
  noise_ = std::max(noise_, noise);
  ++frames_;
  if (frames_ <= kSeedFrames) {
    seed_.insert(seed_.end(), frame, frame + samples_);
    if (frames_ == kSeedFrames) seed();
    return;
  }
  for (std::size_t i = 0; i < samples_; ++i) {
    const float x = frame[i];
    if (std::isnan(x)) continue;
    const std::uint32_t n = count_[i];
    if (n == 0) {
      accept(i, x);
      continue;
    }
    const double spread = n > 1 ? std::sqrt(m2_[i] / (n - 1)) : 0.0;
    const double limit = kappa_ * std::max<double>(spread, noise_);
    if (std::abs(x - mean_[i]) > limit) {
      ++rejected_;
      continue;
    }
    accept(i, x);
  }
}

void LiveStack::result(float* out) const {
  if (frames_ < kSeedFrames && frames_ > 0) {
    // Not yet seeded: the plain mean of what there is.
    for (std::size_t i = 0; i < samples_; ++i) {
      double s = 0;
      int n = 0;
      for (int f = 0; f < frames_; ++f) {
        const float x = seed_[static_cast<std::size_t>(f) * samples_ + i];
        if (!std::isnan(x)) {
          s += x;
          ++n;
        }
      }
      out[i] = n ? static_cast<float>(s / n) : std::numeric_limits<float>::quiet_NaN();
    }
    return;
  }
  for (std::size_t i = 0; i < samples_; ++i)
    out[i] = count_[i] ? static_cast<float>(mean_[i]) : std::numeric_limits<float>::quiet_NaN();
}

}  // namespace tarvex
