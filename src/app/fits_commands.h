// The File and View commands of FITS files: Save as FITS, Quick Save as FITS,
// Load/Edit AutoSave FITS text and Show/Edit Current Image FITS details. The
// window supplies the two dialogs; the flows and their messages live here.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/fits_details_model.h"
#include "app/reported.h"
#include "app/tarvex.h"
#include "files/fits.h"

namespace tarvex {

// The dialogs a FITS command opens, supplied by the main window (and by tests).
class FitsDialogs {
 public:
  virtual ~FitsDialogs() = default;
  // Runs the modal "FITS DETAILS" dialog over the model; true for "Continue".
  // The command stores the fields (model.accept) after a Continue.
  virtual bool run_details(FitsDetailsModel& model) = 0;
  // The save-file dialog with this filter and default extension; an empty
  // path for Cancel.
  virtual std::filesystem::path choose_save_path(const std::string& filter,
                                                 const std::string& default_extension) = 0;
};

// The path with ".<extension>" added when the name has no extension, as the
// save dialog's default extension does.
std::filesystem::path with_default_extension(const std::filesystem::path& path,
                                             const std::string& extension);

// Writes the current image (colour planes when IsColour) as FITS to `path`;
// the automatic-save folder is made first when missing. Reports
// IMAGE_NOT_SAVED_MESSAGE on failure; on success the name becomes the current
// file name.
Reported save_fits_image(Tarvex& app, const std::filesystem::path& path);

// File > Save as FITS: a FITS date shorter than 10 characters becomes the
// local date of the context's clock; then the FITS details dialog ("Abort"
// cancels), then the save dialog with the FITS filter and the default
// extension "FIT" (Cancel cancels), then the save. Done when saved or
// cancelled.
Reported save_as_fits_command(Tarvex& app, FitsDialogs& dialogs);

// File > Quick Save as FITS and the automatic save of an exposure sequence:
// the next file of the numbered series, with the UT of the middle of the
// exposure that started at `start` and lasted `exposure_ms` (a save from the
// menu passes the wall time of the context's clock and 0). Reports a file
// that cannot be written with its reason (see file_error_message) and
// SettingsSaveFailed when the settings cannot be saved afterwards. `written`
// receives the file name.
Reported quick_save_fits_command(Tarvex& app, std::time_t start, std::uint32_t exposure_ms,
                                 std::filesystem::path* written = nullptr);

// File > Load/Edit AutoSave FITS text: load the settings (FitsSettingsLoadFailed
// when that fails; the dialog still opens over the values in memory), the FITS
// details dialog, and on "Continue" save the settings (FitsSettingsSaveFailed
// when that fails). Returns the last message reported.
Reported edit_autosave_fits_text_command(Tarvex& app, FitsDialogs& dialogs);

// View > Show/Edit Current Image FITS details: the dialog; "Continue" keeps
// the edited fields in memory only.
Reported show_fits_details_command(Tarvex& app, FitsDialogs& dialogs);

}  // namespace tarvex
