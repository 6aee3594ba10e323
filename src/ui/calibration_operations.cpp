// The Merge menu, the calibration file chooser and guide star picking commands of the main window.
#include "ui/main_window.h"

namespace tarvex::ui {

void register_calibration_operations(TTarvexWindow&, OperationMap&) {}

}  // namespace tarvex::ui
