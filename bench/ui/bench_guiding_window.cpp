// The Guiding Info window's share of one guiding step: the fields, the
// 128 x 128 guide frame turned into a picture, the RMS text over a full
// graph and the window redrawn with its graph. Runs offscreen when there is
// no display.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

#include "platform/basic_ports.h"
#include "qt_bench_main.h"
#include "ui/guiding_window.h"
#include "ui/main_window.h"

namespace tarvex::ui {
namespace {

struct Guiding {
  QTemporaryDir dir;
  RecordingMessages messages;
  RecordingLauncher launcher;
  std::unique_ptr<TTarvexWindow> window;
  std::unique_ptr<GuidingInfoWindow> info;
  std::unique_ptr<Autoguider> guider;
  GuideGraph graph;

  Guiding() {
    WindowOptions o;
    o.data_root = dir.path().toStdString();
    o.messages = &messages;
    o.launcher = &launcher;
    window = std::make_unique<TTarvexWindow>(o);
    info = std::make_unique<GuidingInfoWindow>(window.get());
    guider = std::make_unique<Autoguider>(window->app(), *info);
    info->set_guider(guider.get());
    window->app().fits.fits_focal_length = 40;
    info->show_info("Guiding Info");
    // A graph as full as a long night leaves it, errors and pulses in both
    // axes.
    for (std::size_t i = 0; i < GuideGraph::CAPACITY; ++i) {
      const double s = (i % 7) / 7.0 - 0.5;
      graph.add(
          {static_cast<std::uint32_t>(i * 1300), s, -s / 2, i % 3 ? 40 : -25, i % 2 ? 30 : 0});
    }
    info->graph()->set_graph(&graph);
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
  }
};

std::unique_ptr<Guiding>& the_guiding() {
  static std::unique_ptr<Guiding> g;
  return g;
}

void BM_GuidingInfoRefresh(benchmark::State& state) {
  if (!the_guiding()) the_guiding() = std::make_unique<Guiding>();
  Guiding& g = *the_guiding();
  for (auto _ : state) {
    g.info->refresh_info();
    g.info->repaint();
  }
  if (!g.info->isVisible()) state.SkipWithError("the window is not shown");
}
BENCHMARK(BM_GuidingInfoRefresh)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

void close_guiding() {
  the_guiding().reset();
}

}  // namespace tarvex::ui

int main(int argc, char** argv) {
  return tarvex::ui::run_qt_benchmarks(argc, argv, tarvex::ui::close_guiding);
}
