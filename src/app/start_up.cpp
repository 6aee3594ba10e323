#include "app/start_up.h"

#include "app/display_pipeline.h"
#include "app/image_file.h"
#include "platform/file_io.h"

namespace tarvex {

void remove_stale_temporary_files(const Tarvex& app) {
  // The sub-folder is the automatic-save folder itself when none is set.
  const Paths& p = app.paths;
  for (const std::filesystem::path& folder :
       {p.data_root(), p.autosave_root(), p.autosave_dir(app.settings.autosave_subdir)})
    remove_stale_temporary_files(folder);
}

void start_up(Tarvex& app) {
  load_settings_at_start(app.paths.settings_file(), app.settings, app.fits, app.ports.messages);
  remove_stale_temporary_files(app);
  init_frame_store(app.store());
  refresh_display(app);
  image_needs_no_save(app);
}

}  // namespace tarvex
