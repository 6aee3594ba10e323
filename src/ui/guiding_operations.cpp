// The autoguider's menu commands: Train Auto-Guiding and Start Auto-Guiding,
// with the Guiding Info window, on the one autoguider the camera command's
// sequencer also guides self-guided exposures with.
#include "ui/guiding_operations.h"

#include "app/commands.h"

namespace tarvex::ui {

std::shared_ptr<Autoguider> register_guiding_operations(TTarvexWindow& window,
                                                        OperationMap& operations) {
  auto info = std::make_shared<GuidingInfoWindow>(&window);
  auto guider = std::make_shared<Autoguider>(window.app(), *info);
  info->set_guider(guider.get());
  operations[CM_TRAIN_GUIDING] = [guider, info] { guider->train(); };
  operations[CM_START_GUIDING] = [guider, info] { guider->guide(); };
  return guider;
}

}  // namespace tarvex::ui
