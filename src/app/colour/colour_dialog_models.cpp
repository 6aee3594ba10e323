#include "app/colour/colour_dialog_models.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tarvex {

bool read_box_number(const std::string& text, int& value) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const auto last = text.find_last_not_of(" \t");
  const std::string t = text.substr(first, last - first + 1);
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || v < -100000 || v > 100000) return false;
  value = static_cast<int>(v);
  return true;
}

// ---------------------------------------------------------------------------
// SYNTHESIZE COLOUR IMAGE

SynthesisDialogModel::SynthesisDialogModel(const SynthesisOptions& stored) : options_(stored) {
  show_stored();
}

const char* SynthesisDialogModel::check_label(Check check) {
  switch (check) {
    case Check::Daylight: return "Daylight Image?";
    case Check::LightPollution: return "Light Pollution Correction";
    case Check::Smoothing: return "Colour Smoothing Filter";
    case Check::AntiAlias: return "Apply Anti-Alias";
    case Check::IrFilter: return "IR Filter Used?";
    case Check::RemoveBackground: return "Remove Background";
    case Check::HighPass: return "High Pass Low Power";
    case Check::Unsharp: return "Unsharp Mask";
  }
  return "";
}

const char* SynthesisDialogModel::stretch_label(AutoStretch stretch) {
  switch (stretch) {
    case AutoStretch::None: return "No Auto Stretch";
    case AutoStretch::Weak: return "Apply Weak Stretch";
    case AutoStretch::Strong: return "Apply Strong Stretch";
    case AutoStretch::User: return "Auto Stretch - User";
  }
  return "";
}

const char* SynthesisDialogModel::box_label(Box box) {
  switch (box) {
    case Box::UserPower: return "";
    case Box::UnsharpDiameter: return "dia.";
    case Box::UnsharpPower: return "power";
  }
  return "";
}

const std::vector<const char*>& SynthesisDialogModel::hints() {
  static const std::vector<const char*> texts = {
      "Daylight Images need less Blue",
      "Can be useful for exposures over 5 minutes long",
      "Apply Low Pass Filter to Colour data",
      "Recommended for all nightime images",
      "Colour balance is affected by Infra red",
      "For Planetary images try weak stretch, for nebulae try strong.",
      "For Astro Images remove the background",
      "To crispen images use high pass filter, or an unsharp mask filter",
      "Nb: You can only convert to colour if the values of all three selection boxes are valid",
  };
  return texts;
}

HelpText SynthesisDialogModel::help() {
  return {"Tarvex - Synthesize Colour",
          "Select Light Pollution correction for most astro shots\n\nIf you want instantaneous "
          "colour images select the anti-alias and one of the stretch values. You can also select "
          "a high pass or Unsharp mask filter.\n\nFor more control apply all image processing "
          "later."};
}

bool SynthesisDialogModel::checked(Check check) const {
  switch (check) {
    case Check::Daylight: return options_.daylight;
    case Check::LightPollution: return options_.light_pollution;
    case Check::Smoothing: return options_.smoothing;
    case Check::AntiAlias: return options_.anti_alias;
    case Check::IrFilter: return options_.ir_filter;
    case Check::RemoveBackground: return options_.remove_background;
    case Check::HighPass: return options_.high_pass;
    case Check::Unsharp: return options_.unsharp;
  }
  return false;
}

void SynthesisDialogModel::toggle(Check check) {
  switch (check) {
    case Check::Daylight: options_.daylight = !options_.daylight; break;
    case Check::LightPollution: options_.light_pollution = !options_.light_pollution; break;
    case Check::Smoothing: options_.smoothing = !options_.smoothing; break;
    case Check::AntiAlias: options_.anti_alias = !options_.anti_alias; break;
    case Check::IrFilter: options_.ir_filter = !options_.ir_filter; break;
    case Check::RemoveBackground: options_.remove_background = !options_.remove_background; break;
    case Check::HighPass: options_.high_pass = !options_.high_pass; break;
    case Check::Unsharp: options_.unsharp = !options_.unsharp; break;
  }
}

