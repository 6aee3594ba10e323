// Stretch and filter timings on a full 752 x 580 frame, single thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

#include "bench_frame.h"
#include "image/frame_store.h"
#include "platform/basic_ports.h"
#include "processing/filters.h"
#include "processing/stretch.h"

namespace {

using namespace tarvex;

template <typename Op>
void run(benchmark::State& state, Op op) {
  bench::run_on_picture(state, op);
}

void BM_apply_stretch_table(benchmark::State& state) {
  static StretchLevels table;
  fill_log_table(table);
  RecordingProgress progress;
  NullPump pump;
  run(state, [&](FrameStore& fs) {
    apply_stretch_table(fs, table, progress, pump);
    progress.positions.clear();
  });
}
BENCHMARK(BM_apply_stretch_table);

void BM_invert(benchmark::State& state) {
  RecordingProgress progress;
  NullPump pump;
  run(state, [&](FrameStore& fs) {
    invert_frame(fs, progress, pump);
    progress.positions.clear();
  });
}
BENCHMARK(BM_invert);

void BM_convolve(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0)), k = static_cast<int>(state.range(1)),
            d = static_cast<int>(state.range(2));
  run(state, [&](FrameStore& fs) { convolve_frame(fs, r, k, d); });
}
BENCHMARK(BM_convolve)
    ->ArgNames({"radius", "kernel", "divisor"})
    ->Args({1, 0, 16})
    ->Args({1, 2, 1})
    ->Args({2, 1, 80})
    ->Args({2, 3, 1})
    ->Args({2, 4, 1})
    ->Args({2, 5, 1});

void BM_unsharp_mask(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  run(state, [&](FrameStore& fs) { unsharp_mask(fs, r, 3); });
}
BENCHMARK(BM_unsharp_mask)->ArgName("radius")->DenseRange(1, 7);

void BM_median_filter(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  run(state, [&](FrameStore& fs) { median_filter(fs, r, 6); });
}
BENCHMARK(BM_median_filter)->ArgName("radius")->DenseRange(1, 3);

void BM_vertical_smoothing(benchmark::State& state) {
  bool downward = false;
  run(state, [&](FrameStore& fs) { vertical_smoothing(fs, downward); });
}
BENCHMARK(BM_vertical_smoothing);

void BM_gradient_filter(benchmark::State& state) {
  run(state, [&](FrameStore& fs) { gradient_filter(fs); });
}
BENCHMARK(BM_gradient_filter);

}  // namespace
