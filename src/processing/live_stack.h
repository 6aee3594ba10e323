// A stack that grows one registered frame at a time, as at the telescope:
// the running mean of each pixel, with samples far from it rejected as they
// arrive (hot pixels that move with the registration, satellite trails,
// cosmic rays), so that they never reach the picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex {

class LiveStack {
 public:
  // `samples` per frame (all planes together); kappa: how many sigmas from
  // the running mean a sample may lie.
  explicit LiveStack(std::size_t samples, float kappa = 3.0F);

  // Adds a frame already on the first frame's geometry; NaN samples carry
  // no data. `noise` is the frame's background noise (one sigma), the least
  // spread a pixel is allowed, so that a few alike samples do not make every
  // later one an outlier. The first three frames are held and seeded with
  // their median, so an outlier in the first frame does not stay either.
  void add(const float* frame, float noise);

  int frames() const { return frames_; }
  // Samples rejected so far.
  std::size_t rejected() const { return rejected_; }
  // The stack: the mean of the accepted samples (NaN where none were).
  void result(float* out) const;

 private:
  static constexpr int kSeedFrames = 3;
  std::size_t samples_;
  float kappa_;
  int frames_ = 0;
  std::size_t rejected_ = 0;
  float noise_ = 0;                // the largest frame noise seen
  std::vector<float> seed_;        // the first frames, until the stack is seeded
  std::vector<double> mean_, m2_;  // Welford's running mean and sum of squares
  std::vector<std::uint32_t> count_;
  void accept(std::size_t i, float x);
  void seed();
};

}  // namespace tarvex
