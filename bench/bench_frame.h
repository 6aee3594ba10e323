// The pictures the processing benchmarks work on, made once (seeded), in
// CurrentFrame and again in SecondFrame, from which each run can start
// afresh: a sky of uniform noise with hot pixels, and a night sky.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "image/frame_store.h"

namespace tarvex::bench {

inline FrameStore& noisy_sky_store() {
  static std::unique_ptr<FrameStore> fs = [] {
    auto f = std::make_unique<FrameStore>();
    init_frame_store(*f);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(0, 2000), pick(0, 499);
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      int v = 3000 + noise(rng);
      if (pick(rng) == 0) v = 40000 + noise(rng) * 10;
      f->CurrentFrame[i] = static_cast<std::uint16_t>(std::min(v, 65535));
    }
    f->SecondFrame = f->CurrentFrame;
    return f;
  }();
  return *fs;
}

// A picture with a night sky's histogram: nearly every sample in a narrow
// peak around the background (a gentle gradient and Gaussian noise), stars
// of a steep brightness distribution spread by the seeing, some of them
// saturated, and a few hot pixels. A table look-up then reads the same few
// cache lines over and over, unlike on the uniform noise above.
inline FrameStore& night_sky_store() {
  static std::unique_ptr<FrameStore> fs = [] {
    auto f = std::make_unique<FrameStore>();
    init_frame_store(*f);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 25);
    std::vector<double> sky(FRAME_SAMPLES);
    for (int y = 0; y < FRAME_HEIGHT; ++y)
      for (int x = 0; x < FRAME_WIDTH; ++x)
        sky[y * FRAME_WIDTH + x] = 1200 + 0.3 * x + 0.2 * y + noise(rng);
    std::uniform_real_distribution<double> ux(0, FRAME_WIDTH), uy(0, FRAME_HEIGHT), uf(0, 1);
    for (int s = 0; s < 200; ++s) {
      const double cx = ux(rng), cy = uy(rng), peak = 200 + 200000 * std::pow(uf(rng), 6);
      for (int y = std::max(0, int(cy) - 8); y < std::min(FRAME_HEIGHT, int(cy) + 9); ++y)
        for (int x = std::max(0, int(cx) - 8); x < std::min(FRAME_WIDTH, int(cx) + 9); ++x)
          sky[y * FRAME_WIDTH + x] +=
              peak * std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (2 * 2.5 * 2.5));
    }
    std::uniform_int_distribution<int> at(0, FRAME_SAMPLES - 1);
    for (int h = 0; h < 30; ++h) sky[at(rng)] += 30000;
    for (int i = 0; i < FRAME_SAMPLES; ++i)
      f->CurrentFrame[i] = static_cast<std::uint16_t>(std::clamp(sky[i], 0.0, 65535.0));
    f->SecondFrame = f->CurrentFrame;
    return f;
  }();
  return *fs;
}

// Times `op(fs)` on the picture; every run starts from the same picture, and
// the reset is not timed.
template <typename Op>
void run_on_picture(benchmark::State& state, Op op, FrameStore& fs = noisy_sky_store()) {
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(fs.SecondFrame.begin(), fs.SecondFrame.end(), fs.CurrentFrame.begin());
    state.ResumeTiming();
    op(fs);
    benchmark::DoNotOptimize(fs.CurrentFrame.data());
  }
}

}  // namespace tarvex::bench
