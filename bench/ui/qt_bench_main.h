// The main of the Qt benchmarks: offscreen when there is no display, one
// QApplication around the runs, and `before_exit` to drop the benchmarks'
// windows while the application object still exists.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

namespace tarvex::ui {

inline int run_qt_benchmarks(int argc, char** argv, void (*before_exit)()) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  before_exit();
  return 0;
}

}  // namespace tarvex::ui