void SynthesisDialogModel::show_stored() {
  texts_[0] = std::to_string(options_.user_power);
  texts_[1] = std::to_string(options_.unsharp_diameter);
  texts_[2] = std::to_string(options_.unsharp_power);
}

bool SynthesisDialogModel::create_image(Clock& clock) {
  bool all_valid = true;
  auto take = [&](Box box, int lo, int hi, int& stored) {
    int v = 0;
    if (read_box_number(text(box), v) && v >= lo && v <= hi) {
      stored = v;
    } else {
      all_valid = false;
    }
  };
  take(Box::UserPower, USER_POWER_MIN, USER_POWER_MAX, options_.user_power);
  take(Box::UnsharpDiameter, SYNTH_UNSHARP_DIA_MIN, SYNTH_UNSHARP_DIA_MAX,
       options_.unsharp_diameter);
  take(Box::UnsharpPower, SYNTH_UNSHARP_POWER_MIN, SYNTH_UNSHARP_POWER_MAX, options_.unsharp_power);
  if (!all_valid) clock.beep();
  show_stored();
  return all_valid;
}

bool run_synthesis_dialog(Settings& settings,
                          const std::function<bool(SynthesisDialogModel&)>& run_view) {
  SynthesisDialogModel model(synthesis_options(settings));
  if (!run_view(model)) return false;
  store_synthesis_options(model.options(), settings);
  return true;
}

// ---------------------------------------------------------------------------
// Colour Starting Balance

const char* BalanceDialogModel::colour_label(Colour colour) {
  switch (colour) {
    case Colour::Red: return "Red";
    case Colour::Green: return "Green";
    case Colour::Blue: return "Blue";
  }
  return "";
}

const char* BalanceDialogModel::field_label(Field field) {
  switch (field) {
    case Field::Start: return "Start";
    case Field::Min: return "Min";
    case Field::Max: return "Max";
  }
  return "";
}

HelpText BalanceDialogModel::help() {
  return {"Tarvex",
          "Use controls to vary the starting value for each colour. You may increase the intensity "
          "of a colour by making the starting value negative.\n\nThe overall colour saturation of "
          "the image can be changed by varying the colour saturation field. A value of 2 is "
          "recommended for most images."};
}

void BalanceDialogModel::open(const FrameStore& fs, int saturation_factor) {
  balance_ = ColourBalance{};
  saturation_ = std::clamp(saturation_factor, SATURATION_MIN, SATURATION_MAX);
  colour_histograms(fs, histograms_);
}

BalanceValues& BalanceDialogModel::values(Colour colour) {
  return colour == Colour::Red     ? balance_.red
         : colour == Colour::Green ? balance_.green
                                   : balance_.blue;
}

const BalanceValues& BalanceDialogModel::values(Colour colour) const {
  return colour == Colour::Red     ? balance_.red
         : colour == Colour::Green ? balance_.green
                                   : balance_.blue;
}

namespace {

int stepped(int value, SliderAction action, int position) {
  switch (action) {
    case SliderAction::LineUp: return value - 1;
    case SliderAction::LineDown: return value + 1;
    case SliderAction::PageUp: return value - 10;
    case SliderAction::PageDown: return value + 10;
    case SliderAction::Drag: return position;
  }
  return value;
}

}  // namespace

bool BalanceDialogModel::scroll(Colour colour, Field field, SliderAction action, int position) {
  BalanceValues& v = values(colour);
  int* target = field == Field::Start ? &v.start : field == Field::Min ? &v.minimum : &v.maximum;
  int next = stepped(*target, action, position);
  switch (field) {
    case Field::Start:
      if (action == SliderAction::Drag && position > 256) next = START_MIN;
      next = std::clamp(next, START_MIN, START_MAX);
      break;
    case Field::Min:
      if (action == SliderAction::Drag && position > 400) next = MINIMUM_MIN;
      next = std::clamp(next, MINIMUM_MIN, std::min(MINIMUM_MAX, v.maximum - 1));
      break;
    case Field::Max: next = std::clamp(next, std::max(v.minimum + 1, 1), MAXIMUM_MAX); break;
  }
  if (next == *target) return false;
  *target = next;
  return true;
}

