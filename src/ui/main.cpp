// tarvex: the main program.
//
//   tarvex                     the main window
//   tarvex --screenshot FILE   start, save a picture of the window, and stop
//   tarvex --simulator         use the simulated camera instead of the USB port
#include <QTimer>
#include <cstring>

#include "platform/file_io.h"
#include "ui/tarvex_app.h"

int main(int argc, char** argv) {
  tarvex::ignore_file_size_signal();
  tarvex::ui::TTarvexApp app(argc, argv);
  app.window().show();
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0) {
      const QString out = QString::fromLocal8Bit(argv[i + 1]);
      QTimer::singleShot(500, &app, [&app, out] {
        const bool ok = app.window().grab().save(out);
        app.exit(ok ? 0 : 1);
      });
    }
  }
  return app.exec();
}
