// Qt-free models of the stretch and filter parameter dialogs: their values,
// defaults, step rules, field texts and help boxes. A view forwards slider
// and spin actions here and shows what the model reports; OK hands the
// values to the command (finish with accepted set), Cancel changes nothing.
#pragma once

#include <string>
#include <vector>

#include "app/tarvex.h"
#include "processing/histogram.h"

namespace tarvex {

// Slider actions: "up" moves toward the slider's lower end.
enum class SliderAction { LineUp, LineDown, PageUp, PageDown, Drag };

// TStretchDialog, "Normal Stretch".
class StretchDialogModel {
 public:
  static constexpr const char* TITLE = "Normal Stretch";
  static constexpr int BLACK_FIELD = 101, BLACK_SLIDER = 102, WHITE_SLIDER = 103, WHITE_FIELD = 104;
  unsigned black() const { return black_; }
  unsigned white() const { return white_; }
  // Each returns true when the value changed.
  bool black_slider(SliderAction action, int position = 0);
  bool white_slider(SliderAction action, int position = 0);
  std::string black_field() const { return std::to_string(black_); }
  std::string white_field() const { return std::to_string(white_); }
  std::vector<PlotLine> markers() const { return marker_strip(black_, white_); }
  static HelpText help();
  // OK runs the normal stretch (which does nothing unless black < white).
  bool finish(Tarvex& app, bool accepted) const;

 private:
  unsigned black_ = 0;
  unsigned white_ = 255;
};

// TPowerDialog, "Power Law Stretch".
class PowerDialogModel {
 public:
  static constexpr const char* TITLE = "Power Law Stretch";
  static constexpr int SLIDER = 101, FIELD = 102;
  double gamma() const { return gamma_; }
  bool slider(SliderAction action, int position = 0);
  std::string field() const;
  int slider_position() const { return static_cast<int>(10.0 * gamma_); }
  static HelpText help();
  bool finish(Tarvex& app, bool accepted) const;

 private:
  double gamma_ = 1.0;
};

// TNonLiniarDialog, "Non-Linear Stretch".
class NonLiniarDialogModel {
 public:
  static constexpr const char* TITLE = "Non-Linear Stretch";
  static constexpr int SLIDER = 202, FIELD = 201;
  static constexpr const char* NOTE =
      "This stretch works well for images of nebulae. First use the stretch that removes the "
      "background";
  unsigned power() const { return power_; }
  bool slider(SliderAction action, int position = 0);
  std::string field() const { return std::to_string(power_); }
  static HelpText help();
  bool finish(Tarvex& app, bool accepted) const;

 private:
  unsigned power_ = 25;
};

// TUnsharpDialog, "Unsharp Mask Filter".
class UnsharpDialogModel {
 public:
  static constexpr const char* TITLE = "Unsharp Mask Filter";
  static constexpr int RADIUS_SPIN = 101, POWER_SPIN = 102, RADIUS_FIELD = 103, POWER_FIELD = 104;
  int radius() const { return radius_; }
  int power() const { return power_; }
  // `step` is +1 or -1; values stay within 1..7.
  bool radius_spin(int step);
  bool power_spin(int step);
  std::string radius_field() const { return std::to_string(radius_); }
  std::string power_field() const { return std::to_string(power_); }
  static HelpText help();
  bool finish(Tarvex& app, bool accepted) const;

 private:
  int radius_ = 3;
  int power_ = 1;
};

// TMedianDialog, "Median Filter". Power in tenths.
class MedianDialogModel {
 public:
  static constexpr const char* TITLE = "Median Filter";
  static constexpr int RADIUS_FIELD = 101, POWER_FIELD = 102, RADIUS_SPIN = 103, POWER_SPIN = 104;
  int radius() const { return radius_; }
  int power() const { return power_; }
  bool radius_spin(int step);
  bool power_spin(int step);
  std::string radius_field() const { return std::to_string(radius_); }
  // ".6" as the dialog opens, then "%1.1f" of power / 10.
  std::string power_field() const;
  static HelpText help();
  bool finish(Tarvex& app, bool accepted) const;

 private:
  int radius_ = 1;
  int power_ = 6;
  bool power_changed_ = false;
};

}  // namespace tarvex
