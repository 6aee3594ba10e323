// What a real mount and sky do to a guide star that a perfect mount would
// hold still: the worm gear's periodic error in RA, the atmosphere's seeing,
// a slow drift in Dec, backlash and stiction in the Dec gear, and a passing
// cloud. Every value is in arcseconds and seconds of the simulation's own
// time; the simulated mount and the guiding benchmark turn arcseconds into
// pixels through the image scale. Seeded: the same settings and seed give
// the same disturbances on every run, whatever order they are asked in.
#pragma once

#include <array>
#include <cstdint>

namespace tarvex {

// The periodic error is a sum of cosines of these periods (seconds) and
// relative amplitudes; the first, the longest, is the worm's own turn.
inline constexpr std::array<double, 5> PE_PERIODS = {230.5, 122.0, 49.4, 9.56, 76.84};
inline constexpr std::array<double, 5> PE_WEIGHTS = {2.02, 0.69, 0.22, 0.137, 0.14};
inline constexpr double WORM_PERIOD_S = 230.5;
// The RA axis turns this many arcseconds per second of tracking, so a move
// of the axis by that much advances the worm by a second.
inline constexpr double SIDEREAL_ARCSEC_PER_S = 15.041;
// Seeing jitter per axis is this fraction of the seeing's FWHM (one sigma).
inline constexpr double SEEING_SIGMA_PER_FWHM = 0.125;

struct DisturbanceConfig {
  double pe = 0;        // periodic error: largest deviation from its mean, arcsec
  double pe_phase = 0;  // the worm's phase at time 0, degrees
  double seeing = 0;    // FWHM, arcsec (0: none)
  double drift = 0;     // Dec drift, arcsec per minute
  double backlash = 0;  // Dec gear backlash, arcsec
  double stiction = 0;  // a move smaller than this does nothing, arcsec
  double clouds = 0;    // length of the one cloud, seconds (0: clear sky)
  std::uint64_t seed = 1;
};

// The `realistic` preset: a typical amateur mount under a typical sky.
inline DisturbanceConfig realistic_disturbance() {
  DisturbanceConfig c;
  c.pe = 5;
  c.seeing = 2;
  c.drift = 5;
  c.backlash = 2;
  return c;
}

// Where a frame's seeing puts the star, arcsec from its true position.
struct SeeingOffset {
  double ra = 0;
  double dec = 0;
};

class MountDisturbance {
 public:
  explicit MountDisturbance(const DisturbanceConfig& config = {});
  const DisturbanceConfig& config() const { return config_; }

  // The amplitude of each periodic term, arcsec: the weights scaled so that
  // their sum, the deviation reached when every term peaks together, is the
  // configured periodic error.
  const std::array<double, 5>& pe_amplitudes() const { return amplitude_; }
  // The worm's position in seconds of tracking: time `t` plus the phase,
  // plus the arcseconds the RA axis has been moved besides tracking (slews
  // and guide pulses turn the worm too).
  double worm_seconds(double t, double ra_moved_arcsec = 0) const;
  // The periodic error at worm position `worm_s`, arcsec (mean 0).
  double periodic_error(double worm_s) const;
  // The Dec drift accumulated by time `t`, arcsec.
  double dec_drift(double t) const { return config_.drift * t / 60.0; }
  // The seeing offset of frame number `frame`: a Gaussian of sigma
  // 0.125 x FWHM on each axis, the same for the same seed and frame.
  SeeingOffset seeing(std::uint64_t frame) const;
  // When the cloud begins, seconds (a seeded time within the first five
  // minutes after the first half minute), and how much of the star's light
  // passes at time `t`: 1 in clear sky, fading to 0 and back over the
  // cloud's first and last fifth.
  double cloud_start() const { return cloud_start_; }
  double transmission(double t) const;

 private:
  DisturbanceConfig config_;
  std::array<double, 5> amplitude_{};
  double cloud_start_ = 0;
};

// One gear of the mount as guide pulses move it: a move smaller than the
// stiction does nothing; a move against the last direction first takes up
// the backlash. Arcsec in, arcsec of sky moved out.
class GearAxis {
 public:
  GearAxis(double backlash, double stiction) : backlash_(backlash), stiction_(stiction) {}
  double move(double requested);
  int reversals() const { return reversals_; }

 private:
  double backlash_;
  double stiction_;
  int last_sign_ = 0;
  double slack_ = 0;  // backlash still to take up before the sky moves
  int reversals_ = 0;
};

// A repeatable Gaussian number for a seed and an index (mean 0, sigma 1).
double seeded_gaussian(std::uint64_t seed, std::uint64_t index);

}  // namespace tarvex
