#include "sim/mount_disturbance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarvex {

namespace {

std::uint64_t mix(std::uint64_t z) {
  z += 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// A uniform number in (0, 1) from a hash.
double unit(std::uint64_t h) {
  return (static_cast<double>(h >> 11) + 0.5) / 9007199254740992.0;
}

}  // namespace

double seeded_gaussian(std::uint64_t seed, std::uint64_t index) {
  const std::uint64_t h = mix(mix(seed) ^ (index * 0xd1342543de82ef95ULL));
  const double u1 = unit(h), u2 = unit(mix(h));
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

MountDisturbance::MountDisturbance(const DisturbanceConfig& config) : config_(config) {
  double weights = 0;
  for (double w : PE_WEIGHTS) weights += w;
  for (std::size_t i = 0; i < amplitude_.size(); ++i)
    amplitude_[i] = config_.pe * PE_WEIGHTS[i] / weights;
  cloud_start_ = 30.0 + 270.0 * unit(mix(config_.seed ^ 0xc10d5ULL));
}

double MountDisturbance::worm_seconds(double t, double ra_moved_arcsec) const {
  return t + config_.pe_phase / 360.0 * WORM_PERIOD_S + ra_moved_arcsec / SIDEREAL_ARCSEC_PER_S;
}

double MountDisturbance::periodic_error(double worm_s) const {
  double sum = 0;
  for (std::size_t i = 0; i < amplitude_.size(); ++i)
    sum += amplitude_[i] * std::cos(2.0 * std::numbers::pi * worm_s / PE_PERIODS[i]);
  return sum;
}

SeeingOffset MountDisturbance::seeing(std::uint64_t frame) const {
  const double sigma = SEEING_SIGMA_PER_FWHM * config_.seeing;
  if (sigma <= 0) return {};
  return {sigma * seeded_gaussian(config_.seed, 2 * frame),
          sigma * seeded_gaussian(config_.seed, 2 * frame + 1)};
}

double MountDisturbance::transmission(double t) const {
  const double length = config_.clouds;
  if (length <= 0) return 1.0;
  const double u = (t - cloud_start_) / length;
  if (u <= 0 || u >= 1) return 1.0;
  const double edge = std::min(u, 1.0 - u) / 0.2;  // 0 at the edges, 1 a fifth in
  return edge >= 1 ? 0.0 : 1.0 - edge;
}

double GearAxis::move(double requested) {
  if (requested == 0 || std::fabs(requested) < stiction_) return 0;
  const int sign = requested > 0 ? 1 : -1;
  if (last_sign_ != 0 && sign != last_sign_) {
    slack_ = backlash_;
    ++reversals_;
  }
  last_sign_ = sign;
  double d = std::fabs(requested);
  const double take = std::min(slack_, d);
  slack_ -= take;
  d -= take;
  return sign * d;
}

}  // namespace tarvex
