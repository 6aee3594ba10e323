// The Contrast, Filters and Histogram commands of the main window, and the
// internal commands that apply StretchTable.
#include <QPointer>
#include <memory>

#include "app/commands.h"
#include "app/processing/filters_commands.h"
#include "app/processing/processing_dialog_model.h"
#include "app/processing/stretch_commands.h"
#include "processing/histogram.h"
#include "ui/main_window.h"
#include "ui/picture_view.h"
#include "ui/processing_dialogs.h"

namespace tarvex::ui {

namespace {

// The one histogram window and its open flag, kept for the window's life.
struct HistogramWindowState {
  HistDialogModel model;
  QPointer<THistDialog> dialog;
};

// Opens a parameter dialog over a fresh model (every command starts from
// the defaults) and hands the model to its command; Cancel changes nothing.
template <typename Model, typename Dialog>
void run_dialog(Tarvex& app, QWidget* parent) {
  Model model;
  Dialog dialog(model, app.ports.messages, parent);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  model.finish(app, accepted);
}

}  // namespace

void register_processing_operations(TTarvexWindow& window, OperationMap& operations) {
  Tarvex& a = window.app();
  QWidget* parent = &window;
  auto& op = operations;

  // Contrast
  op[CM_NORMAL_STRETCH] = [&a, parent] {
    StretchDialogModel model;
    TStretchDialog dialog(model, a.store().ImageHistogram, a.ports.messages, parent);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    model.finish(a, accepted);
  };
  op[CM_POWER_STRETCH] = [&a, parent] { run_dialog<PowerDialogModel, TPowerDialog>(a, parent); };
  op[CM_SINE_STRETCH] = [&a] { sine_stretch_command(a); };
  op[CM_LOG_STRETCH] = [&a] { log_stretch_command(a); };
  op[CM_ANTILOG_STRETCH] = [&a] { antilog_stretch_command(a); };
  op[CM_REMOVE_BACKGROUND] = [&a] { remove_background(a, true); };
  op[CM_NEGATIVE] = [&a] { invert_command(a); };
  op[CM_NON_LINEAR_STRETCH] = [&a, parent] {
    run_dialog<NonLiniarDialogModel, TNonLiniarDialog>(a, parent);
  };
  // The internal commands: StretchTable as it stands, applied to the frame.
  // 892, posted by a stretch whose table is ready, redisplays like 889.
  op[CM_APPLY_STRETCH] = [&a] { stretch_table_command(a, true); };
  op[CM_APPLY_STRETCH_NO_REDISPLAY] = [&a] { stretch_table_command(a, false); };
  op[CM_STRETCH_POSTED] = [&a] { stretch_table_command(a, true); };

  // Filters
  const std::pair<int, KernelFilter> kernels[] = {
      {CM_WEIGHTED_MEAN, KernelFilter::LowPass},
      {CM_GAUSSIAN, KernelFilter::Gaussian},
      {CM_HIGH_PASS_LOW_POWER, KernelFilter::HighPassLow},
      {CM_HIGH_PASS_HIGH_POWER, KernelFilter::HighPassHigh},
      {CM_SMOOTHER_SHARPER, KernelFilter::SmootherSharper},
      {CM_BAS_RELIEF, KernelFilter::BasRelief},
  };
  for (const auto& [id, filter] : kernels) {
    op[id] = [&a, f = filter] { kernel_filter_command(a, f); };
  }
  op[CM_UNSHARP] = [&a, parent] { run_dialog<UnsharpDialogModel, TUnsharpDialog>(a, parent); };
  op[CM_MEDIAN] = [&a, parent] { run_dialog<MedianDialogModel, TMedianDialog>(a, parent); };
  op[CM_VERTICAL_SMOOTHING] = [&a] { vertical_smoothing_command(a); };
  op[CM_GRADIENT] = [&a] { gradient_filter_command(a); };

  // Histogram: one modeless window at a time; a second command brings the
  // open one to the front instead of opening another.
  auto hist = std::make_shared<HistogramWindowState>();
  op[CM_HISTOGRAM] = [&a, parent, hist] {
    if (!hist->model.open()) {
      if (hist->dialog) {
        hist->dialog->raise();
        hist->dialog->activateWindow();
      }
      return;
    }
    hist->dialog = new THistDialog(hist->model, a.store().ImageHistogram, a.ports.messages, parent);
    hist->dialog->show();
  };
  // The histogram is recomputed at every paint of the picture; the open
  // window follows it, so it always shows the image as it now stands.
  PictureView* view = window.picture();
  view->after_paint = [previous = view->after_paint, hist] {
    if (previous) previous();
    if (hist->dialog) hist->dialog->plot()->update();
  };
}

}  // namespace tarvex::ui
