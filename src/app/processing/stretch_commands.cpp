#include "app/processing/stretch_commands.h"

#include <cstdio>
#include <string>

#include "app/busy_scope.h"
#include "app/display_pipeline.h"

namespace tarvex {

namespace {

// Runs `map` over the frame inside the progress window "CONTRAST STRETCH"
// with the busy cursor, then redisplays when asked.
template <typename Map>
void map_with_progress(Tarvex& app, bool redisplay, Map map) {
  Progress& progress = app.ports.progress;
  {
    BusyScope busy(app);
    progress.open("CONTRAST STRETCH");
    map(progress);
    progress.close();
  }
  if (redisplay) refresh_display(app);
}

// Runs the table through the frame and writes the history line once the
// mapping (and the redisplay, when asked) is complete.
bool apply_and_record(Tarvex& app, bool redisplay, const std::string& history_line) {
  stretch_table_command(app, redisplay);
  app.history.add_history(history_line);
  return true;
}

}  // namespace

void stretch_table_command(Tarvex& app, bool redisplay) {
  map_with_progress(app, redisplay, [&app](Progress& progress) {
    apply_stretch_table(app.store(), app.StretchTable, progress, app.ports.pump);
  });
}

bool normal_stretch_command(Tarvex& app, unsigned black, unsigned white) {
  if (black >= white) return false;
  fill_normal_table(app.StretchTable, black, white);
  return apply_and_record(
      app, true,
      "Normal Stretch : max " + std::to_string(white) + " ,min " + std::to_string(black));
}

bool power_stretch_command(Tarvex& app, double gamma) {
  if (gamma == 1.0) return false;
  fill_power_table(app.StretchTable, gamma);
  char text[32];
  std::snprintf(text, sizeof text, "%1.1f", gamma);
  return apply_and_record(app, true, std::string("Power Stretch : ") + text);
}

bool sine_stretch_command(Tarvex& app) {
  fill_sine_table(app.StretchTable);
  return apply_and_record(app, true, "Sine Stretch");
}

bool log_stretch_command(Tarvex& app) {
  fill_log_table(app.StretchTable);
  return apply_and_record(app, true, "Log Stretch");
}

bool antilog_stretch_command(Tarvex& app) {
  fill_antilog_table(app.StretchTable);
  return apply_and_record(app, true, "Anti-Log Stretch");
}

bool invert_command(Tarvex& app) {
  // The table is filled as for every stretch, so applying StretchTable again
  // inverts again; the frame itself is inverted by arithmetic, which gives
  // the same samples as the table without a look-up per sample.
  fill_invert_table(app.StretchTable);
  map_with_progress(app, true, [&app](Progress& progress) {
    invert_frame(app.store(), progress, app.ports.pump);
  });
  app.history.add_history("Invert Image to Negative");
  return true;
}

bool remove_background(Tarvex& app, bool redisplay) {
  const int b = app.store().BackgroundLevel;
  if (b <= 2) return false;
  fill_remove_background_table(app.StretchTable, b);
  return apply_and_record(app, redisplay, "Background Removed : min " + std::to_string(b - 2));
}

bool non_linear_stretch_command(Tarvex& app, unsigned power) {
  if (power < NON_LINEAR_POWER_MIN) return false;
  fill_non_linear_table(app.StretchTable, power);
  return apply_and_record(app, true, "Non-Linear Stretch : power " + std::to_string(power));
}

}  // namespace tarvex
