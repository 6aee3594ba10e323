// The live stack on the simulated camera: the processing time of one frame
// (colour synthesis, stars, registration, resampling and the running
// rejection; the display not included), the background noise of the stack
// at 16 and 64 frames against one frame, and the colour chart through a
// 16-frame stack against a single frame (CIEDE2000 per patch).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "../tests/colour/ciede2000.h"
#include "app/capture/sequencer.h"
#include "app/stack/live_stack_run.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"

namespace tarvex {
namespace {

struct Sim {
  explicit Sim(const SkyConfig& sky)
      : root(std::filesystem::temp_directory_path() /
             ("tarvex-bench-live-" + std::to_string(::getpid()))),
        camera(clock, sky),
        app(Paths(root), Ports{messages, clock, pump, progress, launcher, display, camera}) {}
  ~Sim() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path root;
  VirtualClock clock;
  RecordingMessages messages;
  NullPump pump;
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SimCamera camera;
  Tarvex app;
};

struct OneExposure : CaptureFront {
  CameraDialogResult run_camera_dialog(AcquisitionSettings& a) override {
    a.mode = ExposureMode::Interlaced;
    a.range = ExposureRange::Seconds;
    a.value = 1;
    a.count = 1;
    return CameraDialogResult::TakePhoto;
  }
};

// `n` raw exposures, the mount drifting 1.3, 0.7 pixels between them.
std::vector<std::unique_ptr<Frame>> night(const SkyConfig& sky, int n, bool drift) {
  Sim sim(sky);
  std::vector<std::unique_ptr<Frame>> frames;
  for (int k = 0; k < n; ++k) {
    OneExposure front;
    Sequencer sequencer(sim.app, front);
    sequencer.take_photo();
    frames.push_back(std::make_unique<Frame>(sim.app.store().CurrentFrame));
    if (drift) sim.camera.shift_pointing(1.3, 0.7);
  }
  return frames;
}

// A stack that is neither shown nor saved while it grows.
LiveStackOptions quiet(const std::filesystem::path& out) {
  LiveStackOptions o;
  o.out = out;
  o.save_every = 1000;
  o.show = false;
  return o;
}

SkyConfig stars() {
  SkyConfig sky;
  sky.seed = 9;
  return sky;
}

void BM_LiveStackFrame(benchmark::State& state) {
  const auto frames = night(stars(), 16, true);
  Sim sim(stars());
  auto live = std::make_unique<LiveStackRun>(sim.app, quiet(sim.root / "s.fits"));
  std::size_t k = 0;
  for (auto _ : state) {
    live->add_exposure(*frames[k % frames.size()], false);
    ++k;
  }
  state.counters["frames"] = live->frames();
}
BENCHMARK(BM_LiveStackFrame)->Unit(benchmark::kMillisecond)->Iterations(48);

// Noise of the green plane's background, from a sample of the sky.
double noise(const std::vector<float>& planes) {
  return estimate_background(PlaneView{planes.data() + FRAME_SAMPLES, FRAME_WIDTH, FRAME_HEIGHT})
      .sigma;
}

void BM_LiveStackNoiseGain(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  // The background's noise: the nebula and the galaxy are left out of the sky.
  SkyConfig sky = stars();
  sky.extended_objects = false;
  const auto frames = night(sky, n, true);
  Sim sim(sky);
  for (auto _ : state) {
    LiveStackRun live(sim.app, quiet(sim.root / "s.fits"));
    double one = 0;
    for (const auto& f : frames) {
      live.add_exposure(*f, false);
      if (live.frames() == 1) one = noise(live.result());
    }
    const double stacked = noise(live.result());
    state.counters["stacked"] = live.frames();
    state.counters["sigma_1"] = one;
    state.counters["sigma_N"] = stacked;
    state.counters["gain"] = one / stacked;
    state.counters["gain_over_sqrtN"] = one / stacked / std::sqrt(live.frames());
  }
}
BENCHMARK(BM_LiveStackNoiseGain)->Arg(16)->Arg(64)->Iterations(1)->Unit(benchmark::kSecond);

using testing::Rgb;

// The chart's colours measured in three planes, brought to linear light by
// a black level and gain per plane from two grey patches, as a colour
// balance on the greys does.
std::vector<double> chart_delta_e(const std::vector<float>& planes) {
  auto mean = [&](const ChartPatch& p) {
    Rgb sum{};
    int n = 0;
    for (int y = p.y0 + 20; y < p.y1 - 20; ++y)
      for (int x = p.x0 + 20; x < p.x1 - 20; ++x) {
        for (int c = 0; c < 3; ++c) sum[c] += planes[c * FRAME_SAMPLES + y * FRAME_WIDTH + x];
        ++n;
      }
    for (double& v : sum) v /= n;
    return sum;
  };
  auto named = [](const char* name) {
    for (const ChartPatch& p : chart_patches())
      if (std::string(p.name) == name) return p;
    return chart_patches()[0];
  };
  const ChartPatch light = named("neutral 8"), dark = named("neutral 3.5");
  const double ll = srgb_to_linear(light.red), ld = srgb_to_linear(dark.red);
  const Rgb ml = mean(light), md = mean(dark);
  Rgb gain, black;
  for (int c = 0; c < 3; ++c) {
    gain[c] = (ml[c] - md[c]) / (ll - ld);
    black[c] = ml[c] - gain[c] * ll;
  }
  std::vector<double> de;
  for (const ChartPatch& p : chart_patches()) {
    Rgb m = mean(p);
    for (int c = 0; c < 3; ++c) m[c] = std::max(0.0, (m[c] - black[c]) / gain[c]);
    const Rgb k{srgb_to_linear(p.red), srgb_to_linear(p.green), srgb_to_linear(p.blue)};
    de.push_back(testing::delta_e2000(testing::lab(k), testing::lab(m)));
  }
  return de;
}

void BM_LiveStackChart(benchmark::State& state) {
  SkyConfig sky;
  sky.scene = SkyScene::Chart;
  sky.seed = 7;
  const auto frames = night(sky, 16, false);
  Sim sim(sky);
  for (auto _ : state) {
    LiveStackRun live(sim.app, quiet(sim.root / "c.fits"));
    std::vector<double> single;
    for (const auto& f : frames) {
      live.add_exposure(*f, false);
      if (live.frames() == 1) single = chart_delta_e(live.result());
    }
    const std::vector<double> stacked = chart_delta_e(live.result());
    double worst_increase = -1e9, mean_single = 0, mean_stacked = 0;
    for (std::size_t i = 0; i < single.size(); ++i) {
      worst_increase = std::max(worst_increase, stacked[i] - single[i]);
      mean_single += single[i] / single.size();
      mean_stacked += stacked[i] / single.size();
    }
    state.counters["stacked"] = live.frames();
    state.counters["trailed"] = live.trailed();
    state.counters["unregistered"] = live.unregistered();
    state.counters["dE_single_mean"] = mean_single;
    state.counters["dE_stack_mean"] = mean_stacked;
    state.counters["dE_worst_increase"] = worst_increase;
  }
}
BENCHMARK(BM_LiveStackChart)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tarvex
