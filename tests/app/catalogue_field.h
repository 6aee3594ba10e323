// A raw 752 x 580 frame of the real sky for the solver's tests, rendered
// here from the Tycho-2 stars of astrometry.net's installed index (read
// with its query-starkd program): gnomonic projection with the sensor's
// 8.6 x 8.3 um pixels, north up and east left, the field's centre at the
// middle of the frame, the mosaic's four sensitivities, background and
// noise.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "image/frame_store.h"
#include "platform/subprocess.h"

namespace tarvex::testing {

inline constexpr const char* TYCHO2_INDEX =
    "/usr/share/astrometry/index-tycho2-08.littleendian.fits";

// Empty when the catalogue cannot be read.
inline std::vector<std::uint16_t> catalogue_field(double ra_deg, double dec_deg, double focal_mm) {
  const RunOutcome q = run_program("query-starkd",
                                   {"-r", std::to_string(ra_deg), "-d", std::to_string(dec_deg),
                                    "-R", "1.5", "-T", TYCHO2_INDEX},
                                   {}, std::chrono::seconds(60));
  if (q.result != RunResult::Exited || q.exit_status != 0) return {};
  constexpr double kDeg = 3.14159265358979323846 / 180;
  const double sx = 206.265 * 8.6 / focal_mm / 3600, sy = 206.265 * 8.3 / focal_mm / 3600;
  const double cx = (FRAME_WIDTH - 1) / 2.0, cy = (FRAME_HEIGHT - 1) / 2.0;
  std::vector<double> sky(FRAME_SAMPLES, 800.0);
  std::istringstream lines(q.output);
  std::string line;
  const double a0 = ra_deg * kDeg, d0 = dec_deg * kDeg;
  while (std::getline(lines, line)) {
    double ra = 0, dec = 0, mag = 0;
    if (std::sscanf(line.c_str(), "%lf, %lf, %lf", &ra, &dec, &mag) != 3) continue;
    const double a = ra * kDeg - a0, d = dec * kDeg;
    const double c = std::sin(d0) * std::sin(d) + std::cos(d0) * std::cos(d) * std::cos(a);
    if (c <= 0) continue;
    const double xi = std::cos(d) * std::sin(a) / c / kDeg;
    const double eta =
        (std::cos(d0) * std::sin(d) - std::sin(d0) * std::cos(d) * std::cos(a)) / c / kDeg;
    const double x = cx - xi / sx, y = cy - eta / sy;
    if (x < -6 || y < -6 || x > FRAME_WIDTH + 6 || y > FRAME_HEIGHT + 6) continue;
    const double flux = 200000.0 * std::pow(10.0, -0.4 * (mag - 8.0));
    const double sigma = 1.3, peak = flux / (2 * 3.14159265358979323846 * sigma * sigma);
    for (int yy = static_cast<int>(y) - 6; yy <= static_cast<int>(y) + 6; ++yy) {
      for (int xx = static_cast<int>(x) - 6; xx <= static_cast<int>(x) + 6; ++xx) {
        if (xx < 0 || yy < 0 || xx >= FRAME_WIDTH || yy >= FRAME_HEIGHT) continue;
        const double r2 = (xx - x) * (xx - x) + (yy - y) * (yy - y);
        sky[static_cast<std::size_t>(yy) * FRAME_WIDTH + xx] +=
            peak * std::exp(-r2 / (2 * sigma * sigma));
      }
    }
  }
  std::mt19937 rng(12345);
  std::normal_distribution<double> noise(0.0, 12.0);
  static constexpr double kMosaic[2][2] = {{0.9, 1.0}, {0.8, 1.1}};
  std::vector<std::uint16_t> frame(FRAME_SAMPLES);
  for (int y = 0; y < FRAME_HEIGHT; ++y) {
    for (int x = 0; x < FRAME_WIDTH; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * FRAME_WIDTH + x;
      const double v = sky[i] * kMosaic[y % 2][x % 2] + noise(rng);
      frame[i] = static_cast<std::uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
    }
  }
  return frame;
}

}  // namespace tarvex::testing
