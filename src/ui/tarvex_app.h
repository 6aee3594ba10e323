// TTarvexApp: the program's composition root. Made after the QApplication,
// from the command line as parse_launch_arguments read it, it makes the ports
// that do not belong to a window (the one clock, the event pump, the
// launcher, the camera transport and the telescope's serial port) and creates
// the one main window over them.
#pragma once

#include <QObject>
#include <memory>

#include "app/camera_transport.h"
#include "app/telescope_ports.h"
#include "platform/stepping_clock.h"
#include "platform/usb_transport.h"
#include "ui/launch_options.h"
#include "ui/main_window.h"
#include "ui/qt_ports.h"

namespace tarvex::ui {

class TTarvexApp : public QObject {
  Q_OBJECT
 public:
  explicit TTarvexApp(const LaunchOptions& options);
  TTarvexWindow& window() { return *window_; }
  // What stands behind the camera's USB port: the simulated camera with
  // --simulator, else the Linux adapter.
  UsbTransport& camera_transport() { return *transport_; }
  bool simulator() const { return simulator_; }

 private:
  void quit_on_signals();

  // Declared in this order so the window (and its Tarvex context) goes
  // first, then the transport, then the ports it was made over.
  bool simulator_ = false;
  std::unique_ptr<QtClock> clock_;
  // The clock everything reads: the simulated mount takes its turn on it.
  std::unique_ptr<SteppingClock> stepping_clock_;
  std::unique_ptr<QtEventPump> pump_;
  std::unique_ptr<QtLauncher> launcher_;
  std::unique_ptr<UsbTransport> transport_;
  TelescopePorts telescope_;
  std::unique_ptr<TTarvexWindow> window_;
};

// Shows the window and, once it is up, opens the file of the command line as
// File > Open opens it (a file that cannot be read is reported the same way);
// with --screenshot, saves a picture of the window, prints the window title
// and stops the program.
void start_window(TTarvexWindow& window, const LaunchOptions& options);

}  // namespace tarvex::ui
