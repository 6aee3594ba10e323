#include "app/guiding/guide_benchmark.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

#include "scope/guide_algorithms.h"
#include "scope/guiding.h"

namespace tarvex {

namespace {

BenchScenario make_scenario(std::string_view name, DisturbanceConfig d, std::uint64_t seed) {
  d.seed = seed;
  return {name, d};
}

const std::array<BenchScenario, 4>& scenarios() {
  static const std::array<BenchScenario, 4> all = [] {
    DisturbanceConfig seeing;
    seeing.seeing = 3;
    DisturbanceConfig pe;
    pe.pe = 5;
    pe.seeing = 1;
    DisturbanceConfig drift;
    drift.seeing = 1;
    drift.drift = 10;
    drift.backlash = 3;
    DisturbanceConfig cloud = realistic_disturbance();
    cloud.clouds = 60;
    return std::array<BenchScenario, 4>{
        make_scenario("seeing", seeing, 11), make_scenario("pe", pe, 12),
        make_scenario("drift-backlash", drift, 13), make_scenario("cloud", cloud, 14)};
  }();
  return all;
}

// The benchmark's camera: a 32 x 32 window, a star of 1.2 pixels sigma and
// 20000 counts over a background of 50 with a read noise of 4, shot noise
// included. Guide exposures of a second, a tenth of a second to read.
constexpr int kWindow = 32;
constexpr double kStarSigma = 1.2;
constexpr double kStarCounts = 20000;
constexpr double kBackground = 50;
constexpr double kReadNoise = 4;
constexpr double kExposureS = 1.0;
constexpr double kReadS = 0.1;
constexpr int kExposureSteps = 10;
// The guide rate: sidereal, on both axes.
constexpr double kGuideArcsecPerS = SIDEREAL_ARCSEC_PER_S;
constexpr int kTrainingSeconds = 1;

struct Measured {
  bool found = false;
  double x = 0, y = 0;  // pixels, in the frame
};

class BenchRig {
 public:
  explicit BenchRig(const DisturbanceConfig& d)
      : model_(d), ra_gear_(0, d.stiction), dec_gear_(d.backlash, d.stiction) {}

  // The star's true position, pixels from where it started.
  double star_x(double t) const {
    return (model_.periodic_error(model_.worm_seconds(t, ra_moved_)) + mount_ra_) /
           BENCH_ARCSEC_PER_PIXEL;
  }
  double star_y(double t) const {
    return (model_.dec_drift(t) + mount_dec_) / BENCH_ARCSEC_PER_PIXEL;
  }

  // One guide exposure with its window centred at (cx, cy); the clock moves
  // on by the exposure and its read.
  Measured expose(double cx, double cy) {
    double x = 0, y = 0;
    for (int i = 0; i < kExposureSteps; ++i) {
      const double at = t_ + (i + 0.5) * kExposureS / kExposureSteps;
      x += star_x(at);
      y += star_y(at);
    }
    const SeeingOffset s = model_.seeing(frame_);
    x = x / kExposureSteps + s.ra / BENCH_ARCSEC_PER_PIXEL;
    y = y / kExposureSteps + s.dec / BENCH_ARCSEC_PER_PIXEL;
    const double light = model_.transmission(t_ + kExposureS / 2);
    last_mid_ = t_ + kExposureS / 2;
    const Measured m = measure(cx, cy, x, y, light);
    ++frame_;
    t_ += kExposureS + kReadS;
    return m;
  }

  // Guide pulses, signed milliseconds (positive east and north); the clock
  // moves on by the longer one.
  void pulse(int ra_ms, int dec_ms) {
    const double ra = ra_gear_.move(kGuideArcsecPerS * ra_ms / 1000.0);
    mount_ra_ += ra;
    ra_moved_ += ra;
    mount_dec_ += dec_gear_.move(kGuideArcsecPerS * dec_ms / 1000.0);
    t_ += std::max(std::abs(ra_ms), std::abs(dec_ms)) / 1000.0;
  }
  double mid_exposure() const { return last_mid_; }

