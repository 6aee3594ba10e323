// The camera control dialog's behaviour without its widgets: every click
// changes the acquisition settings at once (there is no transfer on OK), and
// the view refreshes every control from what this model reports after each
// change. The bit depth of the focus and guide windows and "Use Stretch on
// all Images" are the display's palette depth and maximum-stretch flag, the
// same variables View > Max Palette Stretch moves: one depth governs how a
// window is scaled and how it is shown.
//
// Focus and guide windows are placed by the camera's window geometry
// (image/window_geometry.h). The simulated camera renders the window whose
// top-left corner is the decoded column and row, which for every position
// kept in reach is X, Y itself. A stop of a sequence puts the window back at
// its default place, 80, 312.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/acquisition.h"
#include "image/window_geometry.h"

namespace tarvex {

class Tarvex;

inline constexpr const char* CAMERA_HELP_CAPTION = "MORVALE - Control VQ Camera";
extern const char* const CAMERA_HELP_TEXT;
inline constexpr const char* GUIDE_MODE_TEXT = "High Resolution  - Interlaced";
inline constexpr int EXPOSURE_VALUE_MINIMUM = 1;
// The longest main exposure self-guiding can be armed below (seconds).
inline constexpr int SELF_GUIDE_LIMIT_S = 12;
// The tooltip of "Dither Between Exposures" while it cannot act.
inline constexpr const char* DITHER_NEEDS_TEXT = "Dithering needs Self-Guide and Auto-Save";
// The dither amount the dialog accepts, pixels.
inline constexpr double DITHER_PIXELS_MIN = 0.1;
inline constexpr double DITHER_PIXELS_MAX = 20;

// The range words of the guide exposure field: "thousandths" ... "minutes".
const char* guide_range_word(ExposureRange range);

// The check boxes that only toggle their setting.
enum class CameraCheck {
  Average,          // 114
  AlternativeSlew,  // 113
  DelayBefore,      // 117
  Continuous,       // 119
  PauseBetween,     // 777
  AutoSave,         // 115
  AutoDark,         // 106
  AutoColour,       // 124
  AutoExposure,     // 122
  StretchAll,       // 132
};

class CameraDialogModel {
 public:
  // `probe` looks for the guider control box over the serial link; by default
  // the telescope link is opened, which sets controlbox_present.
  explicit CameraDialogModel(Tarvex& app, std::function<void(Tarvex&)> probe = {});

  // Radio group "Exposure Range": q, h, t, s, m; also sets value and maximum.
  void choose_range(ExposureRange range);
  // The exposure bar's arrows: -1 left, +1 right. Other actions do nothing.
  void exposure_arrow(int step);
  void count_arrow(int step);
  void delay_arrow(int step);
  void toggle(CameraCheck which);
  bool checked(CameraCheck which) const;
  // Radio group "Exposure Mode": selects the mode and disarms self-guiding.
  void choose_mode(ExposureMode mode);
  // "Self-Guide Next Exposure"; a refused arm beeps and changes nothing.
  void toggle_self_guide();
  // "Take matching Darkframe"; message 52 when the control box is absent.
  void toggle_matching_dark();
  // The "Stretch" bar: arrows step by one, pages go to 12 or 16, the thumb
  // sets the value; always kept in 12..16.
  void stretch_arrow(int step);
  void stretch_page(int step);
  void stretch_to(int bits);
  // "Dither Between Exposures". Turned on, the amount is the small settings
  // file's guide.dither-pixels unless it was set in this program run.
  void toggle_dither();
  // Its pixels field: DITHER_PIXELS_MIN..DITHER_PIXELS_MAX; anything else
  // beeps and changes nothing (false).
  bool set_dither_pixels(std::string_view text);
  // Dithering acts only between the exposures of self-guided runs with
  // automatic saving.
  bool dither_available() const { return acq_.self_guide_next && acq_.auto_save; }
  std::string dither_pixels_text() const;

  // What the controls show.
  const AcquisitionSettings& settings() const { return acq_; }
  int value_maximum() const { return exposure_value_maximum(acq_.range); }
  int stretch_bits() const;
  bool self_guide_armed() const { return acq_.self_guide_next; }
  std::string guide_value_text() const;  // 127, blank when not armed
  std::string guide_range_text() const;  // 128, blank when not armed
  std::string guide_mode_text() const;   // 136, blank when not armed
  std::string directory_text() const;    // 129
  std::string last_file_text() const;    // 118
  std::string dark_name_text() const;    // 116
  int peak() const { return peak_; }
  void set_peak(int peak) { peak_ = peak; }

 private:
  void probe_once();
  Tarvex& app_;
  AcquisitionSettings& acq_;
  std::function<void(Tarvex&)> probe_;
  int peak_ = 0;
};

}  // namespace tarvex
