// Telescope operations on the real clock against the simulated mount: how
// much a guide pulse overshoots its own waits, and how long each operation
// holds the program when the mount says nothing.
//
//   build/bench_telescope --benchmark_counters_tabular=true
//
// GuidePulse/N/lx200: overhead_ms is the time beyond N + 24 ms (20 ms
// before the move, 4 ms after); /box: beyond N + 5 ms (1 ms, 4 ms);
// moved_ms_max the longest the mount saw the move last.
// SilentMount/op: the longest time one operation took (max_ms).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/telescope.h"
#include "platform/basic_ports.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "sim/sim_mount.h"

namespace tarvex {
namespace {

struct Rig {
  RecordingMessages messages;
  SteadyClock steady;
  SteppingClock clock{steady};
  NullPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SimMount mount;
  std::filesystem::path root;
  std::unique_ptr<TermiosSerialPort> serial;
  std::unique_ptr<Tarvex> app;

  explicit Rig(LinkType link_type) {
    mount.open();
    clock.add_listener(mount);
    root = std::filesystem::temp_directory_path() / ("tarvex-bench-" + std::to_string(::getpid()));
    serial =
        std::make_unique<TermiosSerialPort>(clock, [this](int) { return mount.device_path(); });
    app = std::make_unique<Tarvex>(Paths(root),
                                   Ports{messages, clock, pump, progress, launcher, display});
    app->settings.telescope_type = link_type;
    save_settings(app->paths.settings_file(), app->settings, app->fits);
    app->telescope.port = serial.get();
    ensure_link_open(*app);
  }
  ~Rig() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
};

double elapsed_ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

void BM_GuidePulse(benchmark::State& state) {
  const auto pulse = static_cast<std::uint32_t>(state.range(0));
  const bool lx200 = state.range(1) != 0;
  Rig rig(lx200 ? LinkType::Lx200 : LinkType::ControlBox);
  const double waits = pulse + (lx200 ? 24.0 : 5.0);
  double worst = 0, sum = 0, longest_at_mount = 0;
  int n = 0;
  rig.mount.set_recording(true);
  for (auto _ : state) {
    // A rest between pulses, as between guide frames.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    rig.mount.clear_received();
    const auto t0 = std::chrono::steady_clock::now();
    guide_pulse(*rig.app, Direction::North, pulse);
    const double overhead = elapsed_ms(t0) - waits;
    worst = std::max(worst, overhead);
    sum += overhead;
    ++n;
    // How long the mount moved: from the move (or closed relays) to the stop.
    const auto& got = rig.mount.received();
    if (got.size() == 3) {
      longest_at_mount =
          std::max(longest_at_mount, static_cast<double>(got[2].at_ms - got[1].at_ms));
    }
  }
  state.counters["overhead_ms_max"] = worst;
  state.counters["overhead_ms_mean"] = n > 0 ? sum / n : 0;
  state.counters["moved_ms_max"] = longest_at_mount;
  state.SetLabel(lx200 ? "lx200" : "box");
}
BENCHMARK(BM_GuidePulse)
    ->Args({100, 1})
    ->Args({500, 1})
    ->Args({100, 0})
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_SilentMount(benchmark::State& state) {
  Rig rig(LinkType::Lx200);
  rig.mount.set_behaviour(MountBehaviour::Silent);
  Tarvex& app = *rig.app;
  Coordinates target;
  target.ra_hours = 1;
  target.dec_degrees = 40;
  static const char* const kNames[] = {"goto object", "goto coordinates", "object info",
                                       "move press+release", "focus press+release"};
  const int op = static_cast<int>(state.range(0));
  double worst = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    switch (op) {
      case 0: goto_object(app, Catalogue::Messier, 31); break;
      case 1: goto_coordinates(app, target); break;
      case 2: read_object_info(app); break;
      case 3:
        press_move(app, Direction::East);
        release_move(app);
        break;
      default:
        press_focus(app, true);
        release_focus(app);
        break;
    }
    worst = std::max(worst, elapsed_ms(t0));
  }
  state.counters["max_ms"] = worst;
  state.SetLabel(kNames[op]);
}
BENCHMARK(BM_SilentMount)->DenseRange(0, 4)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvex
