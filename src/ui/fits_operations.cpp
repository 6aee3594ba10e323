// The FITS commands of the main window: Save as FITS, Quick Save as FITS,
// Load/Edit AutoSave FITS text and Show/Edit Current Image FITS details.
#include <QStatusBar>

#include "app/commands.h"
#include "app/fits_commands.h"
#include "ui/fits_dialogs.h"
#include "ui/main_window.h"

namespace tarvex::ui {

void register_fits_operations(TTarvexWindow& window, OperationMap& operations) {
  TTarvexWindow* w = &window;
  operations[CM_SAVE_FITS] = [w] {
    QtFitsDialogs dialogs(w);
    Tarvex& a = w->app();
    const std::string before = a.current_file_name;
    if (save_as_fits_command(a, dialogs).ok() && a.current_file_name != before) {
      w->set_title(window_title(a.current_file_name));
    }
  };
  operations[CM_QUICK_SAVE_FITS] = [w] {
    // An exposure of this run is dated by its start; any other image by the
    // time of the save.
    std::filesystem::path written;
    Tarvex& a = w->app();
    const std::time_t start = a.exposure_start != 0 ? a.exposure_start : a.ports.clock.wall_time();
    if (quick_save_fits_command(a, start, 0, &written).ok()) {
      w->statusBar()->showMessage(
          QString("Saved %1").arg(QString::fromStdString(written.string())));
    }
  };
  operations[CM_AUTOSAVE_FITS_TEXT] = [w] {
    QtFitsDialogs dialogs(w);
    edit_autosave_fits_text_command(w->app(), dialogs);
  };
  operations[CM_FITS_DETAILS] = [w] {
    QtFitsDialogs dialogs(w);
    show_fits_details_command(w->app(), dialogs);
  };
}

}  // namespace tarvex::ui
