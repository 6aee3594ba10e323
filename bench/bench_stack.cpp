// The batch stack's combine step (one plane of 752 x 580 from N registered
// frames, each method) and its registration pieces, single thread.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "image/frame_store.h"
#include "processing/stack_combine.h"
#include "processing/star_registration.h"

namespace tarvex {
namespace {

// N frames of sky noise around 1000 with a few hot pixels, frame after frame.
std::vector<float> noisy_stack(std::size_t frames) {
  std::mt19937 rng(5);
  std::normal_distribution<float> noise(1000, 20);
  std::vector<float> v(frames * FRAME_SAMPLES);
  for (auto& x : v) x = noise(rng);
  for (std::size_t i = 0; i < v.size(); i += 9973) v[i] = 60000;
  return v;
}

void BM_CombinePlane(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  const auto method = static_cast<CombineMethod>(state.range(1));
  const std::vector<float> stack = noisy_stack(frames);
  std::vector<float> out(FRAME_SAMPLES);
  CombineParameters p;
  p.method = method;
  for (auto _ : state) {
    combine_band(stack.data(), frames, FRAME_SAMPLES, p, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(combine_method_name(method));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * frames * FRAME_SAMPLES));
}
BENCHMARK(BM_CombinePlane)
    ->ArgsProduct({{16, 50},
                   {int(CombineMethod::Mean), int(CombineMethod::Median), int(CombineMethod::Sigma),
                    int(CombineMethod::Winsor)}})
    ->Unit(benchmark::kMillisecond);

void BM_WarpPlaneBicubic(benchmark::State& state) {
  const std::vector<float> src = noisy_stack(1);
  std::vector<float> out(FRAME_SAMPLES);
  const RigidTransform t{0.01, 3.3, -2.7};
  for (auto _ : state) {
    warp_rows(PlaneView{src.data(), FRAME_WIDTH, FRAME_HEIGHT}, t, Interpolation::Bicubic, 0,
              FRAME_HEIGHT, out.data());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_WarpPlaneBicubic)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvex
