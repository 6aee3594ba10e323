// The Colour commands of the main window.
#include "ui/main_window.h"

namespace tarvex::ui {

void register_colour_operations(TTarvexWindow&, OperationMap&) {}

}  // namespace tarvex::ui
