// The Contrast, Filters and Histogram commands of the main window.
#include "ui/main_window.h"

namespace tarvex::ui {

void register_processing_operations(TTarvexWindow&, OperationMap&) {}

}  // namespace tarvex::ui