 private:
  // Draws the star into the window (each pixel takes the part of the
  // Gaussian over its area), adds the noise, and measures the star as the
  // centroid around the brightest pixel above the background.
  Measured measure(double cx, double cy, double x, double y, double light) {
    const int x0 = static_cast<int>(std::floor(cx)) - kWindow / 2;
    const int y0 = static_cast<int>(std::floor(cy)) - kWindow / 2;
    std::array<double, kWindow> ex{}, ey{};
    const double k = 1.0 / (std::sqrt(2.0) * kStarSigma);
    for (int i = 0; i < kWindow; ++i) {
      ex[i] = 0.5 * (std::erf((x0 + i + 1 - x) * k) - std::erf((x0 + i - x) * k));
      ey[i] = 0.5 * (std::erf((y0 + i + 1 - y) * k) - std::erf((y0 + i - y) * k));
    }
    std::array<double, kWindow * kWindow> v{};
    for (int j = 0; j < kWindow; ++j)
      for (int i = 0; i < kWindow; ++i) {
        const double s = kBackground + kStarCounts * light * ex[i] * ey[j];
        const std::uint64_t index = frame_ * kWindow * kWindow + j * kWindow + i;
        v[j * kWindow + i] = s + std::sqrt(s + kReadNoise * kReadNoise) *
                                     seeded_gaussian(model_.config().seed ^ 0xca3e7aULL, index);
      }
    double bg = 0;
    for (int i = 0; i < kWindow; ++i)
      bg += v[i] + v[(kWindow - 1) * kWindow + i] + v[i * kWindow] + v[i * kWindow + kWindow - 1];
    bg /= 4.0 * kWindow;
    int best = -1;
    for (int j = 4; j < kWindow - 4; ++j)
      for (int i = 4; i < kWindow - 4; ++i)
        if (best < 0 || v[j * kWindow + i] > v[best]) best = j * kWindow + i;
    const double noise = std::sqrt(kBackground + kReadNoise * kReadNoise);
    Measured m;
    if (v[best] - bg < 10 * noise) return m;
    const int bi = best % kWindow, bj = best / kWindow;
    double sum = 0, sx = 0, sy = 0;
    for (int j = bj - 4; j <= bj + 4; ++j)
      for (int i = bi - 4; i <= bi + 4; ++i) {
        const double w = v[j * kWindow + i] - bg;
        sum += w;
        sx += w * (i + 0.5);
        sy += w * (j + 0.5);
      }
    if (sum <= 0) return m;
    m.found = true;
    m.x = x0 + sx / sum;
    m.y = y0 + sy / sum;
    return m;
  }

  MountDisturbance model_;
  GearAxis ra_gear_, dec_gear_;
  double mount_ra_ = 0, mount_dec_ = 0;  // arcsec moved by guide pulses
  double ra_moved_ = 0;
  double t_ = 0;
  double last_mid_ = 0;
  std::uint64_t frame_ = 0;
};

// Training as the program does it: two pulses each way on each axis with a
// frame after each, the rates from the legs. The trained rates in whole
// pixels per second, as the classic correction keeps them, and in pixels.
struct Trained {
  TrainingResult whole;
  GuideRates rates;
  double x = 0, y = 0;  // where the star was last seen
  bool ok = false;
};

Trained train(BenchRig& rig) {
  Trained t;
  Measured m = rig.expose(0, 0);
  if (!m.found) return t;
  const int ms = kTrainingSeconds * 1000;
  double ys[5] = {m.y}, xs[5] = {};
  const int dec_pulses[4] = {ms, ms, -ms, -ms};
  for (int i = 0; i < 4; ++i) {
    rig.pulse(0, dec_pulses[i]);
    m = rig.expose(m.x, m.y);
    if (!m.found) return t;
    ys[i + 1] = m.y;
  }
  xs[0] = m.x;
  for (int i = 0; i < 4; ++i) {
    rig.pulse(dec_pulses[i], 0);
    m = rig.expose(m.x, m.y);
    if (!m.found) return t;
    xs[i + 1] = m.x;
  }
  TrainingLegs legs;
  int* wy[5] = {&legs.y0, &legs.y1, &legs.y2, &legs.y3, &legs.y4};
  int* wx[5] = {&legs.x0, &legs.x1, &legs.x2, &legs.x3, &legs.x4};
  for (int i = 0; i < 5; ++i) {
    *wy[i] = static_cast<int>(std::lround(ys[i]));
    *wx[i] = static_cast<int>(std::lround(xs[i]));
  }
  t.whole = stored_training_values(training_result(legs, kTrainingSeconds));
  t.rates.ra = (std::fabs(xs[3] - xs[4]) + std::fabs(xs[1] - xs[2])) / (2.0 * kTrainingSeconds);
  t.rates.dec =
      std::max(std::fabs(ys[1] - ys[2]), std::fabs(ys[3] - ys[4])) / double{kTrainingSeconds};
  t.x = m.x;
  t.y = m.y;
  t.ok = t.rates.ra > 0 && t.rates.dec > 0;
  return t;
}

// The classic correction behind the algorithms' interface: the error in
// tenths of a pixel, as the program's star location gives it, corrected
// whole every frame with the trained whole-pixel rates.
class ClassicGuide : public GuideAlgorithm {
 public:
  explicit ClassicGuide(const TrainingResult& trained) {
    p_.ra_rate = trained.ra_rate;
    p_.dec_rate = trained.dec_rate;
    p_.ra_backlash = trained.ra_backlash;
    p_.dec_backlash = trained.dec_backlash;
    p_.ra_hysteresis = 0;
    p_.dec_hysteresis = 0;
  }
  GuidePulses next(const GuideInput& in) override {
    GuidePulses out;
    if (!in.found) return out;
    const int dx = static_cast<int>(std::lround(in.dx * 10)) * 100;
    const int dy = static_cast<int>(std::lround(in.dy * 10)) * 100;
    const Correction c = guide_correction(dx, dy, p_, false, memory_);
    if (c.ra.send) out.ra_ms = c.ra.positive ? c.ra.ms : -c.ra.ms;
    if (c.dec.send) out.dec_ms = c.dec.positive ? c.dec.ms : -c.dec.ms;
    return out;
  }

