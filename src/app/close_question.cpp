#include "app/close_question.h"

#include "app/file_commands.h"
#include "app/file_dialogs.h"
#include "app/image_file.h"

namespace tarvex {

namespace {

bool save_of_kind(Tarvex& app, FitsDialogs& dialogs) {
  const unsigned before = app.image_file.generation;
  if (app.image_file.kind == ImageFileKind::Fits) {
    // Save as FITS reports its own failures; a cancel leaves the image changed.
    save_as_fits_command(app, dialogs);
  } else {
    const std::filesystem::path path = dialogs.choose_save_path(RAW_SAVE_FILTER, "");
    if (path.empty()) return false;
    save_image(app, path);
  }
  if (app.image_file.generation == before) return false;  // cancelled, or the save failed
  app.ports.display.set_title(window_title(app.current_file_name));
  return true;
}

}  // namespace

bool may_close(Tarvex& app, FitsDialogs& dialogs) {
  if (!image_changed(app)) return true;
  switch (app.ports.messages.ask_save_discard_cancel("Tarvex", UNSAVED_IMAGE_QUESTION)) {
    case SaveChoice::Discard: return true;
    case SaveChoice::Cancel: return false;
    case SaveChoice::Save: return save_of_kind(app, dialogs);
  }
  return false;
}

}  // namespace tarvex
