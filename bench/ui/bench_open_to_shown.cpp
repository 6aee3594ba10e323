// The main window: File > Open of a KR File until its picture is painted, and
// a repaint of the picture alone. Runs offscreen when there is no display.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <filesystem>
#include <memory>

#include "app/file_commands.h"
#include "platform/basic_ports.h"
#include "qt_bench_main.h"
#include "ui/main_window.h"
#include "ui/picture_view.h"

namespace tarvex::ui {
namespace {

// One window for every benchmark, started once the application exists.
struct Window {
  QTemporaryDir dir;
  RecordingMessages messages;
  RecordingLauncher launcher;
  std::unique_ptr<TTarvexWindow> window;
  QString file;

  Window() {
    WindowOptions o;
    o.data_root = dir.path().toStdString();
    o.messages = &messages;
    o.launcher = &launcher;
    window = std::make_unique<TTarvexWindow>(o);
    window->show();
    for (int i = 0; i < 100 && !(window->windowHandle() && window->windowHandle()->isExposed());
         ++i)
      QApplication::processEvents();
    const std::filesystem::path path = std::filesystem::path(dir.path().toStdString()) / "~timing";
    save_image(window->app(), path);
    file = QString::fromStdString(path.string());
  }
};

// Made on first use and closed before the application object goes away: a
// widget must not outlive QApplication.
std::unique_ptr<Window>& the_window() {
  static std::unique_ptr<Window> w;
  return w;
}

Window& window() {
  if (!the_window()) the_window() = std::make_unique<Window>();
  return *the_window();
}

void BM_OpenToShown(benchmark::State& state) {
  Window& w = window();
  for (auto _ : state) {
    w.window->open_file(w.file);
    w.window->picture()->viewport()->repaint();
  }
  if (w.window->windowTitle() != QString("Tarvex - ~timing")) state.SkipWithError("not opened");
}
BENCHMARK(BM_OpenToShown)->Unit(benchmark::kMillisecond);

void BM_Repaint(benchmark::State& state) {
  Window& w = window();
  for (auto _ : state) w.window->picture()->viewport()->repaint();
}
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond);

}  // namespace

void close_window() {
  the_window().reset();
}

}  // namespace tarvex::ui

int main(int argc, char** argv) {
  return tarvex::ui::run_qt_benchmarks(argc, argv, tarvex::ui::close_window);
}
