#include "app/colour/correction_commands.h"

#include <algorithm>

#include "app/busy_scope.h"
#include "app/display_pipeline.h"
#include "colour/synthesis.h"
#include "platform/messages.h"

namespace tarvex {

namespace {

bool refuse_unless_colour(Tarvex& app, Msg refusal) {
  if (app.store().IsColour) return false;
  show_message(app.ports.messages, refusal);
  return true;
}

}  // namespace

bool colour_balance_command(Tarvex& app, const ColourBalance& balance, int saturation_factor) {
  if (refuse_unless_colour(app, Msg::ColourNotConverted)) return false;
  if (balance.unchanged() && saturation_factor == app.settings.saturation_factor) return false;
  if (saturation_factor != app.settings.saturation_factor) {
    app.settings.saturation_factor = static_cast<std::int16_t>(saturation_factor);
    // A failed write is not reported here; the factor holds for this run.
    save_settings(app.paths.settings_file(), app.settings, app.fits);
  }
  {
    BusyScope busy(app);
    Progress& progress = app.ports.progress;
    progress.open("COLOUR BALANCE IN PROGRESS");
    save_colour_planes(app.store());
    balance_planes(app.store(), balance, [&](int colour) {
      progress.set_position(80 * colour);
      app.ports.pump.pump();
    });
    progress.close();
  }
  refresh_display(app);
  return true;
}

bool chromatism_command(Tarvex& app, const ChromaticShifts& shifts) {
  if (refuse_unless_colour(app, Msg::ColourNotConverted)) return false;
  {
    BusyScope busy(app);
    save_colour_planes(app.store());
    shift_planes(app.store(), shifts);
  }
  refresh_display(app);
  return true;
}

bool overload_smoothing_command(Tarvex& app) {
  if (refuse_unless_colour(app, Msg::ImageNotColourConverted)) return false;
  FrameStore& fs = app.store();
  {
    BusyScope busy(app);
    save_undo(fs);
    save_colour_planes(fs);
    overload_smoothing(fs);
    // Undo Last Filter restores the planes from the work planes: give them
    // the planes from before this command.
    std::copy(fs.RedSaved.begin(), fs.RedSaved.end(), fs.RedWork.begin());
    std::copy(fs.GreenSaved.begin(), fs.GreenSaved.end(), fs.GreenWork.begin());
    std::copy(fs.BlueSaved.begin(), fs.BlueSaved.end(), fs.BlueWork.begin());
    fs.RestorePlanesOnUndo = true;
  }
  app.history.add_history("Colour Overload Filter");
  refresh_display(app);
  return true;
}

bool low_pass_colour_command(Tarvex& app) {
  if (refuse_unless_colour(app, Msg::ImageNotColourConverted)) return false;
  {
    BusyScope busy(app);
    save_colour_planes(app.store());
    smooth_planes(app.store(), 0, 16);
  }
  refresh_display(app);
  return true;
}

bool balance_colour_histogram_command(Tarvex& app) {
  if (refuse_unless_colour(app, Msg::ColourNotConverted)) return false;
  {
    BusyScope busy(app);
    save_colour_planes(app.store());
    balance_colour_histogram(app.store());
  }
  refresh_display(app);
  return true;
}

}  // namespace tarvex
