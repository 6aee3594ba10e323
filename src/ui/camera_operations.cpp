// The camera command of the main window: File > "Kr Camera &Interface"
// (Ctrl+Z) runs the exposure sequencer with the window's dialogs; File >
// "Focus Frame Centre" (Ctrl+W) and "Default Focus Frame Centre" place the
// focus window.
#include <memory>

#include "app/capture/focus_mode.h"
#include "app/capture/sequencer.h"
#include "app/commands.h"
#include "ui/camera_dialog.h"
#include "ui/guiding_operations.h"
#include "ui/main_window.h"
#include "ui/picture_view.h"

namespace tarvex::ui {

void register_camera_operations(TTarvexWindow& window, OperationMap& operations) {
  auto front = std::make_shared<QtCaptureFront>(window.app(), &window);
  auto guider = register_guiding_operations(window, operations);
  auto sequencer = std::make_shared<Sequencer>(window.app(), *front, *guider);
  operations[CM_CAMERA] = [front, guider, sequencer] { sequencer->take_photo(); };
  Tarvex& app = window.app();
  operations[CM_FOCUS_CENTRE] = [&app] { arm_focus_centre(app); };
  operations[CM_DEFAULT_FOCUS_CENTRE] = [&app] { default_focus_centre(app); };
  // Registered after merge marking and star picking, which take their
  // clicks first.
  window.picture()->add_left_release_handler(
      [&app](int x, int y) { return !app.busy && focus_centre_click(app, x, y); });
}

}  // namespace tarvex::ui
