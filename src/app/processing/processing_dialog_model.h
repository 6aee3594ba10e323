// Qt-free models of the stretch and filter parameter dialogs: their values,
// defaults, step rules, field texts and help boxes. A view forwards slider
// and spin actions here and shows what the model reports; OK hands the
// values to the command (finish with accepted set), Cancel changes nothing.
#pragma once

#include <string>
#include <vector>

#include "app/help_text.h"
#include "app/tarvex.h"
#include "processing/filters.h"
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

// What sets one two-value dialog apart: its title, control ids, the ranges
// and opening values of its two values, and its help box.
struct TwoValueDialogLayout {
  const char* title;
  int radius_spin_id, power_spin_id, radius_field_id, power_field_id;
  int radius_min, radius_max, radius_start;
  int power_min, power_max, power_start;
  const char* help_caption;
  const char* help_text;
  HelpText help() const { return {help_caption, help_text}; }
};

// The model of TUnsharpDialog and TMedianDialog: a Radius and a Power, each
// stepped by one with its arrows within its range and shown in its field.
class TwoValueDialogModel {
 public:
  explicit TwoValueDialogModel(const TwoValueDialogLayout& layout)
      : layout_(layout), radius_(layout.radius_start), power_(layout.power_start) {}
  virtual ~TwoValueDialogModel() = default;
  const TwoValueDialogLayout& layout() const { return layout_; }
  int radius() const { return radius_; }
  int power() const { return power_; }
  // `step` is +1 or -1; each returns true when the value changed.
  bool radius_spin(int step);
  bool power_spin(int step);
  std::string radius_field() const { return std::to_string(radius_); }
  virtual std::string power_field() const { return std::to_string(power_); }
  // OK runs the filter with the two values; Cancel changes nothing.
  virtual bool finish(Tarvex& app, bool accepted) const = 0;

 protected:
  bool power_stepped() const { return power_stepped_; }

 private:
  const TwoValueDialogLayout& layout_;
  int radius_;
  int power_;
  bool power_stepped_ = false;
};

// TUnsharpDialog, "Unsharp Mask Filter": radius and power 1..7.
class UnsharpDialogModel : public TwoValueDialogModel {
 public:
  static constexpr TwoValueDialogLayout LAYOUT = {
      .title = "Unsharp Mask Filter",
      .radius_spin_id = 101,
      .power_spin_id = 102,
      .radius_field_id = 103,
      .power_field_id = 104,
      .radius_min = UNSHARP_RADIUS_MIN,
      .radius_max = UNSHARP_RADIUS_MAX,
      .radius_start = 3,
      .power_min = UNSHARP_POWER_MIN,
      .power_max = UNSHARP_POWER_MAX,
      .power_start = 1,
      .help_caption = "Unsharp Mask Filter",
      .help_text = "Use controls to vary the radius from 1 to 7, and the power from 1 to 7."};
  UnsharpDialogModel() : TwoValueDialogModel(LAYOUT) {}
  static HelpText help() { return LAYOUT.help(); }
  bool finish(Tarvex& app, bool accepted) const override;
};

// TMedianDialog, "Median Filter": radius 1..3, power in tenths 1..10.
class MedianDialogModel : public TwoValueDialogModel {
 public:
  static constexpr TwoValueDialogLayout LAYOUT = {
      .title = "Median Filter",
      .radius_spin_id = 103,
      .power_spin_id = 104,
      .radius_field_id = 101,
      .power_field_id = 102,
      .radius_min = MEDIAN_RADIUS_MIN,
      .radius_max = MEDIAN_RADIUS_MAX,
      .radius_start = 1,
      .power_min = MEDIAN_POWER_MIN,
      .power_max = MEDIAN_POWER_MAX,
      .power_start = 6,
      .help_caption = "MORVALE - Median Filter",
      .help_text = "Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1."};
  MedianDialogModel() : TwoValueDialogModel(LAYOUT) {}
  static HelpText help() { return LAYOUT.help(); }
  // ".6" as the dialog opens, then "%1.1f" of power / 10.
  std::string power_field() const override;
  bool finish(Tarvex& app, bool accepted) const override;
};

// The modeless histogram window ("Histogram of Current Image"): at most one.
class HistDialogModel {
 public:
  static constexpr const char* TITLE = "Histogram of Current Image";
  static constexpr int CLOSE_ID = 101;
  static constexpr int HELP_ID = 9;
  // Command 6: true when a window should open; false while one is open.
  bool open();
  // "Close": clears the open flag.
  void close() { open_ = false; }
  bool is_open() const { return open_; }
  static HelpText help();

 private:
  bool open_ = false;
};

}  // namespace tarvex
