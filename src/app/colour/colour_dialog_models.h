// Qt-free models of the colour dialogs: "SYNTHESIZE COLOUR IMAGE", "Colour
// Starting Balance" and "CHROMATIC ADJUSTMENT". A view forwards its control
// actions here and shows what the model reports.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/colour/correction_commands.h"
#include "app/colour/synthesis_commands.h"
#include "app/processing/processing_dialog_model.h"
#include "app/tarvex.h"
#include "processing/histogram.h"

namespace tarvex {

// Reads an edit box as a whole number (blanks around it allowed); false
// for anything else.
bool read_box_number(const std::string& text, int& value);

// TColourDialog, "SYNTHESIZE COLOUR IMAGE". The model edits a copy of the
// options; "Create Image" hands them back through options().
class SynthesisDialogModel {
 public:
  static constexpr const char* TITLE = "SYNTHESIZE COLOUR IMAGE";
  enum class Check {
    Daylight,
    LightPollution,
    Smoothing,
    AntiAlias,
    IrFilter,
    RemoveBackground,
    HighPass,
    Unsharp,
  };
  enum class Box { UserPower, UnsharpDiameter, UnsharpPower };

  explicit SynthesisDialogModel(const SynthesisOptions& stored);

  static const char* check_label(Check check);
  static const char* stretch_label(AutoStretch stretch);
  static const char* box_label(Box box);  // "" for the box beside "Auto Stretch - User"
  static const std::vector<const char*>& hints();
  static HelpText help();

  bool checked(Check check) const;
  // Each check box flips its option at once.
  void toggle(Check check);
  AutoStretch stretch() const { return options_.stretch; }
  void set_stretch(AutoStretch stretch) { options_.stretch = stretch; }

  const std::string& text(Box box) const { return texts_[static_cast<int>(box)]; }
  void set_text(Box box, std::string text) { texts_[static_cast<int>(box)] = std::move(text); }

  // "Create Image": every valid box value is stored; when all three are
  // valid the dialog closes (true), otherwise the clock beeps and it stays
  // open (false). The boxes then show the stored values.
  bool create_image(Clock& clock);

  const SynthesisOptions& options() const { return options_; }

 private:
  void show_stored();
  SynthesisOptions options_;
  std::array<std::string, 3> texts_;
};

// Runs the synthesis dialog through `run_view` (which returns true for
// "Create Image") on the settings' options; on acceptance the options go
// back into the settings.
bool run_synthesis_dialog(Settings& settings,
                          const std::function<bool(SynthesisDialogModel&)>& run_view);

// TBalanceDialog, "Colour Starting Balance".
class BalanceDialogModel {
 public:
  static constexpr const char* TITLE = "Colour Starting Balance";
  enum class Colour { Red, Green, Blue };
  enum class Field { Start, Min, Max };
  static constexpr int START_MIN = -10, START_MAX = 100;
  static constexpr int MINIMUM_MIN = -10, MINIMUM_MAX = 255;
  static constexpr int MAXIMUM_MAX = 300;
  static constexpr int SATURATION_MIN = 1, SATURATION_MAX = 9;
  static constexpr int HISTOGRAM_BARS = 128;
  static constexpr int BAR_DIVISOR = 15;
  static constexpr int BAR_MAX = 210;

  static const char* colour_label(Colour colour);  // "Red", "Green", "Blue"
  static const char* field_label(Field field);     // "Start", "Min", "Max"
  static HelpText help();

  // Opening resets every start and minimum to 0 and every maximum to 255,
  // shows the stored saturation factor and recounts the histograms.
  void open(const FrameStore& fs, int saturation_factor);

  // Line steps are 1, page steps 10; a dragged start thumb above 256 and a
  // dragged minimum thumb above 400 mean -10. The minimum stays below the
  // maximum. Each returns true when the value changed.
  bool scroll(Colour colour, Field field, SliderAction action, int position = 0);
  bool saturation_scroll(SliderAction action, int position = 0);

  int value(Colour colour, Field field) const;
  std::string field_text(Colour colour, Field field) const;
  int saturation() const { return saturation_; }
  std::string saturation_text() const { return std::to_string(saturation_); }
  // The minimum and maximum while the dialog is open: clamped to 0..255.
  int effective_minimum(Colour colour) const;
  int effective_maximum(Colour colour) const;

  // The histogram of one colour in its own box (x right, y down): one bar
  // per bin at x = bin from y = 210 up by count / 15, bars cut at 210 drawn
  // grey instead of in the colour, and a black marker at x = start / 2.
  std::vector<PlotLine> histogram_plot(Colour colour) const;

  const ColourBalance& balance() const { return balance_; }
  // "Apply": the balance with the shown values.
  bool apply(Tarvex& app) const;

 private:
  BalanceValues& values(Colour colour);
  const BalanceValues& values(Colour colour) const;
  ColourBalance balance_;
  int saturation_ = 1;
  ColourHistograms histograms_;
};

// TChromaticDialog, "CHROMATIC ADJUSTMENT".
class ChromaticDialogModel {
 public:
  static constexpr const char* TITLE = "CHROMATIC ADJUSTMENT";
  enum class Control { RedLeftRight, RedUpDown, BlueLeftRight, BlueUpDown };
  static const char* control_label(Control control);  // "Left / Right", "Up / Down"
  static HelpText help();
  // `step` is +1 or -1; values stay within -3..+3. A shift of +1 moves the
  // plane one pixel left (Left / Right) or up (Up / Down). Returns true
  // when the value changed.
  bool step(Control control, int step);
  int value(Control control) const;
  std::string text(Control control) const { return std::to_string(value(control)); }
  const ChromaticShifts& shifts() const { return shifts_; }
  // OK shifts the planes; Cancel changes nothing.
  bool finish(Tarvex& app, bool accepted) const;

 private:
  ChromaticShifts shifts_;
};

}  // namespace tarvex
