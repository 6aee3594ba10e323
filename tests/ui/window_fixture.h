// The one fixture of the Qt tests: before each test function a fresh main
// window with its own data folder, recording message boxes and a recording
// launcher, shown on screen; after it the window is closed. A test class
// derives from WindowTest and declares its test functions as private slots;
// one that needs more ports (a clock, a serial port) gives them in
// more_options, which runs before each window is made.
#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "platform/basic_ports.h"
#include "ui/main_window.h"

namespace tarvex::ui::testing {

class WindowTest : public QObject {
  Q_OBJECT

 protected:
  TTarvexWindow& w() { return *window_; }
  Tarvex& a() { return window_->app(); }
  FrameStore& fs() { return window_->app().store(); }

  std::unique_ptr<QTemporaryDir> dir_;
  RecordingMessages messages_;
  RecordingLauncher launcher_;
  std::unique_ptr<TTarvexWindow> window_;

  virtual void more_options(WindowOptions&) {}

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    messages_.shown.clear();
    messages_.yes_answer = true;
    launcher_.launched.clear();
    launcher_.result = true;
    WindowOptions o;
    o.data_root = dir_->path().toStdString();
    o.messages = &messages_;
    o.launcher = &launcher_;
    more_options(o);
    window_ = std::make_unique<TTarvexWindow>(o);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() { window_.reset(); }
};

}  // namespace tarvex::ui::testing
