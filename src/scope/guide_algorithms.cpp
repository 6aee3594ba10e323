#include "scope/guide_algorithms.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "scope/guiding.h"

namespace tarvex {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// How much of the star's uncorrected path the predictive model learns from.
constexpr double kHistorySeconds = 600;
// The model looks for periods once this much path is known, then again
// every so many frames as more comes in.
constexpr double kFirstSearchSeconds = 90;
constexpr int kSearchEveryFrames = 30;
constexpr std::size_t kMaxPeriods = 5;
// The straight line that serves until periods are known.
constexpr double kLocalSeconds = 30;
// The latest measurements whose mean departure from the model moves it:
// enough to average the seeing down, few enough to follow what the model
// does not yet know.
constexpr std::size_t kLevelFrames = 4;
// A Dec move this small against the way the axis goes and the drift goes
// is not made.
constexpr double kDecTurnPixels = 0.3;
// A drift of at least this much a frame counts as one.
constexpr double kDriftPixels = 0.005;
constexpr double kSmallestMove = 0.02;  // pixels; anything less is noise

int sign_of(double v) {
  return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

int pulse_ms(double pixels, double rate) {
  const double r = rate > 0 ? rate : 1;
  const double ms =
      std::clamp(pixels / r * 1000.0, -double{GUIDE_MAX_PULSE_MS}, double{GUIDE_MAX_PULSE_MS});
  return static_cast<int>(std::lround(ms));
}

// Least squares: the coefficients c minimising |A c - y|, A given row by
// row (n columns). A tiny ridge keeps a basis that the data cannot tell
// apart (a period as long as the history) from blowing up.
std::vector<double> least_squares(const std::vector<double>& rows, const std::vector<double>& y,
                                  std::size_t n) {
  std::vector<double> m(n * (n + 1), 0.0);  // normal equations, augmented
  for (std::size_t k = 0; k < y.size(); ++k) {
    const double* a = &rows[k * n];
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) m[i * (n + 1) + j] += a[i] * a[j];
      m[i * (n + 1) + n] += a[i] * y[k];
    }
  }
  for (std::size_t i = 0; i < n; ++i) m[i * (n + 1) + i] += 1e-9 * (1.0 + m[i * (n + 1) + i]);
  for (std::size_t col = 0; col < n; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < n; ++r)
      if (std::fabs(m[r * (n + 1) + col]) > std::fabs(m[pivot * (n + 1) + col])) pivot = r;
    if (pivot != col)
      for (std::size_t j = 0; j <= n; ++j) std::swap(m[col * (n + 1) + j], m[pivot * (n + 1) + j]);
    const double p = m[col * (n + 1) + col];
    if (std::fabs(p) < 1e-300) continue;
    for (std::size_t r = 0; r < n; ++r) {
      if (r == col) continue;
      const double f = m[r * (n + 1) + col] / p;
      if (f == 0) continue;
      for (std::size_t j = col; j <= n; ++j) m[r * (n + 1) + j] -= f * m[col * (n + 1) + j];
    }
  }
  std::vector<double> c(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const double p = m[i * (n + 1) + i];
    c[i] = std::fabs(p) < 1e-300 ? 0.0 : m[i * (n + 1) + n] / p;
  }
  return c;
}

// The basis at time t: a trend (constant, slope and, with enough history,
// curvature), then a sine and a cosine for each period.
std::size_t trend_terms(double span) {
  // A slope or a curvature fitted to a short stretch of noisy frames would
  // throw the prediction about more than it helps.
  return span >= 240 ? 3 : (span >= 15 ? 2 : 1);
}

void basis(double t, double t0, std::size_t trend, const std::vector<double>& periods,
           double* out) {
  const double tau = (t - t0) / 100.0;
  out[0] = 1;
  if (trend > 1) out[1] = tau;
  if (trend > 2) out[2] = tau * tau;
  for (std::size_t p = 0; p < periods.size(); ++p) {
    const double phase = kTwoPi * t / periods[p];
    out[trend + 2 * p] = std::sin(phase);
    out[trend + 2 * p + 1] = std::cos(phase);
  }
}

}  // namespace

