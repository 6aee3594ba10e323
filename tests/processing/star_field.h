// Synthetic star fields for the registration and stacking tests: Gaussian
// stars seen through a rigid transform, on a flat sky with Gaussian noise.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "processing/star_registration.h"

namespace tarvex::testing {

struct SkyStar {
  double x, y, flux;
};

// The sky through `t` (sky to frame) in a width x height frame, with star
// widths sx, sy, a background of 1000 and noise of sigma 10. Each star is
// drawn out to `reach` pixels from its centre; a star more than `skip_beyond`
// pixels outside the frame is not drawn at all.
inline std::vector<float> render_star_field(const std::vector<SkyStar>& sky,
                                            const RigidTransform& t, int width, int height,
                                            double sx, double sy, unsigned seed, int reach,
                                            double skip_beyond = 1e9) {
  std::vector<float> img(static_cast<std::size_t>(width) * height, 1000.0F);
  for (const auto& s : sky) {
    double x, y;
    t.apply(s.x, s.y, x, y);
    if (x < -skip_beyond || y < -skip_beyond || x > width + skip_beyond || y > height + skip_beyond)
      continue;
    const double a = s.flux / (2 * std::numbers::pi * sx * sy);
    for (int py = std::max(0, int(y) - reach); py < std::min(height, int(y) + reach + 1); ++py)
      for (int px = std::max(0, int(x) - reach); px < std::min(width, int(x) + reach + 1); ++px) {
        const double dx = px - x, dy = py - y;
        img[static_cast<std::size_t>(py) * width + px] +=
            static_cast<float>(a * std::exp(-0.5 * (dx * dx / (sx * sx) + dy * dy / (sy * sy))));
      }
  }
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0, 10);
  for (float& v : img) v += noise(rng);
  return img;
}

}  // namespace tarvex::testing
