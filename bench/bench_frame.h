// The picture the processing benchmarks work on: a sky of noise with stars
// and hot pixels, made once (seeded), in CurrentFrame and again in
// SecondFrame, from which each run can start afresh.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

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

// Times `op(fs)` on the picture; every run starts from the same picture, and
// the reset is not timed.
template <typename Op>
void run_on_picture(benchmark::State& state, Op op) {
  FrameStore& fs = noisy_sky_store();
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(fs.SecondFrame.begin(), fs.SecondFrame.end(), fs.CurrentFrame.begin());
    state.ResumeTiming();
    op(fs);
    benchmark::DoNotOptimize(fs.CurrentFrame.data());
  }
}

}  // namespace tarvex::bench