Centroid measure_centroid(const std::uint16_t* frame, int side, double x, double y, int search,
                          int radius) {
  Centroid c;
  const int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
  const int margin = radius + 2;
  int bx = -1, by = -1;
  for (int j = std::max(margin, cy - search); j <= std::min(side - 1 - margin, cy + search); ++j)
    for (int i = std::max(margin, cx - search); i <= std::min(side - 1 - margin, cx + search); ++i)
      if (bx < 0 || frame[j * side + i] > frame[by * side + bx]) bx = i, by = j;
  if (bx < 0) return c;
  std::vector<std::uint16_t> ring;
  for (int j = by - radius - 2; j <= by + radius + 2; ++j)
    for (int i = bx - radius - 2; i <= bx + radius + 2; ++i)
      if (std::max(std::abs(i - bx), std::abs(j - by)) > radius)
        ring.push_back(frame[j * side + i]);
  std::nth_element(ring.begin(), ring.begin() + static_cast<long>(ring.size() / 2), ring.end());
  const double bg = ring[ring.size() / 2];
  // A peak that does not stand clear of the background is no star.
  if (frame[by * side + bx] - bg < 20) return c;
  // Each sample is weighed as the mean of the 2 x 2 block it starts, placed
  // at the block's centre: a block holds one photosite of each colour of a
  // mosaic sensor, so the filters' pattern does not pull the centroid
  // towards the photosites that see the star brightest.
  double sum = 0, sx = 0, sy = 0;
  for (int j = by - radius; j < by + radius; ++j)
    for (int i = bx - radius; i < bx + radius; ++i) {
      const double block = (frame[j * side + i] + frame[j * side + i + 1] +
                            frame[(j + 1) * side + i] + frame[(j + 1) * side + i + 1]) /
                           4.0;
      const double w = block - bg;
      sum += w;
      sx += w * (i + 0.5);
      sy += w * (j + 0.5);
    }
  if (sum <= 0) return c;
  c.found = true;
  c.x = sx / sum;
  c.y = sy / sum;
  return c;
}

double HysteresisAxis::step(double err) {
  const double blended = (1.0 - hysteresis) * err + hysteresis * last;
  last = blended;
  if (std::fabs(err) < min_move) return 0;
  return blended * aggression;
}

double ResistSwitchAxis::step(double err) {
  history.push_back(err);
  if (history.size() > 10) history.pop_front();
  if (std::fabs(err) < min_move) return 0;
  const int s = sign_of(err);
  if (direction == 0 || s == direction) {
    direction = s;
    return err * aggression;
  }
  // Against the way the axis goes: turn round for a large error at once,
  // otherwise only when the last three errors all lay clearly on this side.
  bool settled = history.size() >= 3 && std::fabs(err) >= 3 * min_move;
  if (!settled && history.size() >= 3) {
    settled = true;
    for (std::size_t i = history.size() - 3; i < history.size(); ++i)
      if (sign_of(history[i]) != s || std::fabs(history[i]) < min_move) settled = false;
  }
  if (!settled) return 0;
  direction = s;
  return err * aggression;
}

GuidePulses ReferenceGuide::next(const GuideInput& in) {
  GuidePulses p;
  if (!in.found) return p;
  p.ra_ms = pulse_ms(ra_.step(in.dx), rates_.ra);
  p.dec_ms = pulse_ms(dec_.step(in.dy), rates_.dec);
  return p;
}

// --- Predictive ---

void PredictedAxis::measure(double t, double offset, double moved) {
  const double d = offset - moved;
  // How well each model foretold this frame.
  for (Model* m : {&trend_, &periodic_}) {
    if (!m->ready) continue;
    const double e = m->value(t) - d;
    m->error = m->scored++ == 0 ? e * e : 0.95 * m->error + 0.05 * e * e;
  }
  history_.push_back({t, d});
  while (!history_.empty() && t - history_.front().t > kHistorySeconds) history_.pop_front();
  const double span = t - history_.front().t;
  ++since_search_;
  if (span >= kFirstSearchSeconds && since_search_ >= kSearchEveryFrames) {
    since_search_ = 0;
    const std::vector<double> before = periodic_.periods;
    find_periods();
    // New periods: their model starts afresh against the trend.
    if (periodic_.periods.size() != before.size()) periodic_.scored = 0, periodic_.ready = false;
  }
  trend_.fit(history_, kLocalSeconds);
  if (!periodic_.periods.empty()) periodic_.fit(history_, kHistorySeconds);
}