 private:
  GuideParameters p_;
  CorrectionMemory memory_;
};

}  // namespace

std::span<const BenchScenario> bench_scenarios() {
  return scenarios();
}

const BenchScenario* find_bench_scenario(std::string_view name) {
  for (const BenchScenario& s : scenarios())
    if (s.name == name) return &s;
  return nullptr;
}

std::string_view bench_algorithm_name(BenchAlgorithm a) {
  switch (a) {
    case BenchAlgorithm::Classic: return "classic";
    case BenchAlgorithm::Reference: return "reference";
    case BenchAlgorithm::Predictive: return "predictive";
  }
  return "classic";
}

BenchResult run_guide_benchmark(const BenchScenario& scenario, BenchAlgorithm algorithm,
                                double minutes) {
  BenchResult r;
  BenchRig rig(scenario.disturbance);
  const Trained trained = train(rig);
  if (!trained.ok) return r;
  std::unique_ptr<GuideAlgorithm> guide;
  switch (algorithm) {
    case BenchAlgorithm::Classic: guide = std::make_unique<ClassicGuide>(trained.whole); break;
    case BenchAlgorithm::Reference: guide = std::make_unique<ReferenceGuide>(trained.rates); break;
    case BenchAlgorithm::Predictive:
      guide = std::make_unique<PredictiveGuide>(trained.rates, DEFAULT_LOST_STAR_SECONDS);
      break;
  }
  // The reference is where the star is first seen after training.
  Measured m = rig.expose(trained.x, trained.y);
  if (!m.found) return r;
  const double ref_x = m.x, ref_y = m.y;
  const double start = rig.mid_exposure();
  double sum_xx = 0, sum_yy = 0;
  int last_dec = 0;
  while (rig.mid_exposure() - start < minutes * 60.0) {
    m = rig.expose(ref_x, ref_y);
    ++r.frames;
    GuideInput in;
    in.t = rig.mid_exposure();
    in.found = m.found;
    if (m.found) {
      in.dx = ref_x - m.x;
      in.dy = ref_y - m.y;
      const double ex = in.dx * BENCH_ARCSEC_PER_PIXEL, ey = in.dy * BENCH_ARCSEC_PER_PIXEL;
      sum_xx += ex * ex;
      sum_yy += ey * ey;
      r.peak = std::max(r.peak, std::hypot(ex, ey));
    } else {
      ++r.lost_frames;
    }
    const GuidePulses p = guide->next(in);
    if (p.holding_drift) ++r.holding_frames;
    if (p.dec_ms != 0) {
      const int s = p.dec_ms > 0 ? 1 : -1;
      if (last_dec != 0 && s != last_dec) ++r.dec_reversals;
      last_dec = s;
    }
    rig.pulse(p.ra_ms, p.dec_ms);
  }
  const int found = r.frames - r.lost_frames;
  if (found > 0) {
    r.rms_ra = std::sqrt(sum_xx / found);
    r.rms_dec = std::sqrt(sum_yy / found);
    r.rms_total = std::hypot(r.rms_ra, r.rms_dec);
  }
  return r;
}

double bench_floor(const BenchScenario& scenario) {
  return std::sqrt(2.0) * SEEING_SIGMA_PER_FWHM * scenario.disturbance.seeing;
}

std::string bench_line(const BenchScenario& scenario, BenchAlgorithm algorithm,
                       const BenchResult& r) {
  char line[200];
  std::snprintf(line, sizeof line,
                "scenario %.*s controller %.*s rms-ra %.2f\" rms-dec %.2f\" rms-total %.2f\" "
                "peak %.2f\" dec-reversals %d",
                static_cast<int>(scenario.name.size()), scenario.name.data(),
                static_cast<int>(bench_algorithm_name(algorithm).size()),
                bench_algorithm_name(algorithm).data(), r.rms_ra, r.rms_dec, r.rms_total, r.peak,
                r.dec_reversals);
  return line;
}

std::string bench_floor_line(const BenchScenario& scenario) {
  char line[100];
  std::snprintf(line, sizeof line, "scenario %.*s floor %.2f\"",
                static_cast<int>(scenario.name.size()), scenario.name.data(),
                bench_floor(scenario));
  return line;
}

}  // namespace tarvex