bool BalanceDialogModel::saturation_scroll(SliderAction action, int position) {
  const int next =
      std::clamp(stepped(saturation_, action, position), SATURATION_MIN, SATURATION_MAX);
  if (next == saturation_) return false;
  saturation_ = next;
  return true;
}

int BalanceDialogModel::value(Colour colour, Field field) const {
  const BalanceValues& v = values(colour);
  return field == Field::Start ? v.start : field == Field::Min ? v.minimum : v.maximum;
}

std::string BalanceDialogModel::field_text(Colour colour, Field field) const {
  return std::to_string(value(colour, field));
}

int BalanceDialogModel::effective_minimum(Colour colour) const {
  return std::max(values(colour).minimum, 0);
}

int BalanceDialogModel::effective_maximum(Colour colour) const {
  return std::min(values(colour).maximum, 255);
}

std::vector<PlotLine> BalanceDialogModel::histogram_plot(Colour colour) const {
  const auto& bins = colour == Colour::Red     ? histograms_.red
                     : colour == Colour::Green ? histograms_.green
                                               : histograms_.blue;
  const PlotColour own = colour == Colour::Red     ? PlotColour{255, 0, 0}
                         : colour == Colour::Green ? PlotColour{0, 255, 0}
                                                   : PlotColour{0, 0, 255};
  std::vector<PlotLine> lines;
  lines.reserve(HISTOGRAM_BARS + 1);
  for (int b = 0; b < HISTOGRAM_BARS; ++b) {
    const auto h = static_cast<int>(bins[b] / BAR_DIVISOR);
    if (h > BAR_MAX) {
      lines.push_back({b, BAR_MAX, b, 0, PLOT_GREY});
    } else {
      lines.push_back({b, BAR_MAX, b, BAR_MAX - h, own});
    }
  }
  const int x = values(colour).start / 2;
  lines.push_back({x, BAR_MAX, x, 0, PLOT_BLACK});
  return lines;
}

bool BalanceDialogModel::apply(Tarvex& app) const {
  return colour_balance_command(app, balance_, saturation_);
}

// ---------------------------------------------------------------------------
// CHROMATIC ADJUSTMENT

const char* ChromaticDialogModel::control_label(Control control) {
  return control == Control::RedLeftRight || control == Control::BlueLeftRight ? "Left / Right"
                                                                               : "Up / Down";
}

HelpText ChromaticDialogModel::help() {
  return {"MORVALE - Adjust Chromatism",
          "If you see chromatic fringes in your image you can attempt to remove them by adjusting "
          "the red and blue data sets relative to the green.\n\nTry changing just one pixel at a "
          "time."};
}

namespace {

int& shift_of(ChromaticShifts& s, ChromaticDialogModel::Control control) {
  using C = ChromaticDialogModel::Control;
  switch (control) {
    case C::RedLeftRight: return s.red_h;
    case C::RedUpDown: return s.red_v;
    case C::BlueLeftRight: return s.blue_h;
    case C::BlueUpDown: return s.blue_v;
  }
  return s.red_h;
}

}  // namespace

bool ChromaticDialogModel::step(Control control, int step) {
  int& v = shift_of(shifts_, control);
  const int next = std::clamp(v + (step > 0 ? 1 : -1), -CHROMATIC_SHIFT_MAX, CHROMATIC_SHIFT_MAX);
  if (next == v) return false;
  v = next;
  return true;
}

int ChromaticDialogModel::value(Control control) const {
  ChromaticShifts copy = shifts_;
  return shift_of(copy, control);
}

bool ChromaticDialogModel::finish(Tarvex& app, bool accepted) const {
  if (!accepted) return false;
  return chromatism_command(app, shifts_);
}

}  // namespace tarvex
