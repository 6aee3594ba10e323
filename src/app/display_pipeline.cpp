#include "app/display_pipeline.h"

#include "app/file_messages.h"
#include "colour/colour_display.h"
#include "platform/file_io.h"
#include "platform/messages.h"

namespace tarvex {

namespace {

Reported write_picture(Tarvex& app) {
  FrameStore& fs = app.store();
  const bool small = app.display.SmallFrameMode;
  // The data root holds the bitmap files; on a first run it may not exist yet.
  make_folder(app.paths.data_root());
  BitmapWrite result = BitmapWrite::Ok;
  if (fs.IsColour && !small) {
    Progress& progress = app.ports.progress;
    progress.open("BUILDING COLOUR IMAGE");
    for (int slice = 0; slice < 10; ++slice) {
      progress.set_position(slice * 25);
      build_colour_rows(fs, app.display, app.settings, slice * 58, slice * 58 + 58);
      app.ports.pump.pump();
    }
    progress.close();
    result = write_colour_bitmap(app.paths.bitmap_file(false), fs);
  } else {
    const GreyMap map = grey_mapping(app.display, fs.BackgroundLevel);
    result = write_mono_bitmap(app.paths.bitmap_file(small), fs, small, map);
  }
  if (result != BitmapWrite::Ok) {
    const std::optional<Msg> message = message_code(result);
    if (!app.display_bitmap_failed) show_message(app.ports.messages, *message);
    app.display_bitmap_failed = true;
    return message;
  }
  app.display_bitmap_failed = false;
  app.ports.display.reload_bitmap(app.paths.bitmap_file(small).string(), fs.IsColour && !small);
  return {};
}

}  // namespace

Reported refresh_display(Tarvex& app) {
  make_display_bytes(app.store(), app.display.SmallFrameMode);
  app.ports.display.set_title(window_title(app.current_file_name));
  return write_picture(app);
}

Reported rebuild_picture(Tarvex& app) {
  app.ports.display.set_title(window_title(app.current_file_name));
  return write_picture(app);
}

void after_paint(Tarvex& app) {
  compute_image_histogram(app.store());
}

}  // namespace tarvex
