#include "cli/guide_commands.h"

#include <cstdio>

#include "app/telescope.h"
#include "camera/readout.h"
#include "camera/usb_commands.h"

namespace tarvex::cli {

namespace {

// The simulated mount moves the stars left for east and up for north, as a
// camera mounted that way sees it: the drive directions are swapped for the
// run so that corrections close the loop. Training saves the settings, and
// with them this swap, into the simulator's data folder.
void simulator_directions(Tarvex& app) {
  app.settings.drive_directions = {'s', 'n', 'w', 'e'};
}

// The brightest sample of a window left of the frame's middle, in frame
// coordinates.
bool find_bright_star(Tarvex& app, int& gx, int& gy) {
  ReadoutState& r = app.camera.readout;
  const int saved_x = r.window_x, saved_y = r.window_y;
  r.window_x = 120;
  r.window_y = 226;
  std::array<std::uint16_t, GUIDE_WINDOW_SAMPLES> window{};
  const AcquisitionSettings& a = app.acquisition;
  const bool ok =
      take_window_frame(app.camera.link, app.ports.clock, r, a.guide_value, a.guide_range,
                        WindowStretch{}, window.data()) == LinkResult::Ok;
  CommandBlock block{};
  set_window_codes(block, r.window_x, r.window_y);
  r.window_x = saved_x;
  r.window_y = saved_y;
  if (!ok) return false;
  int column = 0, row = 0;
  decode_window_codes(block, column, row);
  int best = -1;
  for (int j = 10; j < 118; ++j)
    for (int i = 10; i < 118; ++i)
      if (window[j * 128 + i] > best) best = window[j * 128 + i], gx = column + i, gy = row + j;
  return best > 0;
}

}  // namespace

bool prepare_guiding(Tarvex& app, const Options& o, Autoguider&, std::ostream& err) {
  if (!app.camera.camera_present()) app.camera.find(app.settings.usb_debug_info);
  if (!app.camera.camera_present()) {
    err << "tarvex-cli: no camera found\n";
    return false;
  }
  if (o.simulator && app.settings.telescope_type == 'n') app.telescope.link_type_override = 'l';
  if (ensure_link_open(app) != ScopeResult::Done) {
    err << "tarvex-cli: the telescope link could not be opened\n";
    return false;
  }
  if (o.simulator) simulator_directions(app);
  int gx = 0, gy = 0;
  if (o.capture.star) {
    gx = o.capture.star->first;
    gy = o.capture.star->second;
  } else if (!find_bright_star(app, gx, gy)) {
    err << "tarvex-cli: no guide star found\n";
    return false;
  }
  app.star_pick.guide_star_picked = true;
  app.star_pick.guide_star_x = gx;
  app.star_pick.guide_star_y = gy;
  app.star.position = {gx, gy, 0, 0};
  return true;
}

int train_command(const Options& o, std::ostream& out, std::ostream& err) {
  return with_context(o, err, [&](Tarvex& app) {
    Autoguider guider(app);
    if (!prepare_guiding(app, o, guider, err)) return 1;
    if (guider.train() != TrainOutcome::Done) return 1;
    const TrainingResult& r = guider.last_training();
    out << "RA rate " << r.ra_rate << " px/s, Dec rate " << r.dec_rate << " px/s, RA backlash "
        << r.ra_backlash << ", Dec backlash " << r.dec_backlash << "\n";
    return 0;
  });
}

int guide_command(const Options& o, std::ostream& out, std::ostream& err) {
  const int minutes = o.capture.minutes.value_or(1);
  return with_context(o, err, [&](Tarvex& app) {
    Autoguider guider(app);
    if (!prepare_guiding(app, o, guider, err)) return 1;
    guider.on_correction = [&](const GuideSample& s) {
      char line[120];
      std::snprintf(line, sizeof line, "%8.1f s  dx %+7.3f  dy %+7.3f  RA %+5d ms  Dec %+5d ms\n",
                    s.at_ms / 1000.0, s.dx, s.dy, s.ra_pulse_ms, s.dec_pulse_ms);
      out << line;
    };
    const GuideOutcome outcome = guider.guide(static_cast<std::uint32_t>(minutes) * 60000u);
    const GuideGraph& g = guider.graph();
    char line[120];
    std::snprintf(line, sizeof line, "%zu corrections: RMS RA %.3f px, Dec %.3f px\n", g.size(),
                  g.rms_x(), g.rms_y());
    out << line;
    return outcome == GuideOutcome::Stopped ? 0 : 1;
  });
}

}  // namespace tarvex::cli
