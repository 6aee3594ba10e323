// Display rendering on a full 752 x 580 frame.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

#include "app/display_pipeline.h"
#include "app/tarvex.h"
#include "image/display.h"
#include "platform/basic_ports.h"

namespace tarvex {
namespace {

void fill_sky(FrameStore& fs) {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(9000.0, 1500.0);
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const double v = noise(rng);
    fs.CurrentFrame[i] = static_cast<std::uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
  }
}

void BM_DisplayBytesHistogramBackground(benchmark::State& state) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fill_sky(*fs);
  for (auto _ : state) {
    make_display_bytes(*fs, false);
    compute_image_histogram(*fs);
    benchmark::DoNotOptimize(fs->BackgroundLevel);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DisplayBytesHistogramBackground)->Unit(benchmark::kMicrosecond);

void BM_RefreshDisplayMonochrome(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-bench-XXXXXX").string();
  const char* made = ::mkdtemp(pattern.data());
  if (made == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::filesystem::path root(made);
  RecordingMessages messages;
  SteadyClock clock;
  NullPump pump;
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  Tarvex app(Paths(root), Ports{messages, clock, pump, progress, launcher, display});
  fill_sky(app.store());
  app.display.auto_contrast = true;
  for (auto _ : state) {
    if (!refresh_display(app).ok()) state.SkipWithError("bitmap not written");
    after_paint(app);
  }
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_RefreshDisplayMonochrome)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarvex
