#include "ui/tarvex_app.h"

namespace tarvex::ui {

TTarvexApp::TTarvexApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Tarvex");
  setOrganizationName("Tarvex");
  setWindowIcon(QIcon(":/tarvex.svg"));
  window_ = std::make_unique<TTarvexWindow>();
}

}  // namespace tarvex::ui
