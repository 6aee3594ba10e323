#include "app/processing/processing_dialog_model.h"

#include <cstdio>

#include "app/processing/filters_commands.h"
#include "app/processing/stretch_commands.h"
#include "processing/filters.h"

namespace tarvex {

namespace {

std::string tenths(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%1.1f", v);
  return text;
}

bool step_within(int& value, int step, int lo, int hi) {
  const int next = value + step;
  if (step == 0 || next < lo || next > hi) return false;
  value = next;
  return true;
}

}  // namespace

// Limits are compared in signed arithmetic so that a white level below 10
// can never let the black level pass it.
bool StretchDialogModel::black_slider(SliderAction action, int position) {
  const int b = static_cast<int>(black_), w = static_cast<int>(white_);
  int next = b;
  switch (action) {
    case SliderAction::LineUp:
      if (b > 0) next = b - 1;
      break;
    case SliderAction::LineDown:
      if (b < 255 && b < w - 1) next = b + 1;
      break;
    case SliderAction::PageUp:
      if (b > 9) next = b - 10;
      break;
    case SliderAction::PageDown:
      if (b < 246 && b < w - 10) next = b + 10;
      break;
    case SliderAction::Drag:
      if (position >= 0 && position <= static_cast<int>(STRETCH_BLACK_MAX) && position < w)
        next = position;
      break;
  }
  if (next == b) return false;
  black_ = static_cast<unsigned>(next);
  return true;
}

bool StretchDialogModel::white_slider(SliderAction action, int position) {
  const int b = static_cast<int>(black_), w = static_cast<int>(white_);
  int next = w;
  switch (action) {
    case SliderAction::LineUp:
      if (w > 0 && b + 1 < w) next = w - 1;
      break;
    case SliderAction::LineDown:
      if (w < 300) next = w + 1;
      break;
    case SliderAction::PageUp:
      if (w > 9 && b + 10 < w) next = w - 10;
      break;
    case SliderAction::PageDown:
      if (w < 291) next = w + 10;
      break;
    case SliderAction::Drag:
      if (position > b && position <= static_cast<int>(STRETCH_WHITE_MAX)) next = position;
      break;
  }
  if (next == w) return false;
  white_ = static_cast<unsigned>(next);
  return true;
}

HelpText StretchDialogModel::help() {
  return {"MORVALE - Normal Stretch",
          "Use controls to vary intensity from 0 to 255, where the lowest value will be shown as "
          "black and the highest by white. You can darken the whole image by increasing the white "
          "value to 300"};
}

bool StretchDialogModel::finish(Tarvex& app, bool accepted) const {
  return accepted && normal_stretch_command(app, black_, white_);
}

bool PowerDialogModel::slider(SliderAction action, int) {
  if (action == SliderAction::LineUp && gamma_ > 0.2) {
    gamma_ -= 0.1;
    return true;
  }
  if (action == SliderAction::LineDown && !(gamma_ >= 3.0)) {
    gamma_ += 0.1;
    return true;
  }
  return false;
}

std::string PowerDialogModel::field() const {
  return tenths(gamma_);
}

HelpText PowerDialogModel::help() {
  return {"MORVALE - Power Law Stretch",
          "Use controls to vary power from 0.1 to 3.0, where powers greater than 1 will increase "
          "contrast, and powers less than 1 will reduce contrast."};
}

bool PowerDialogModel::finish(Tarvex& app, bool accepted) const {
  return accepted && power_stretch_command(app, gamma_);
}

bool NonLiniarDialogModel::slider(SliderAction action, int position) {
  const unsigned before = power_;
  switch (action) {
    case SliderAction::LineUp:
    case SliderAction::PageUp:
      if (power_ > NON_LINEAR_POWER_MIN) --power_;
      break;
    case SliderAction::LineDown:
    case SliderAction::PageDown:
      if (power_ < NON_LINEAR_POWER_MAX) ++power_;
      break;
    case SliderAction::Drag:
      if (position >= static_cast<int>(NON_LINEAR_POWER_MIN) &&
          position <= static_cast<int>(NON_LINEAR_POWER_MAX))
        power_ = static_cast<unsigned>(position);
      break;
  }
  return power_ != before;
}

HelpText NonLiniarDialogModel::help() {
  return {"MORVALE - NonLiniar Filter", "Use controls to vary the Power from 2 to 50"};
}

bool NonLiniarDialogModel::finish(Tarvex& app, bool accepted) const {
  return accepted && non_linear_stretch_command(app, power_);
}

bool TwoValueDialogModel::radius_spin(int step) {
  return step_within(radius_, step, layout_.radius_min, layout_.radius_max);
}

bool TwoValueDialogModel::power_spin(int step) {
  const bool changed = step_within(power_, step, layout_.power_min, layout_.power_max);
  power_stepped_ = power_stepped_ || changed;
  return changed;
}

bool UnsharpDialogModel::finish(Tarvex& app, bool accepted) const {
  return accepted && unsharp_mask_command(app, radius(), power());
}

std::string MedianDialogModel::power_field() const {
  return power_stepped() ? tenths(power() / 10.0) : std::string(".6");
}

bool MedianDialogModel::finish(Tarvex& app, bool accepted) const {
  return accepted && median_filter_command(app, radius(), power());
}

bool HistDialogModel::open() {
  if (open_) return false;
  open_ = true;
  return true;
}

HelpText HistDialogModel::help() {
  return {"Morvale - Display Histogram",
          "This shows a histogram of the values in the current main window. The horizontal scale "
          "represents values from black (0) to white (256), whilst the vertical scale shows the "
          "number of pixels with a particular value. The vertical scale goes from 0 to 1000, "
          "where there are more than 1000 pixels with the same value the line is truncated and "
          "shown in red.\n\nThe first 15 values where the pixel count exceeds 1000 are also "
          "listed next to the Histogram\n\nShort key - CTL+H"};
}

}  // namespace tarvex
