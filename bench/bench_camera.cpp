// Camera readout and composition on full frames, and the simulated camera.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "camera/readout.h"
#include "camera/usb_commands.h"
#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

std::unique_ptr<Frame> test_frame() {
  auto f = std::make_unique<Frame>();
  for (int y = 0; y < FRAME_HEIGHT; ++y)
    for (int x = 0; x < FRAME_WIDTH; ++x)
      (*f)[y * FRAME_WIDTH + x] =
          static_cast<std::uint16_t>(y % 2 == 0 ? 5000 + 60 * x : (5000 + 60 * x) * 9 / 10);
  return f;
}

void BM_PlaceField(benchmark::State& state) {
  std::vector<std::uint8_t> raw(FIELD_READ_BYTES, 0x35);
  auto frame = test_frame();
  int parity = 0;
  for (auto _ : state) {
    place_field(raw.data(), *frame, parity);
    parity ^= 1;
    benchmark::DoNotOptimize(frame->data());
  }
}
BENCHMARK(BM_PlaceField)->Unit(benchmark::kMillisecond);

void BM_FillOddRows(benchmark::State& state) {
  auto frame = test_frame();
  for (auto _ : state) {
    fill_odd_rows(*frame);
    benchmark::DoNotOptimize(frame->data());
  }
}
BENCHMARK(BM_FillOddRows)->Unit(benchmark::kMillisecond);

void BM_CombineFields(benchmark::State& state) {
  auto frame = test_frame();
  auto other = test_frame();
  auto work = test_frame();
  const int mode = static_cast<int>(state.range(0));
  for (auto _ : state) {
    combine_fields(*frame, *other, *work, mode);
    benchmark::DoNotOptimize(frame->data());
  }
}
BENCHMARK(BM_CombineFields)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_MatchFields(benchmark::State& state) {
  auto original = test_frame();
  auto frame = std::make_unique<Frame>();
  for (auto _ : state) {
    state.PauseTiming();
    *frame = *original;
    state.ResumeTiming();
    match_fields(*frame);
    benchmark::DoNotOptimize(frame->data());
  }
}
BENCHMARK(BM_MatchFields)->Unit(benchmark::kMillisecond);

void BM_SimRenderField(benchmark::State& state) {
  SkyRenderer sky;
  std::vector<std::uint16_t> raw(RAW_FIELD_LINES * RAW_LINE_SAMPLES);
  std::uint32_t n = 0;
  for (auto _ : state) {
    sky.render_field(static_cast<int>(n & 1), 1000, n, raw.data());
    ++n;
    benchmark::DoNotOptimize(raw.data());
  }
}
BENCHMARK(BM_SimRenderField)->Unit(benchmark::kMillisecond);

void BM_SimRenderFieldAfterSlew(benchmark::State& state) {
  SkyRenderer sky;
  std::vector<std::uint16_t> raw(RAW_FIELD_LINES * RAW_LINE_SAMPLES);
  std::uint32_t n = 0;
  for (auto _ : state) {
    sky.shift_pointing(0.5, 0.25);  // the mount moved: the star image is redrawn
    sky.render_field(0, 1000, n++, raw.data());
    benchmark::DoNotOptimize(raw.data());
  }
}
BENCHMARK(BM_SimRenderFieldAfterSlew)->Unit(benchmark::kMillisecond);

// A whole field on the chart, summed on the chip as in field mode, redrawn
// after a move.
void BM_SimRenderChartAfterSlew(benchmark::State& state) {
  SkyConfig config;
  config.scene = SkyScene::Chart;
  SkyRenderer sky(config);
  sky.set_field_readout(FieldReadout::Summed);
  std::vector<std::uint16_t> raw(RAW_FIELD_LINES * RAW_LINE_SAMPLES);
  std::uint32_t n = 0;
  for (auto _ : state) {
    sky.shift_pointing(1, 0);
    sky.render_field(0, 1000, n++, raw.data());
    benchmark::DoNotOptimize(raw.data());
  }
}
BENCHMARK(BM_SimRenderChartAfterSlew)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvex
