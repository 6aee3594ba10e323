// tarvex: the main program.
//
//   tarvex [FILE]              the main window, opening FILE as File > Open does
//   tarvex --screenshot FILE   start, save a picture of the window, and stop
//   tarvex --simulator         use the simulated camera instead of the USB port
//   tarvex --simulator --sky chart   the simulated camera sees a colour chart
//   tarvex --help | --version  print and stop, without a display
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "ui/launch_options.h"
#include "ui/tarvex_app.h"

int main(int argc, char** argv) {
  using namespace tarvex::ui;
  // A save past the file-size limit fails with its message instead of ending
  // the program.
  tarvex::ignore_file_size_signal();
  // Answered before Qt starts, so they work where there is no display; Qt's
  // own options are still in argv here, so only these two are taken from it.
  const LaunchOptions early = early_launch_options(std::vector<std::string>(argv + 1, argv + argc));
  if (early.help) {
    std::cout << launch_usage();
    return 0;
  }
  if (early.version) {
    std::cout << launch_version();
    return 0;
  }
  QApplication qt(argc, argv);
  // Qt has taken its own options out of argv by now: this is the one reading
  // of the line the program goes by.
  const LaunchOptions options =
      parse_launch_arguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!options.error.empty()) {
    std::cerr << "tarvex: " << options.error << "\n" << launch_usage();
    return 2;
  }
  TTarvexApp app(options);
  start_window(app.window(), options);
  return qt.exec();
}
