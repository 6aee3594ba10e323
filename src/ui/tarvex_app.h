// TTarvexApp: the application object; it reads the command line, chooses the
// camera transport and creates the one main window.
#pragma once

#include <QApplication>
#include <memory>

#include "platform/usb_transport.h"
#include "ui/main_window.h"
#include "ui/qt_ports.h"

namespace tarvex::ui {

class TTarvexApp : public QApplication {
  Q_OBJECT
 public:
  TTarvexApp(int& argc, char** argv);
  TTarvexWindow& window() { return *window_; }
  // What stands behind the camera's USB port: the simulated camera with
  // --simulator, else the Linux adapter.
  UsbTransport& camera_transport() { return *transport_; }
  bool simulator() const { return simulator_; }

 private:
  // Declared in this order so the window (and its Tarvex context) goes
  // first, then the transport, then the clock the transport reads.
  bool simulator_ = false;
  std::unique_ptr<QtClock> clock_;
  std::unique_ptr<UsbTransport> transport_;
  std::unique_ptr<TTarvexWindow> window_;
};

// True when the arguments (after the program name) ask for the simulated camera.
bool wants_simulator(int argc, char** argv);

}  // namespace tarvex::ui
