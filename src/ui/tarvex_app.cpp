#include "ui/tarvex_app.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "app/camera_transport.h"

namespace tarvex::ui {

namespace {

int quit_pipe[2] = {-1, -1};

void on_quit_signal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(quit_pipe[1], &byte, 1);
}

}  // namespace

// SIGTERM, SIGHUP (the session is gone) and SIGINT end the program as
// quitting does, on the program's thread: a move held in a telescope window
// is stopped on the way out (aboutToQuit), never left running.
void TTarvexApp::quit_on_signals() {
  if (pipe2(quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(quit_pipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [] {
    char byte = 0;
    while (read(quit_pipe[0], &byte, 1) > 0) {
    }
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = on_quit_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

TTarvexApp::TTarvexApp(const LaunchOptions& options) : simulator_(options.simulator) {
  QApplication::setApplicationName("Tarvex");
  QApplication::setOrganizationName("Tarvex");
  QApplication::setWindowIcon(QIcon(":/tarvex.svg"));
  clock_ = std::make_unique<QtClock>();
  stepping_clock_ = std::make_unique<SteppingClock>(*clock_);
  pump_ = std::make_unique<QtEventPump>();
  launcher_ = std::make_unique<QtLauncher>();
  transport_ = make_camera_transport(simulator_, *stepping_clock_, options.sky_scene,
                                     options.sim_mount, !options.sky.empty());
  // Under --simulator every "Com Port" is the simulated mount, which moves
  // the simulated camera's sky.
  std::string error;
  if (!make_telescope_ports(simulator_, *stepping_clock_, Paths::from_environment(), telescope_,
                            error, options.sim_mount)) {
    std::fprintf(stderr, "tarvex: %s\n", error.c_str());
  }
  attach_simulated_sky(*transport_, telescope_);
  // The windows stay alive while the mount is waited on.
  if (telescope_.serial) telescope_.serial->set_pump(pump_.get());
  WindowOptions ports;
  ports.clock = stepping_clock_.get();
  ports.pump = pump_.get();
  ports.launcher = launcher_.get();
  ports.usb = transport_.get();
  ports.serial = telescope_.serial.get();
  window_ = std::make_unique<TTarvexWindow>(ports);
  quit_on_signals();
}

void start_window(TTarvexWindow& window, const LaunchOptions& options) {
  window.show();
  if (!options.file.empty()) {
    const QString file = QString::fromLocal8Bit(options.file.c_str());
    QTimer::singleShot(0, &window, [&window, file] { window.open_file(file); });
  }
  if (!options.screenshot.empty()) {
    const QString out = QString::fromLocal8Bit(options.screenshot.c_str());
    QTimer::singleShot(500, &window, [&window, out] {
      const bool ok = window.grab().save(out);
      if (ok)
        std::cout << "tarvex: saved a picture of \"" << window.windowTitle().toStdString()
                  << "\" to " << out.toStdString() << std::endl;
      QCoreApplication::exit(ok ? 0 : 1);
    });
  }
}

}  // namespace tarvex::ui
