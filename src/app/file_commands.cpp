#include "app/file_commands.h"

#include <system_error>

#include "app/display_pipeline.h"
#include "app/file_messages.h"
#include "app/image_file.h"
#include "files/raw_file.h"

namespace tarvex {

Reported open_image(Tarvex& app, const std::filesystem::path& path) {
  LoadTarget target{app.store(), app.fits, app.history, app.current_file_name,
                    app.settings.binned_import_default};
  const Reported result = report(app.ports.messages, message_code(load_raw(path, target)));
  if (!result.ok()) return result;
  // The image is the file's now, dated by the file's own FITS details.
  app.exposure_start = 0;
  app.observing = {};
  refresh_display(app);
  save_undo(app.store());
  std::error_code ec;
  const auto length = std::filesystem::file_size(path, ec);
  const bool fits = !ec && is_fits_layout(layout_for_length(length));
  image_matches_file(app, path, fits ? ImageFileKind::Fits : ImageFileKind::KrFile);
  return {};
}

Reported load_second_frame(Tarvex& app, const std::filesystem::path& path, SecondPurpose purpose) {
  return report(app.ports.messages, message_code(load_second(path, purpose, app.store())));
}

Reported save_image(Tarvex& app, const std::filesystem::path& path) {
  const Reported result = report(app.ports.messages, message_code(save_raw(path, app.store())));
  if (result.ok()) {
    app.current_file_name = display_file_name(path);
    image_matches_file(app, path, ImageFileKind::KrFile);
  }
  return result;
}

Reported save_flat_image(Tarvex& app, const std::filesystem::path& path) {
  if (save_flat_field(path, app.store()) != FileSave::Ok)
    return report(app.ports.messages, IMAGE_NOT_SAVED_MESSAGE);
  return {};
}

Reported undo_filter_command(Tarvex& app) {
  undo_last_filter(app.store());
  const Reported result = refresh_display(app);
  app.history.remove_newest();
  return result;
}

Reported undo_colour_filter_command(Tarvex& app) {
  undo_last_colour_filter(app.store());
  return refresh_display(app);
}

}  // namespace tarvex
