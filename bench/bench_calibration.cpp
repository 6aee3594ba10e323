// Star location, dark subtraction, flat division and merging on a full
// 752 x 580 frame, single thread.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

#include "image/frame_store.h"
#include "platform/basic_ports.h"
#include "processing/calibration.h"
#include "processing/merge.h"
#include "processing/star_location.h"

namespace tarvex {
namespace {

void fill_random(Frame& f, std::uint32_t seed, int lo, int hi) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(lo, hi);
  for (auto& v : f) v = static_cast<std::uint16_t>(d(rng));
}

std::unique_ptr<FrameStore> make_store() {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fill_random(fs->CurrentFrame, 1, 500, 40000);
  fill_random(fs->SecondFrame, 2, 100, 3000);
  return fs;
}

class NoProgress : public Progress {
 public:
  void open(const std::string&) override {}
  void set_position(int) override {}
  void close() override {}
  void busy_cursor(bool) override {}
};

void BM_LocateStar(benchmark::State& state) {
  auto fs = make_store();
  fill_random(fs->CurrentFrame, 3, 900, 1200);
  for (int i = -4; i <= 4; ++i)
    for (int j = -4; j <= 4; ++j)
      fs->CurrentFrame[static_cast<std::size_t>((300 + i) * 752 + 400 + j)] =
          static_cast<std::uint16_t>(1000 + 30000 * std::exp(-(i * i + j * j) / 4.0));
  StarLocation s;
  s.quiet = true;
  const int r = static_cast<int>(state.range(0));
  const FrameView view{fs->CurrentFrame.data(), FRAME_WIDTH, FRAME_HEIGHT};
  for (auto _ : state) {
    benchmark::DoNotOptimize(locate_star(s, view, 402, 298, r));
    benchmark::DoNotOptimize(s.position);
  }
}
BENCHMARK(BM_LocateStar)->Arg(8)->Arg(15)->Unit(benchmark::kMicrosecond);

void BM_SubtractDarkFrame(benchmark::State& state) {
  auto fs = make_store();
  const auto image = std::make_unique<Frame>(fs->CurrentFrame);
  for (auto _ : state) {
    subtract_dark_frame(*fs);
    benchmark::DoNotOptimize(fs->CurrentFrame.data());
    state.PauseTiming();
    fs->CurrentFrame = *image;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SubtractDarkFrame)->Unit(benchmark::kMillisecond);

void BM_DivideFlatField(benchmark::State& state) {
  auto fs = make_store();
  const auto image = std::make_unique<Frame>(fs->CurrentFrame);
  NoProgress progress;
  for (auto _ : state) {
    divide_flat_field(*fs, progress);
    benchmark::DoNotOptimize(fs->CurrentFrame.data());
    state.PauseTiming();
    fs->CurrentFrame = *image;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DivideFlatField)->Unit(benchmark::kMillisecond);

// The combination and the copy of the result into CurrentFrame, as the
// Merge button runs them (without the redisplay).
void BM_Merge(benchmark::State& state) {
  auto fs = make_store();
  const auto base = std::make_unique<Frame>(fs->SecondFrame);
  const bool average = state.range(0) != 0;
  const bool colour = state.range(1) != 0;
  for (auto _ : state) {
    combine_merge(*fs, 7, -3, 0, average, colour);
    std::copy(fs->SecondFrame.begin(), fs->SecondFrame.begin() + FRAME_SAMPLES,
              fs->CurrentFrame.begin());
    benchmark::DoNotOptimize(fs->CurrentFrame.data());
    state.PauseTiming();
    fs->SecondFrame = *base;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Merge)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvex
