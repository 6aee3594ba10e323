// Steps of the Edit menu's undo commands.
#include "app/file_commands.h"
#include "cli/steps.h"

namespace tarvex::cli {

void register_foundation_steps(StepRegistry& registry) {
  registry.add("undo", "Edit > Undo Last Filter", plain([](Tarvex& app) {
                 return StepResult{undo_filter_command(app).ok() ? STEP_OK : STEP_FAILED};
               }));
  registry.add("undo-colour", "Edit > Undo Last Colour Filter", plain([](Tarvex& app) {
                 return StepResult{undo_colour_filter_command(app).ok() ? STEP_OK : STEP_FAILED};
               }));
}

}  // namespace tarvex::cli
