// The file chooser of the Merge menu's calibration commands and of File >
// "Select Dark Frame" and File > "Delete": the file-open dialog with the raw
// filter, starting on the filter used last. The window shows the dialog with
// filter() and initial_filter(), then hands the chosen path to chosen().
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "app/reported.h"
#include "app/tarvex.h"

namespace tarvex {

enum class ChooserMode { DarkSubtraction, FlatField, SelectDarkFrame, Delete };

inline constexpr const char* CHOOSER_FILTER =
    "Velquor (~*.)|~*.*|FITS files|*.FIT|All Files(*.*)|*.*|";
inline constexpr const char* DELETE_CAPTION = "Delete Selected File";
inline constexpr const char* DELETE_PROMPT = "Delete the following File?";

// The dialog's filters by their 1-based index in CHOOSER_FILTER.
enum class ChooserFilter { Raw = 1, Fits = 2, All = 3 };

// The filter a chosen file leaves remembered: FITS when its extension is
// "FIT" (in any case), else raw when its name contains "~", else all files.
ChooserFilter filter_for_chosen_file(const std::filesystem::path& path);

class FileChooserModel {
 public:
  // Sets the mode before the dialog opens. The dark and flat modes stay set
  // until the next of them; Select Dark Frame and Delete last for their own
  // run only.
  void begin(ChooserMode mode);
  ChooserMode mode() const { return mode_; }
  const char* filter() const { return CHOOSER_FILTER; }
  // 1-based index of the filter the dialog starts on.
  int initial_filter() const { return static_cast<int>(filter_); }

  // Runs the command for the chosen file (the dialog requires an existing
  // file). Returns the failure the command reported.
  Reported chosen(Tarvex& app, const std::filesystem::path& path);
  // The dialog was cancelled: nothing changes.
  void cancelled();

  // Asks whether the chosen file may be deleted. When empty, the messages
  // port asks a yes/no question; the window puts its "Delete Selected File"
  // dialog here.
  std::function<bool(const std::filesystem::path&)> confirm_delete;

 private:
  ChooserMode mode_ = ChooserMode::DarkSubtraction;
  ChooserMode calibration_mode_ = ChooserMode::DarkSubtraction;
  ChooserFilter filter_ = ChooserFilter::Raw;
};

}  // namespace tarvex
