// The FITS commands of the main window.
#include "ui/main_window.h"

namespace tarvex::ui {

void register_fits_operations(TTarvexWindow&, OperationMap&) {}

}  // namespace tarvex::ui
