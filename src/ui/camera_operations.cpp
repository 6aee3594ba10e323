// The camera command of the main window: File > "Kr Camera &Interface"
// (Ctrl+Z) runs the exposure sequencer with the window's dialogs.
#include <memory>

#include "app/capture/sequencer.h"
#include "app/commands.h"
#include "ui/camera_dialog.h"
#include "ui/guiding_operations.h"
#include "ui/main_window.h"

namespace tarvex::ui {

void register_camera_operations(TTarvexWindow& window, OperationMap& operations) {
  auto front = std::make_shared<QtCaptureFront>(&window);
  auto guider = register_guiding_operations(window, operations);
  auto sequencer = std::make_shared<Sequencer>(window.app(), *front, *guider);
  operations[CM_CAMERA] = [front, guider, sequencer] { sequencer->take_photo(); };
}

}  // namespace tarvex::ui
