// Steps of the Colour menu.
#include "app/colour/correction_commands.h"
#include "app/colour/synthesis_commands.h"
#include "cli/steps.h"
#include "platform/messages.h"

namespace tarvex::cli {

namespace {

StepResult usage(std::string error) {
  return StepResult{STEP_USAGE, std::move(error)};
}
StepResult result(bool ok) {
  return StepResult{ok ? STEP_OK : STEP_FAILED, {}};
}

// The options of the settings file with the step's keys laid over them.
std::optional<SynthesisOptions> synthesis_keys(const Settings& settings, const StepKeys& keys,
                                               std::string& e) {
  SynthesisOptions o = synthesis_options(settings);
  struct Flag {
    const char* key;
    bool SynthesisOptions::*field;
  };
  const Flag flags[] = {
      {"daylight", &SynthesisOptions::daylight},
      {"light-pollution", &SynthesisOptions::light_pollution},
      {"smoothing", &SynthesisOptions::smoothing},
      {"anti-alias", &SynthesisOptions::anti_alias},
      {"ir-filter", &SynthesisOptions::ir_filter},
      {"remove-background", &SynthesisOptions::remove_background},
      {"high-pass", &SynthesisOptions::high_pass},
      {"unsharp", &SynthesisOptions::unsharp},
      {"pixel-offset", &SynthesisOptions::pixel_offset},
      {"line-offset", &SynthesisOptions::line_offset},
  };
  for (const Flag& f : flags) {
    const auto v = bool_key(keys, f.key, o.*(f.field), e);
    if (!v) return std::nullopt;
    o.*(f.field) = *v;
  }
  if (auto it = keys.find("stretch"); it != keys.end()) {
    const std::string& s = it->second;
    if (s == "none") {
      o.stretch = AutoStretch::None;
    } else if (s == "weak") {
      o.stretch = AutoStretch::Weak;
    } else if (s == "strong") {
      o.stretch = AutoStretch::Strong;
    } else if (s == "user") {
      o.stretch = AutoStretch::User;
    } else {
      e = "key 'stretch' needs none, weak, strong or user, not '" + s + "'";
      return std::nullopt;
    }
  }
  const auto power = int_key(keys, "user-power", USER_POWER_MIN, USER_POWER_MAX,
                             std::clamp(o.user_power, USER_POWER_MIN, USER_POWER_MAX), e);
  if (!power) return std::nullopt;
  const auto dia =
      int_key(keys, "unsharp-dia", SYNTH_UNSHARP_DIA_MIN, SYNTH_UNSHARP_DIA_MAX,
              std::clamp(o.unsharp_diameter, SYNTH_UNSHARP_DIA_MIN, SYNTH_UNSHARP_DIA_MAX), e);
  if (!dia) return std::nullopt;
  const auto upow =
      int_key(keys, "unsharp-power", SYNTH_UNSHARP_POWER_MIN, SYNTH_UNSHARP_POWER_MAX,
              std::clamp(o.unsharp_power, SYNTH_UNSHARP_POWER_MIN, SYNTH_UNSHARP_POWER_MAX), e);
  if (!upow) return std::nullopt;
  o.user_power = static_cast<int>(*power);
  o.unsharp_diameter = static_cast<int>(*dia);
  o.unsharp_power = static_cast<int>(*upow);
  return o;
}

std::optional<BalanceValues> balance_keys(const StepKeys& keys, const std::string& colour,
                                          std::string& e) {
  BalanceValues v;
  const auto start = int_key(keys, colour + "-start", -10, 100, 0, e);
  if (!start) return std::nullopt;
  const auto lo = int_key(keys, colour + "-min", -10, 255, 0, e);
  if (!lo) return std::nullopt;
  const auto hi = int_key(keys, colour + "-max", 1, 300, 255, e);
  if (!hi) return std::nullopt;
  if (*lo >= *hi) {
    e = colour + "-min must lie below " + colour + "-max";
    return std::nullopt;
  }
  v.start = static_cast<int>(*start);
  v.minimum = static_cast<int>(*lo);
  v.maximum = static_cast<int>(*hi);
  return v;
}

}  // namespace

void register_colour_steps(StepRegistry& registry) {
  registry.add(
      "synthesize-colour",
      "daylight,light-pollution,smoothing,anti-alias,ir-filter,remove-background,high-pass,"
      "unsharp,pixel-offset,line-offset=y|n,stretch=none|weak|strong|user,user-power=2..29,"
      "unsharp-dia=2..6,unsharp-power=1..6 (each from the settings file unless given): Colour > "
      "Synthesize Colour Image (the settings file is not rewritten)",
      [](Tarvex& app, const StepKeys& keys) {
        std::string e;
        if (!only_keys(keys,
                       {"daylight", "light-pollution", "smoothing", "anti-alias", "ir-filter",
                        "stretch", "user-power", "remove-background", "high-pass", "unsharp",
                        "unsharp-dia", "unsharp-power", "pixel-offset", "line-offset"},
                       e))
          return usage(e);
        const auto options = synthesis_keys(app.settings, keys, e);
        if (!options) return usage(e);
        if (checking_steps()) return StepResult{};
        if (app.store().IsColour) {
          show_message(app.ports.messages, Msg::AlreadyColourConverted);
          return result(false);
        }
        synthesize_colour(app, *options);
        return result(true);
      });
  registry.add("anti-alias", "Colour > Apply Anti-Alias Filter",
               plain([](Tarvex& app) { return result(anti_alias_command(app)); }));
  registry.add(
      "colour-balance",
      "red-start=-10..100 (0),red-min=-10..255 (0),red-max=1..300 (255), the same for green- and "
      "blue-, saturation=1..9 (stored): Colour > Set Colour Balance",
      [](Tarvex& app, const StepKeys& keys) {
        std::string e;
        std::vector<std::string> allowed{"saturation"};
        for (const char* c : {"red", "green", "blue"})
          for (const char* f : {"-start", "-min", "-max"}) allowed.push_back(std::string(c) + f);
        if (!only_keys(keys, allowed, e)) return usage(e);
        ColourBalance b;
        for (auto [name, target] :
             {std::pair{"red", &b.red}, std::pair{"green", &b.green}, std::pair{"blue", &b.blue}}) {
          const auto v = balance_keys(keys, name, e);
          if (!v) return usage(e);
          *target = *v;
        }
        const auto sat = int_key(keys, "saturation", 1, 9, app.settings.saturation_factor, e);
        if (!sat) return usage(e);
        if (checking_steps()) return StepResult{};
        if (!app.store().IsColour) {
          show_message(app.ports.messages, Msg::ColourNotConverted);
          return result(false);
        }
        colour_balance_command(app, b, static_cast<int>(*sat));
        return result(true);
      });
  registry.add("chromatism",
               "red-h,red-v,blue-h,blue-v=-3..3 (0): Colour > Adjust Chromatism (a shift of +1 "
               "moves the plane one pixel left or up)",
               [](Tarvex& app, const StepKeys& keys) {
                 std::string e;
                 if (!only_keys(keys, {"red-h", "red-v", "blue-h", "blue-v"}, e)) return usage(e);
                 ChromaticShifts s;
                 for (auto [key, target] :
                      {std::pair{"red-h", &s.red_h}, std::pair{"red-v", &s.red_v},
                       std::pair{"blue-h", &s.blue_h}, std::pair{"blue-v", &s.blue_v}}) {
                   const auto v =
                       int_key(keys, key, -CHROMATIC_SHIFT_MAX, CHROMATIC_SHIFT_MAX, 0, e);
                   if (!v) return usage(e);
                   *target = static_cast<int>(*v);
                 }
                 if (checking_steps()) return StepResult{};
                 return result(chromatism_command(app, s));
               });
  registry.add("overload-smoothing", "Colour > Colour Overload Smoothing",
               plain([](Tarvex& app) { return result(overload_smoothing_command(app)); }));
  registry.add("low-pass-colour", "Colour > Low Pass Colour Filter",
               plain([](Tarvex& app) { return result(low_pass_colour_command(app)); }));
  registry.add("balance-colour-histogram", "Colour > Balance Colour Histogram",
               plain([](Tarvex& app) { return result(balance_colour_histogram_command(app)); }));
}

}  // namespace tarvex::cli
