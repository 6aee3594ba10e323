// The FITS commands of the main window: Save as FITS, Quick Save as FITS,
// Load/Edit AutoSave FITS text, Show/Edit Current Image FITS details and
// Solve Image.
#include <QMessageBox>
#include <QStatusBar>
#include <memory>

#include "app/astrometry_solver.h"
#include "app/commands.h"
#include "app/fits_commands.h"
#include "app/solve_commands.h"
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
  // The last solution found, shown with the FITS details while the image
  // on show is the one solved.
  auto kept = std::make_shared<KeptSolution>();
  operations[CM_FITS_DETAILS] = [w, kept] {
    QString solution;
    if (const auto s = current_image_solution(w->app(), *kept))
      solution = QString::fromStdString(solution_line(*s, s->arcsec_per_pixel));
    QtFitsDialogs dialogs(w, solution);
    show_fits_details_command(w->app(), dialogs);
  };
  operations[CM_SOLVE_IMAGE] = [w, kept] {
    Tarvex& a = w->app();
    std::string refusal;
    const std::optional<ImageSolve> job = prepare_image_solve(a, refusal);
    if (!job) {
      QMessageBox::information(w, "Tarvex", QString::fromStdString(refusal));
      return;
    }
    w->statusBar()->showMessage("Solving...");
    const std::unique_ptr<PlateSolver> solver = make_astrometry_solver();
    const SolveOutcome outcome = run_image_solve(a, *job, *solver);
    w->statusBar()->showMessage(
        QString::fromStdString(finish_image_solve(a, *job, outcome, *kept)));
  };
}

}  // namespace tarvex::ui
