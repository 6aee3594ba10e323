// Guide algorithms that turn each measured guide error into correction
// pulses, beside the program's classic correction (guide_correction in
// scope/guiding.h, which moves the whole error every frame):
//
//  - `reference`: the common default of guiding programs. RA goes through a
//    hysteresis filter (each move is blended with the last one and scaled
//    by an aggression; errors below a minimum move are left alone); Dec
//    through a resist-switch filter, which keeps pushing one way and turns
//    round only when the error has clearly settled on the other side.
//  - `predictive`: learns what the mount does when left alone (the drift
//    and the gear's periodic error, found as the strongest periods in the
//    star's uncorrected path) and corrects for where the star will be at the
//    next frame, not where it was. While the star is lost it keeps applying
//    what it learned for a settable time.
//
// Errors are in pixels, reference minus star (positive: a correction east in
// RA, north in Dec), as the classic correction takes them; times in
// seconds. Pulses come out in milliseconds, signed positive east and north.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

namespace tarvex {

struct GuideInput {
  double t = 0;        // when the frame was taken, seconds
  bool found = false;  // the star was measured in this frame
  double dx = 0;       // RA error, pixels
  double dy = 0;       // Dec error, pixels
};

struct GuidePulses {
  int ra_ms = 0;   // signed: positive east, negative west
  int dec_ms = 0;  // signed: positive north, negative south
  // The star is lost and the pulses carry on the drift learned before.
  bool holding_drift = false;
};

// Pixels per second of guide pulse on each axis, as training measured them.
struct GuideRates {
  double ra = 1;
  double dec = 1;
};

class GuideAlgorithm {
 public:
  virtual ~GuideAlgorithm() = default;
  virtual GuidePulses next(const GuideInput& in) = 0;
  // The reference the star is held at moved by (dx, dy) pixels (a dither):
  // the star did not move, so what was learned of its path still holds.
  virtual void reference_moved(double /*dx*/, double /*dy*/) {}
};

// RA: hysteresis filter.
struct HysteresisAxis {
  double hysteresis = 0.1;
  double aggression = 0.7;
  double min_move = 0.2;  // pixels
  double last = 0;
  // The move to make for error `err`, pixels.
  double step(double err);
};

// Dec: resist-switch filter.
struct ResistSwitchAxis {
  double aggression = 1.0;
  double min_move = 0.2;  // pixels
  int direction = 0;      // the way the axis is being pushed: +1, -1, 0 not yet
  std::deque<double> history;
  double step(double err);
};

class ReferenceGuide : public GuideAlgorithm {
 public:
  explicit ReferenceGuide(const GuideRates& rates) : rates_(rates) {}
  GuidePulses next(const GuideInput& in) override;

 private:
  GuideRates rates_;
  HysteresisAxis ra_;
  ResistSwitchAxis dec_;
};

// One axis of the predictive algorithm: the history of where the star would
// have been without corrections, and two models fitted to it: a straight
// line through the last half minute, and a trend with the periods found in
// the whole history. The one that foretold the
// latest frames better is believed: while the periods are still being
// learned (or when there are none) that is the trend.
class PredictedAxis {
 public:
  // Notes a measured offset (star minus reference, pixels) at time `t`;
  // `moved` is every correction applied so far, pixels.
  void measure(double t, double offset, double moved);
  // Where the uncorrected star will be at time `t`, pixels; false before
  // anything was learned.
  bool predict(double t, double& at) const;
  // The periods the model follows, seconds.
  const std::vector<double>& periods() const { return periodic_.periods; }

  struct Point {
    double t;
    double d;
  };
  struct Model {
    std::vector<double> periods;
    std::vector<double> coefficients;  // trend, then a sine and a cosine per period
    double t0 = 0;                     // the time the trend is measured from
    std::size_t trend = 1;             // terms of the trend
    double level = 0;                  // the latest frames' mean departure from the fit
    double error = 0;                  // mean square of its recent predictions' errors
    int scored = 0;                    // predictions that error is made of
    bool ready = false;
    // Fits the points of the last `window` seconds of `history`.
    void fit(const std::deque<Point>& history, double window);
    double value(double t) const;
  };

 private:
  void find_periods();

  std::deque<Point> history_;
  Model trend_, periodic_;
  int since_search_ = 0;
};

class PredictiveGuide : public GuideAlgorithm {
 public:
  PredictiveGuide(const GuideRates& rates, double lost_seconds)
      : rates_(rates), lost_seconds_(lost_seconds) {}
  GuidePulses next(const GuideInput& in) override;
  // The star's offset from the reference changes by the move, not its
  // path: the move is booked as if the mount had made it the other way.
  // For a few frames after it the Dec axis turns round freely: waiting for
  // the drift to take up a small overshoot would hold the settling up.
  void reference_moved(double dx, double dy) override {
    moved_ra_ -= dx;
    moved_dec_ -= dy;
    free_turns_ = kFreeTurnFrames;
  }
  const PredictedAxis& ra() const { return ra_; }

 private:
  double pulse_for(PredictedAxis& axis, double t_next, double moved, double rate, int axis_index,
                   bool& ok);

  GuideRates rates_;
  double lost_seconds_;
  PredictedAxis ra_, dec_;
  double moved_ra_ = 0, moved_dec_ = 0;  // pixels corrected so far
  double last_t_ = -1;
  double interval_ = 0;
  double last_found_t_ = -1;
  int dec_direction_ = 0;
  static constexpr int kFreeTurnFrames = 8;
  int free_turns_ = 0;  // frames left in which Dec turns round freely
};

// The star's centroid in a square frame of `side` x `side` samples: the
// brightest sample within `search` of (x, y), then the light above the
// background (the median of a ring around it) weighted over a box of
// `radius` around that sample, each sample taken with its neighbours of a
// 2 x 2 block (one of each of a mosaic's filters). Sub-pixel, unlike the star
// location's tenths.
struct Centroid {
  bool found = false;
  double x = 0, y = 0;
};
Centroid measure_centroid(const std::uint16_t* frame, int side, double x, double y, int search,
                          int radius);

inline constexpr std::string_view GUIDE_ALGORITHM_CLASSIC = "classic";
inline constexpr std::string_view GUIDE_ALGORITHM_PREDICTIVE = "predictive";
inline constexpr double DEFAULT_LOST_STAR_SECONDS = 60;

}  // namespace tarvex
