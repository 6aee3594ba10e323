#include "app/export_commands.h"

#include "platform/messages.h"
#include "files/tiff.h"

namespace tarvex {

int save_tiff_command(Tarvex& app, const std::filesystem::path& path) {
  if (save_tiff(path, app.store()) != 0) {
    show_message(app.ports.messages, 29);
    return 29;
  }
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
