// Steps of the View and Edit commands: Mirror image and Label Image.
#include "app/label.h"
#include "app/view_commands.h"
#include "cli/steps.h"

namespace tarvex::cli {

void register_view_steps(StepRegistry& registry) {
  registry.add("mirror", "View > Mirror image (a label stays readable)", plain([](Tarvex& app) {
                 return StepResult{mirror_command(app).ok() ? STEP_OK : STEP_FAILED};
               }));
  registry.add(
      "label", "Edit > Label Image: text=TEXT (up to 30 characters), auto-date=0|1 (default 0)",
      [](Tarvex& app, const StepKeys& keys) {
        StepResult r;
        if (!only_keys(keys, {"text", "auto-date"}, r.error)) {
          return StepResult{STEP_USAGE, r.error};
        }
        auto it = keys.find("text");
        const std::string text = it == keys.end() ? std::string() : it->second;
        if (text.size() > LABEL_TEXT_MAX) {
          return StepResult{STEP_USAGE, "key 'text' holds at most 30 characters"};
        }
        const auto date = bool_key(keys, "auto-date", false, r.error);
        if (!date) return StepResult{STEP_USAGE, r.error};
        if (checking_steps()) return StepResult{};
        const Reported result = label_image(app, text, *date ? LabelDate::Auto : LabelDate::None);
        return StepResult{result.ok() ? STEP_OK : STEP_FAILED, {}};
      });
}

}  // namespace tarvex::cli
