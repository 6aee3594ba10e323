#include "ui/tarvex_app.h"

#include <cstring>

#include "app/camera_transport.h"

namespace tarvex::ui {

bool wants_simulator(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--simulator") == 0) return true;
  }
  return false;
}

TTarvexApp::TTarvexApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Tarvex");
  setOrganizationName("Tarvex");
  setWindowIcon(QIcon(":/tarvex.svg"));
  simulator_ = wants_simulator(argc, argv);
  clock_ = std::make_unique<QtClock>();
  pump_ = std::make_unique<QtEventPump>();
  launcher_ = std::make_unique<QtLauncher>();
  transport_ = make_camera_transport(simulator_, *clock_);
  WindowOptions options;
  options.clock = clock_.get();
  options.pump = pump_.get();
  options.launcher = launcher_.get();
  options.usb = transport_.get();
  window_ = std::make_unique<TTarvexWindow>(options);
}

}  // namespace tarvex::ui
