#include "app/export_commands.h"

#include "app/file_messages.h"
#include "app/mount_pointing.h"
#include "files/tiff.h"
#include "files/tiff16.h"
#include "platform/version.h"

namespace tarvex {

Reported save_tiff_command(Tarvex& app, const std::filesystem::path& path) {
  if (save_tiff(path, app.store()) != FileSave::Ok)
    return report(app.ports.messages, IMAGE_NOT_SAVED_MESSAGE);
  return {};
}

std::string program_name_and_version() {
  return std::string("Tarvex ") + PROGRAM_VERSION;
}

Reported export_standard_fits_command(Tarvex& app, const std::filesystem::path& path,
                                      StandardFitsSamples samples) {
  const StandardFitsStamp stamp = standard_fits_stamp(app);
  const MosaicOffsets mosaic{app.settings.pixel_offset, app.settings.line_offset};
  if (save_standard_fits(path, app.store(), app.fits, app.history, samples, stamp, mosaic) !=
      FileSave::Ok)
    return report(app.ports.messages, IMAGE_NOT_SAVED_MESSAGE);
  return {};
}

Reported export_tiff16_command(Tarvex& app, const std::filesystem::path& path) {
  if (save_tiff16(path, app.store()) != FileSave::Ok)
    return report(app.ports.messages, IMAGE_NOT_SAVED_MESSAGE);
  return {};
}

void print_command(Tarvex& app) {
  app.ports.launcher.start_detached(PRINT_PROGRAM,
                                    {"PRINT", app.paths.bitmap_file(false).string()});
}

void print_setup_command(Tarvex& app) {
  app.ports.launcher.start_detached(PRINT_PROGRAM, {"SETUP"});
}

}  // namespace tarvex
