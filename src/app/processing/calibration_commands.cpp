#include "app/processing/calibration_commands.h"

#include "app/busy_scope.h"
#include "app/display_pipeline.h"
#include "app/file_commands.h"
#include "app/processing/merge_commands.h"
#include "platform/messages.h"

namespace tarvex {

namespace {

// Runs one calibration operation between the busy cursor's on and off, with
// the undo copy taken first, then writes the history line and redisplays.
template <typename Operation>
Reported run_calibration(Tarvex& app, const char* history_line, Operation operation) {
  FrameStore& fs = app.store();
  BusyScope busy(app);
  save_undo(fs);
  operation(fs);
  app.history.add_history(history_line);
  return refresh_display(app);
}

}  // namespace

Reported subtract_dark_command(Tarvex& app, const std::filesystem::path& path) {
  if (refused_during_merge(app)) return Msg::CallerText;
  const Reported loaded = load_second_frame(app, path, SecondPurpose::SubtractDark);
  if (!loaded.ok()) return loaded;
  return run_calibration(app, DARK_HISTORY, [](FrameStore& fs) { subtract_dark_frame(fs); });
}

Reported flat_field_command(Tarvex& app, const std::filesystem::path& path) {
  if (refused_during_merge(app)) return Msg::CallerText;
  const Reported loaded = load_second_frame(app, path, SecondPurpose::FlatField);
  if (!loaded.ok()) return loaded;
  // A flat that is black where it is normalised would turn every divided
  // pixel to 0: refuse it and keep the image.
  if (!(flat_normalisation(app.store().SecondFrame) > 0.0)) {
    show_message(app.ports.messages, Msg::CallerText, FLAT_BLANK_TEXT);
    return Msg::CallerText;
  }
  Progress& progress = app.ports.progress;
  return run_calibration(app, FLAT_HISTORY,
                         [&progress](FrameStore& fs) { divide_flat_field(fs, progress); });
}

}  // namespace tarvex
