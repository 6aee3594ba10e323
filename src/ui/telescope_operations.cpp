// File > "Telescope Control": opens the telescope window of the link type,
// once; choosing the command again brings it forward.
#include <QPointer>
#include <memory>

#include "app/commands.h"
#include "app/telescope_windows.h"
#include "ui/main_window.h"
#include "ui/telescope_dialogs.h"

namespace tarvex::ui {

namespace {

struct TelescopeWindows {
  QPointer<TMoveTelescopeDialog> lx200;
  QPointer<TBoxMoveDialog> box;
};

void bring_forward(QDialog* d) {
  d->show();
  d->raise();
  d->activateWindow();
}

}  // namespace

void register_telescope_operations(TTarvexWindow& window, OperationMap& operations) {
  auto windows = std::make_shared<TelescopeWindows>();
  operations[CM_TELESCOPE_CONTROL] = [&window, windows] {
    Tarvex& app = window.app();
    switch (telescope_control(app)) {
      case TelescopeWindow::None: return;
      case TelescopeWindow::Lx200:
        // One telescope window at a time: both hold the one link's moves.
        if (windows->box) windows->box->close();
        if (!windows->lx200) windows->lx200 = new TMoveTelescopeDialog(app, &window);
        windows->lx200->refresh();
        bring_forward(windows->lx200);
        return;
      case TelescopeWindow::ControlBox:
        if (windows->lx200) windows->lx200->close();
        if (!windows->box) windows->box = new TBoxMoveDialog(app, &window);
        bring_forward(windows->box);
        return;
    }
  };
}

}  // namespace tarvex::ui
