// Colour synthesis, colour picture and colour correction timings on a full
// 752 x 580 frame, single thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

#include "colour/colour_display.h"
#include "colour/corrections.h"
#include "colour/synthesis.h"
#include "image/frame_store.h"
#include "platform/basic_ports.h"

namespace {

using namespace tarvex;

// A raw mosaic sky with stars and hot pixels, made once, and kept in
// UndoFrame so that every run starts from it.
FrameStore& store() {
  static std::unique_ptr<FrameStore> fs = [] {
    auto f = std::make_unique<FrameStore>();
    init_frame_store(*f);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(0, 2000), pick(0, 499);
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      int v = 3000 + ((i % FRAME_WIDTH) % 2) * 800 + noise(rng);
      if (pick(rng) == 0) v = 40000 + noise(rng) * 15;
      f->CurrentFrame[i] = static_cast<std::uint16_t>(std::min(v, 65535));
    }
    f->UndoFrame = f->CurrentFrame;
    return f;
  }();
  return *fs;
}

void reset_raw(FrameStore& fs) {
  std::copy(fs.UndoFrame.begin(), fs.UndoFrame.end(), fs.CurrentFrame.begin());
}

// Synthesised planes to start the colour corrections and the picture from.
FrameStore& colour_store() {
  static bool made = false;
  FrameStore& fs = store();
  if (!made) {
    reset_raw(fs);
    synthesize_mosaic(fs, colour_divisors(false, false), {false, true});
    repair_and_finish(fs, false, true);
    std::copy(fs.SecondFrame.begin(), fs.SecondFrame.end(), fs.CurrentFrame.begin());
    fs.IsColour = true;
    // Keep a copy of the planes in the saved planes for the resets.
    save_colour_planes(fs);
    make_display_bytes(fs, false);
    made = true;
  }
  return fs;
}

void restore_planes(FrameStore& fs) {
  std::copy(fs.RedSaved.begin(), fs.RedSaved.end(), fs.RedPlane.begin());
  std::copy(fs.GreenSaved.begin(), fs.GreenSaved.end(), fs.GreenPlane.begin());
  std::copy(fs.BlueSaved.begin(), fs.BlueSaved.end(), fs.BluePlane.begin());
}

void BM_synthesis_core(benchmark::State& state) {
  FrameStore& fs = store();
  reset_raw(fs);
  for (auto _ : state) {
    synthesize_mosaic(fs, colour_divisors(false, false), {false, true});
    repair_and_finish(fs, false, false);
    benchmark::DoNotOptimize(fs.RedPlane.data());
  }
}
BENCHMARK(BM_synthesis_core)->Unit(benchmark::kMillisecond);

void BM_synthesis_smoothing_anti_alias(benchmark::State& state) {
  FrameStore& fs = store();
  reset_raw(fs);
  for (auto _ : state) {
    synthesize_mosaic(fs, colour_divisors(false, false), {false, true});
    repair_and_finish(fs, false, true);
    anti_alias_planes(fs);
    benchmark::DoNotOptimize(fs.RedPlane.data());
  }
}
BENCHMARK(BM_synthesis_smoothing_anti_alias)->Unit(benchmark::kMillisecond);

void BM_anti_alias(benchmark::State& state) {
  FrameStore& fs = colour_store();
  for (auto _ : state) {
    state.PauseTiming();
    restore_planes(fs);
    state.ResumeTiming();
    anti_alias_planes(fs);
    benchmark::DoNotOptimize(fs.RedPlane.data());
  }
}
BENCHMARK(BM_anti_alias)->Unit(benchmark::kMillisecond);

void BM_colour_picture(benchmark::State& state) {
  FrameStore& fs = colour_store();
  DisplayState ds;
  ds.auto_contrast = state.range(0) != 0;
  Settings settings;
  for (auto _ : state) {
    for (int s = 0; s < 10; ++s) build_colour_rows(fs, ds, settings, s * 58, s * 58 + 58);
    benchmark::DoNotOptimize(fs.RgbBitmap.data());
  }
}
BENCHMARK(BM_colour_picture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

template <typename Op>
void correction(benchmark::State& state, Op op) {
  FrameStore& fs = colour_store();
  for (auto _ : state) {
    state.PauseTiming();
    restore_planes(fs);
    state.ResumeTiming();
    op(fs);
    benchmark::DoNotOptimize(fs.RedPlane.data());
  }
  restore_planes(fs);
}

void BM_colour_balance(benchmark::State& state) {
  ColourBalance b;
  b.red.start = 3;
  b.green.minimum = -5;
  b.blue.maximum = 280;
  correction(state, [&](FrameStore& fs) { balance_planes(fs, b); });
}
BENCHMARK(BM_colour_balance)->Unit(benchmark::kMillisecond);

void BM_chromatism(benchmark::State& state) {
  correction(state, [](FrameStore& fs) { shift_planes(fs, {1, -2, -1, 3}); });
}
BENCHMARK(BM_chromatism)->Unit(benchmark::kMillisecond);

void BM_overload_smoothing(benchmark::State& state) {
  FrameStore& fs = colour_store();
  for (auto _ : state) {
    state.PauseTiming();
    restore_planes(fs);
    std::copy(fs.SecondFrame.begin(), fs.SecondFrame.end(), fs.CurrentFrame.begin());
    state.ResumeTiming();
    overload_smoothing(fs);
    benchmark::DoNotOptimize(fs.RedPlane.data());
  }
  restore_planes(fs);
}
BENCHMARK(BM_overload_smoothing)->Unit(benchmark::kMillisecond);

void BM_low_pass_colour(benchmark::State& state) {
  correction(state, [](FrameStore& fs) { smooth_planes(fs, 0, 16); });
}
BENCHMARK(BM_low_pass_colour)->Unit(benchmark::kMillisecond);

void BM_balance_colour_histogram(benchmark::State& state) {
  correction(state, [](FrameStore& fs) { balance_colour_histogram(fs); });
}
BENCHMARK(BM_balance_colour_histogram)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
