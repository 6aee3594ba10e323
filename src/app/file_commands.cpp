#include "app/file_commands.h"

#include "platform/messages.h"
#include "files/raw_file.h"

namespace tarvex {

int open_image(Tarvex& app, const std::filesystem::path& path) {
  LoadTarget target{app.store(), app.fits, app.history, app.current_file_name,
                    app.settings.binned_import_default};
  const int result = load_raw(path, target, app.ports.messages);
  if (result != 0) return result;
  refresh_display(app);
  save_undo(app.store());
  return 0;
}

int save_image(Tarvex& app, const std::filesystem::path& path) {
  const int result = save_raw(path, app.store(), app.ports.messages);
  if (result == 0) app.current_file_name = display_file_name(path);
  return result;
}

int save_flat_image(Tarvex& app, const std::filesystem::path& path) {
  if (save_flat_field(path, app.store()) != 0) {
    show_message(app.ports.messages, 29);
    return 29;
  }
  return 0;
}

int undo_filter_command(Tarvex& app) {
  undo_last_filter(app.store());
  const int result = refresh_display(app);
  app.history.remove_newest();
  return result;
}

int undo_colour_filter_command(Tarvex& app) {
  undo_last_colour_filter(app.store());
  return refresh_display(app);
}

}  // namespace tarvex
