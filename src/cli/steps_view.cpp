// Steps of the View and Edit commands: Mirror image and Label Image.
#include <cstdio>

#include "app/label.h"
#include "app/view_commands.h"
#include "cli/steps.h"

namespace tarvex::cli {

namespace {
std::optional<std::tm> g_fixed_time;
}

void set_fixed_time(std::optional<std::tm> time) {
  g_fixed_time = time;
}

std::tm current_time() {
  if (g_fixed_time) return *g_fixed_time;
  const std::time_t t = std::time(nullptr);
  std::tm now{};
  localtime_r(&t, &now);  // the settings set the time zone to UT
  return now;
}

std::optional<std::tm> parse_time(const std::string& text) {
  std::tm t{};
  int y, mo, d, h, mi, s;
  char tail;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
    return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 ||
      s > 60 || y < 1 || y > 9999) {
    return std::nullopt;
  }
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  return t;
}

void register_view_steps(StepRegistry& registry) {
  registry.add("mirror", "View > Mirror image (a label stays readable)",
               [](Tarvex& app, const StepKeys& keys) {
                 StepResult r;
                 if (!only_keys(keys, {}, r.error)) return StepResult{STEP_USAGE, r.error};
                 return StepResult{mirror_command(app) == 0 ? STEP_OK : STEP_FAILED, {}};
               });
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
        const int result =
            label_image(app, text, *date ? LabelDate::Auto : LabelDate::None, current_time());
        return StepResult{result == 0 ? STEP_OK : STEP_FAILED, {}};
      });
}

}  // namespace tarvex::cli
