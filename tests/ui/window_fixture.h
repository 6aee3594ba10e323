// A fresh main window for one Qt test: its own data folder and recording
// message boxes (and launcher, when given), shown on screen.
#pragma once

#include <QTemporaryDir>
#include <memory>

#include "platform/basic_ports.h"
#include "ui/main_window.h"

namespace tarvex::ui::testing {

inline std::unique_ptr<TTarvexWindow> start_window(const QTemporaryDir& dir,
                                                   RecordingMessages& messages,
                                                   Launcher* launcher = nullptr) {
  WindowOptions o;
  o.data_root = dir.path().toStdString();
  o.messages = &messages;
  o.launcher = launcher;
  auto window = std::make_unique<TTarvexWindow>(o);
  window->show();
  return window;
}

}  // namespace tarvex::ui::testing