void PredictedAxis::Model::fit(const std::deque<Point>& history, double window) {
  std::size_t first = history.size() - 1;
  while (first > 0 && history.back().t - history[first - 1].t <= window) --first;
  const std::size_t count = history.size() - first;
  t0 = history.back().t;
  trend =
      std::min<std::size_t>(trend_terms(history.back().t - history[first].t), window < 60 ? 2 : 3);
  const std::size_t n = trend + 2 * periods.size();
  std::vector<double> rows(count * n), y(count);
  for (std::size_t k = 0; k < count; ++k) {
    basis(history[first + k].t, t0, trend, periods, &rows[k * n]);
    y[k] = history[first + k].d;
  }
  coefficients = least_squares(rows, y, n);
  level = 0;
  ready = true;
  double sum = 0;
  std::size_t used = 0;
  for (std::size_t k = count; k-- > 0 && used < kLevelFrames; ++used)
    sum += y[k] - value(history[first + k].t);
  level = used == 0 ? 0 : sum / static_cast<double>(used);
}

double PredictedAxis::Model::value(double t) const {
  const std::size_t n = trend + 2 * periods.size();
  std::vector<double> b(n);
  basis(t, t0, trend, periods, b.data());
  double v = level;
  for (std::size_t i = 0; i < n && i < coefficients.size(); ++i) v += coefficients[i] * b[i];
  return v;
}

bool PredictedAxis::predict(double t, double& at) const {
  if (!trend_.ready) return false;
  // The periodic model once it has foretold a few frames better.
  const bool periodic = periodic_.ready && periodic_.scored >= 10 && periodic_.error < trend_.error;
  at = (periodic ? periodic_ : trend_).value(t);
  return true;
}

// Finds the strongest periods in the path one at a time: the path less the
// trend and the periods already found is searched over a grid of
// frequencies (Hann-weighted, so that one strong period's side lobes are
// not taken for another), the strongest peak is kept when it stands well
// above the frame-to-frame noise, and the search repeats on what is left.
void PredictedAxis::find_periods() {
  const std::size_t count = history_.size();
  if (count < 32) return;
  const double first = history_.front().t, last = history_.back().t;
  const double span = last - first;
  const double spacing = span / static_cast<double>(count - 1);
  // The noise of single frames, from the differences of neighbours.
  double diff2 = 0;
  for (std::size_t k = 1; k < count; ++k) {
    const double d = history_[k].d - history_[k - 1].d;
    diff2 += d * d;
  }
  const double noise = std::sqrt(diff2 / static_cast<double>(count - 1) / 2.0);
  const double f_lo = 1.5 / span;
  const double f_hi = std::min(0.25 / spacing, 0.2);
  const double df = 0.25 / span;
  if (f_hi <= f_lo) return;
  const std::size_t bins = static_cast<std::size_t>((f_hi - f_lo) / df) + 1;
  std::vector<double> found;
  std::vector<double> weight(count);
  double weight_sum = 0;
  for (std::size_t k = 0; k < count; ++k) {
    weight[k] = 0.5 - 0.5 * std::cos(kTwoPi * (history_[k].t - first) / span);
    weight_sum += weight[k];
  }
  for (std::size_t round = 0; round < kMaxPeriods; ++round) {
    // What is left after the trend and the periods found so far.
    const std::size_t trend = trend_terms(span);
    const std::size_t n = trend + 2 * found.size();
    std::vector<double> rows(count * n), y(count);
    for (std::size_t k = 0; k < count; ++k) {
      basis(history_[k].t, last, trend, found, &rows[k * n]);
      y[k] = history_[k].d;
    }
    const std::vector<double> c = least_squares(rows, y, n);
    std::vector<std::complex<double>> power(bins);
    for (std::size_t k = 0; k < count; ++k) {
      double model = 0;
      for (std::size_t i = 0; i < n; ++i) model += c[i] * rows[k * n + i];
      const double r = (y[k] - model) * weight[k];
      const double t = history_[k].t - first;
      std::complex<double> z = std::polar(1.0, -kTwoPi * f_lo * t);
      const std::complex<double> turn = std::polar(1.0, -kTwoPi * df * t);
      for (std::size_t b = 0; b < bins; ++b) {
        power[b] += r * z;
        z *= turn;
      }
    }
    std::size_t best = bins;
    double best_amp = 0;
    for (std::size_t b = 1; b + 1 < bins; ++b) {
      const double a = std::abs(power[b]);
      if (a > best_amp && a >= std::abs(power[b - 1]) && a >= std::abs(power[b + 1])) {
        best_amp = a;
        best = b;
      }
    }
    if (best == bins) break;
    // An amplitude estimate, and white noise's typical peak over the grid.
    const double amplitude = 2.0 * best_amp / weight_sum;
    const double noise_peak = 3.5 * noise * std::sqrt(6.0 / static_cast<double>(count));
    if (amplitude < noise_peak) break;
    // The peak between the grid's bins.
    const double a0 = std::abs(power[best - 1]), a1 = best_amp, a2 = std::abs(power[best + 1]);
    const double denom = a0 - 2 * a1 + a2;
    const double shift = denom != 0 ? std::clamp(0.5 * (a0 - a2) / denom, -0.5, 0.5) : 0.0;
    const double period = 1.0 / (f_lo + (static_cast<double>(best) + shift) * df);
    bool known = false;
    for (double p : found)
      if (std::fabs(1.0 / p - 1.0 / period) < 0.75 / span) known = true;
    if (known) break;
    found.push_back(period);
  }
  periodic_.periods = found;
}

