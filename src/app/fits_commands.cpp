#include "app/fits_commands.h"

#include "app/file_messages.h"
#include "app/image_file.h"
#include "files/raw_file.h"
#include "files/settings.h"
#include "platform/file_io.h"
#include "platform/messages.h"

namespace tarvex {

namespace {

// Opens the details dialog over the record; true after "Continue", with the
// fields stored.
bool run_details_dialog(Tarvex& app, FitsDialogs& dialogs) {
  FitsDetailsModel model(app.fits, app.settings.ut_offset_hours, app.store().IsBinned);
  if (!dialogs.run_details(model)) return false;
  model.accept();
  return true;
}

}  // namespace

std::filesystem::path with_default_extension(const std::filesystem::path& path,
                                             const std::string& extension) {
  if (path.empty() || path.has_extension()) return path;
  std::filesystem::path p = path;
  p += "." + extension;
  return p;
}

Reported save_fits_image(Tarvex& app, const std::filesystem::path& path) {
  // The automatic-save folder is made before every FITS save, as the series
  // and the settings file live there.
  make_folder(app.paths.autosave_dir(app.settings.autosave_subdir));
  const FrameStore& fs = app.store();
  if (save_fits(path, fs.IsColour, fs, app.fits, app.history) != FileSave::Ok)
    return report(app.ports.messages, IMAGE_NOT_SAVED_MESSAGE);
  app.current_file_name = display_file_name(path);
  image_matches_file(app, path, ImageFileKind::Fits);
  return {};
}

Reported save_as_fits_command(Tarvex& app, FitsDialogs& dialogs) {
  if (app.fits.fits_date.size() < FITS_DATE_MAX)
    app.fits.fits_date = local_date_text(app.ports.clock.wall_time(), app.settings.ut_offset_hours);
  if (!run_details_dialog(app, dialogs)) return {};
  const std::filesystem::path chosen =
      dialogs.choose_save_path(FITS_SAVE_FILTER, FITS_DEFAULT_EXTENSION);
  if (chosen.empty()) return {};
  return save_fits_image(app, with_default_extension(chosen, FITS_DEFAULT_EXTENSION));
}

Reported quick_save_fits_command(Tarvex& app, std::time_t start, std::uint32_t exposure_ms,
                                 std::filesystem::path* written) {
  const AutosaveResult r =
      autosave_fits(AutosaveTarget{app.store(), app.fits, app.history, app.settings, app.paths},
                    start, exposure_ms);
  if (written != nullptr) *written = r.file;
  // The image was written even when the new number could not be kept.
  if (r.result != AutosaveStatus::FileNotWritten)
    image_matches_file(app, r.file, ImageFileKind::Fits);
  return report(app.ports.messages, r);
}

Reported edit_autosave_fits_text_command(Tarvex& app, FitsDialogs& dialogs) {
  Reported reported;
  if (settings_load_failed(
          load_settings(app.paths.settings_file(), app.settings, app.fits, app.ports.messages)))
    reported = report(app.ports.messages, Msg::FitsSettingsLoadFailed);
  if (!run_details_dialog(app, dialogs)) return reported;
  if (save_settings(app.paths.settings_file(), app.settings, app.fits) != FileSave::Ok)
    return report(app.ports.messages, Msg::FitsSettingsSaveFailed);
  return reported;
}

Reported show_fits_details_command(Tarvex& app, FitsDialogs& dialogs) {
  run_details_dialog(app, dialogs);
  return {};
}

}  // namespace tarvex
