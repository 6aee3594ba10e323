// The exposure sequencer. BM_HostWorkPerExposure: the host-side work of one
// exposure of a registered sum beyond the exposure and the readout (field
// placement, composition, dark subtraction, registration, display refresh,
// with and without colour conversion), the camera answering at once with a
// field rendered beforehand. BM_VirtualTimeSum: tarvex-cli taking a
// 20-exposure registered sum of 1-second fast exposures on the simulated
// camera with --virtual-time, start to finish.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "app/capture/focus_mode.h"
#include "app/capture/sequencer.h"
#include "cli/cli.h"
#include "files/raw_file.h"
#include "platform/basic_ports.h"
#include "platform/file_io.h"
#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

// A camera that answers every field read at once with the same field.
class ReadyCamera : public UsbTransport {
 public:
  ReadyCamera() : field_(298 * 832) {
    SkyRenderer sky;
    sky.render_field(0, 1000, 1, field_.data());
    double brightest = 0;
    for (const auto& s : sky.stars()) {
      if (s.x < 40 || s.x > 710 || s.y < 40 || s.y > 540 || s.flux <= brightest) continue;
      brightest = s.flux;
      star_x = static_cast<int>(s.x);
      star_y = static_cast<int>(s.y);
    }
  }
  int star_x = 400;  // the brightest star well inside the frame
  int star_y = 300;
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) override {
    UsbInterface itf;
    itf.path = cls == UsbClass::Hid ? "ready:hid" : "ready:block";
    return std::vector<UsbInterface>{itf};
  }
  int open_interface(UsbClass cls, const UsbInterface&) override {
    return cls == UsbClass::Hid ? 1 : 2;
  }
  int write_report(std::span<const std::uint8_t>) override { return 0; }
  UsbRead bulk_read(std::span<std::uint8_t> destination) override {
    const std::size_t n = std::min(destination.size(), field_.size() * 2);
    std::memcpy(destination.data(), field_.data(), n);
    return {0, n};
  }

 private:
  std::vector<std::uint16_t> field_;
};

class TakePhoto : public CaptureFront {
 public:
  explicit TakePhoto(bool colour) : colour_(colour) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& a) override {
    a.range = ExposureRange::Thousandths;  // timed by the camera: no host wait
    a.value = 1;
    a.mode = ExposureMode::Fast;
    a.count = 2;
    a.auto_dark = true;
    a.auto_colour = colour_;
    return CameraDialogResult::TakePhoto;
  }

 private:
  bool colour_;
};

std::filesystem::path scratch_folder(const char* name) {
  const auto p = std::filesystem::temp_directory_path() /
                 (std::string("tarvex-bench-") + name + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(p);
  return p;
}

void write_dark(const std::filesystem::path& path) {
  std::vector<char> bytes(RAW_TAGGED, 0);
  bytes[0] = 'B';  // a fast exposure is binned, and so is its dark frame
  for (std::size_t i = RAW_TAG_SIZE; i < bytes.size(); i += 2) bytes[i] = 100;
  AtomicFile out;
  if (out.open(path)) {
    out.write(bytes.data(), bytes.size());
    out.commit(true);
  }
}

// A context on the virtual clock whose camera answers at once.
struct ReadyContext {
  explicit ReadyContext(const std::filesystem::path& folder)
      : app(Paths(folder), Ports{messages, clock, pump, progress, launcher, display, camera}) {}
  RecordingMessages messages;
  VirtualClock clock;
  NullPump pump;
  NullProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  ReadyCamera camera;
  Tarvex app;
};

void BM_HostWorkPerExposure(benchmark::State& state) {
  const bool colour = state.range(0) != 0;
  const auto folder = scratch_folder("host");
  ReadyContext ctx(folder);
  Tarvex& app = ctx.app;
  ReadyCamera& camera = ctx.camera;
  write_dark(app.paths.dark_definition_file());
  TakePhoto front(colour);
  Sequencer sequencer(app, front);
  // The star the standard registration follows.
  app.star.position = {camera.star_x, camera.star_y, 0, 0};
  for (auto _ : state) {
    if (sequencer.take_photo() != CaptureOutcome::Done) state.SkipWithError("the run failed");
  }
  // Each run is two exposures.
  state.counters["per_exposure"] =
      benchmark::Counter(2.0 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HostWorkPerExposure)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_VirtualTimeSum(benchmark::State& state) {
  const auto folder = scratch_folder("sum");
  for (auto _ : state) {
    std::ostringstream out, err;
    const int status = cli::run(
        {"--data-root", folder.string(), "--simulator", "--virtual-time", "capture", "--range", "s",
         "--value", "1", "--mode", "fast", "--count", "20", "--star", "551,240"},
        out, err);
    if (status != 0) state.SkipWithError(err.str().c_str());
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_VirtualTimeSum)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Focus mode: BM_FocusFrame is the host-side work of one focus frame (window
// placement, the read, peak search, stretch and the small-frame display) with
// the camera answering at once; BM_FocusFramesOnSimulator is tarvex-cli
// taking 20 focus frames of 10 ms on the simulated camera with --virtual-time.
void BM_FocusFrame(benchmark::State& state) {
  const auto folder = scratch_folder("focus");
  ReadyContext ctx(folder);
  Tarvex& app = ctx.app;
  app.camera.find(false);
  app.acquisition.range = ExposureRange::Hundredths;  // 10 ms frames
  app.acquisition.value = 1;
  FocusFront front;
  constexpr int frames = 10;
  for (auto _ : state) {
    if (run_focus_mode(app, front, frames).outcome != FocusOutcome::Finished)
      state.SkipWithError("the focus run failed");
    end_focus_display(app);
  }
  state.counters["per_frame"] =
      benchmark::Counter(frames * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FocusFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_FocusFramesOnSimulator(benchmark::State& state) {
  const auto folder = scratch_folder("focus-sim");
  for (auto _ : state) {
    std::ostringstream out, err;
    const int status = cli::run({"--data-root", folder.string(), "--simulator", "--virtual-time",
                                 "focus", "--frames", "20", "--range", "h", "--value", "1"},
                                out, err);
    if (status != 0) state.SkipWithError(err.str().c_str());
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FocusFramesOnSimulator)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tarvex
