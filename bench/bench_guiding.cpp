// The host-side work of one guiding step, without the camera's exposure and
// the USB transfer and without the pulse itself: the guiding-frame placement
// and the window read's request codes, the read window's display-depth
// stretch, star location in the 128 x 128 frame, the correction arithmetic,
// the graph update and the small frame scaled for display. The Guiding Info
// window's redraw of the same step is measured in bench/ui/bench_guiding_window.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "app/guiding/guide_graph.h"
#include "camera/readout.h"
#include "camera/usb_commands.h"
#include "platform/basic_ports.h"
#include "processing/star_location.h"
#include "scope/guiding.h"

namespace {

using namespace tarvex;

void BM_GuideStep(benchmark::State& state) {
  std::array<std::uint16_t, 128 * 128> window{};
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 30);
  // As read from the camera: the display depth's stretch (14 bits, x 4)
  // brings it to the star the location sees.
  std::array<std::uint16_t, 128 * 128> read{};
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      const double r2 = (x - 64.3) * (x - 64.3) + (y - 61.7) * (y - 61.7);
      read[y * 128 + x] = static_cast<std::uint16_t>(
          std::clamp(2000 + 30000 * std::exp(-r2 / 3.4) + noise(rng), 0.0, 65535.0) / 4);
    }
  CommandBlock request{};
  StarLocation s;
  s.guiding_active = true;
  s.guiding_frame = true;
  s.quiet = true;
  GuideGraph graph;
  GuideParameters p;
  CorrectionMemory memory;
  std::array<std::uint8_t, 128 * 128> display{};
  std::uint32_t t = 0;
  for (auto _ : state) {
    const GuidingFrame f = place_guiding_frame(300, 250);
    benchmark::DoNotOptimize(f);
    set_window_request(request, 1000, 120 + f.origin_column % 2, 226);
    benchmark::DoNotOptimize(request);
    window = read;
    stretch_window(window.data(), WindowStretch{});
    locate_star(s, {window.data(), 128, 128}, 64, 62, 8);
    const int dx = guide_error(64, 0, s.position.x, s.position.x_tenths);
    const int dy = guide_error(62, 0, s.position.y, s.position.y_tenths);
    const Correction c = guide_correction(dx, dy, p, false, memory);
    graph.add({t += 1000, dx / 1000.0, dy / 1000.0, c.ra.ms, c.dec.ms});
    const auto [lo, hi] = std::minmax_element(window.begin(), window.end());
    const double scale = 255.0 / std::max(1, *hi - *lo);
    for (std::size_t i = 0; i < window.size(); ++i)
      display[i] = static_cast<std::uint8_t>((window[i] - *lo) * scale);
    benchmark::DoNotOptimize(display);
    benchmark::DoNotOptimize(graph.rms_x());
  }
}
BENCHMARK(BM_GuideStep)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
