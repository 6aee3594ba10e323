// The guiding benchmark: each guide algorithm holds a star for a stretch of
// simulated time on a mount with a seeded disturbance (periodic error,
// seeing, drift, backlash, a cloud), and is scored on the star's measured
// position. It runs its own small camera and mount on virtual time: the
// mount moves the star by the disturbance and the guide pulses, the camera
// draws the star with noise into a small window around the reference and
// the star is measured there, so a half-hour run takes a fraction of a
// second and every run of a scenario is the same.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "sim/mount_disturbance.h"

namespace tarvex {

struct BenchScenario {
  std::string_view name;
  DisturbanceConfig disturbance;
};

// The fixed scenarios, at 2 arcsec per pixel.
std::span<const BenchScenario> bench_scenarios();
const BenchScenario* find_bench_scenario(std::string_view name);
inline constexpr double BENCH_ARCSEC_PER_PIXEL = 2.0;

enum class BenchAlgorithm { Classic, Reference, Predictive };
inline constexpr BenchAlgorithm BENCH_ALGORITHMS[] = {
    BenchAlgorithm::Classic, BenchAlgorithm::Reference, BenchAlgorithm::Predictive};
std::string_view bench_algorithm_name(BenchAlgorithm a);

struct BenchResult {
  double rms_ra = 0;  // arcsec, of the measured position about the reference
  double rms_dec = 0;
  double rms_total = 0;
  double peak = 0;  // the largest distance from the reference, arcsec
  int dec_reversals = 0;
  int frames = 0;          // guide frames after training
  int lost_frames = 0;     // frames in which the star was not found
  int holding_frames = 0;  // lost frames the algorithm kept correcting through
};

// Trains, then guides for `minutes` of simulated time.
BenchResult run_guide_benchmark(const BenchScenario& scenario, BenchAlgorithm algorithm,
                                double minutes);
// What perfect guiding would measure: the seeing alone, sqrt(2) x 0.125 x FWHM.
double bench_floor(const BenchScenario& scenario);

// The benchmark's output lines.
std::string bench_line(const BenchScenario& scenario, BenchAlgorithm algorithm,
                       const BenchResult& r);
std::string bench_floor_line(const BenchScenario& scenario);

}  // namespace tarvex
