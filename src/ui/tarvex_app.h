// TTarvexApp: the application object; it creates the one main window.
#pragma once

#include <QApplication>
#include <memory>

#include "ui/main_window.h"

namespace tarvex::ui {

class TTarvexApp : public QApplication {
  Q_OBJECT
public:
  TTarvexApp(int& argc, char** argv);
  TTarvexWindow& window() { return *window_; }

private:
  std::unique_ptr<TTarvexWindow> window_;
};

}  // namespace tarvex::ui
