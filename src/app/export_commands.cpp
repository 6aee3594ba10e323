#include "app/export_commands.h"

#include "app/file_messages.h"
#include "files/tiff.h"

namespace tarvex {

int save_tiff_command(Tarvex& app, const std::filesystem::path& path) {
  if (save_tiff(path, app.store()) != FileSave::Ok)
    return report(app.ports.messages, IMAGE_NOT_SAVED_MESSAGE);
  return 0;
}

void print_command(Tarvex& app) {
  app.ports.launcher.start_detached(PRINT_PROGRAM,
                                    {"PRINT", app.paths.bitmap_file(false).string()});
}

void print_setup_command(Tarvex& app) {
  app.ports.launcher.start_detached(PRINT_PROGRAM, {"SETUP"});
}

}  // namespace tarvex