double PredictiveGuide::pulse_for(PredictedAxis& axis, double t_next, double moved, double rate,
                                  int axis_index, bool& ok) {
  double at = 0;
  ok = axis.predict(t_next, at);
  if (!ok) return 0;
  double u = -at - moved;
  if (std::fabs(u) < kSmallestMove) return 0;
  if (axis_index == 1) {
    // Turning the Dec gear round costs its backlash. When the learned drift
    // keeps pushing the way the axis goes, a small move back is only the
    // seeing: the drift takes up the gap by itself in a frame or two.
    double now = 0;
    const double drift = axis.predict(t_next - interval_, now) ? -(at - now) : 0.0;
    if (free_turns_ == 0 && dec_direction_ != 0 && sign_of(u) != dec_direction_ &&
        std::fabs(u) < kDecTurnPixels && sign_of(drift) == dec_direction_ &&
        std::fabs(drift) > kDriftPixels)
      return 0;
    dec_direction_ = sign_of(u);
  }
  const int ms = pulse_ms(u, rate);
  return ms / 1000.0 * rate;  // the move the pulse makes
}

GuidePulses PredictiveGuide::next(const GuideInput& in) {
  GuidePulses p;
  if (last_t_ >= 0) {
    const double dt = in.t - last_t_;
    if (dt > 0) interval_ = interval_ == 0 ? dt : 0.8 * interval_ + 0.2 * dt;
  }
  last_t_ = in.t;
  if (in.found) {
    ra_.measure(in.t, -in.dx, moved_ra_);
    dec_.measure(in.t, -in.dy, moved_dec_);
    last_found_t_ = in.t;
  } else {
    if (last_found_t_ < 0 || in.t - last_found_t_ > lost_seconds_) return p;
    p.holding_drift = true;
  }
  const double t_next = in.t + (interval_ > 0 ? interval_ : 1.0);
  if (free_turns_ > 0) --free_turns_;
  bool ok = false;
  const double ra = pulse_for(ra_, t_next, moved_ra_, rates_.ra, 0, ok);
  const double dec = pulse_for(dec_, t_next, moved_dec_, rates_.dec, 1, ok);
  moved_ra_ += ra;
  moved_dec_ += dec;
  p.ra_ms = pulse_ms(ra, rates_.ra);
  p.dec_ms = pulse_ms(dec, rates_.dec);
  return p;
}

}  // namespace tarvex
