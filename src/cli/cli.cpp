#include "cli/cli.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/camera_transport.h"
#include "app/start_up.h"
#include "app/telescope_ports.h"
#include "cli/subcommands.h"
#include "platform/basic_ports.h"
#include "platform/stepping_clock.h"

namespace tarvex::cli {

int with_context(const Options& o, std::ostream& err, const std::function<int(Tarvex&)>& body,
                 EventPump* pump, Progress* progress) {
  StderrMessages messages(err);
  std::unique_ptr<Clock> base;
  VirtualClock* virtual_clock = nullptr;
  FixedWallClock* fixed_clock = nullptr;
  if (o.virtual_time) {
    auto v = std::make_unique<VirtualClock>();
    v->set_wall_time(std::time(nullptr));
    virtual_clock = v.get();
    base = std::move(v);
  } else if (o.now) {
    auto fixed = std::make_unique<FixedWallClock>(*o.now);
    fixed_clock = fixed.get();
    base = std::move(fixed);
  } else {
    base = std::make_unique<SteadyClock>();
  }
  // The simulated mount takes its turn whenever the program reads the clock.
  SteppingClock clock(*base);
  NullPump null_pump;
  NullProgress null_progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  const std::unique_ptr<UsbTransport> usb =
      make_camera_transport(o.simulator, clock, o.sky, o.sim_mount, o.sky_given);
  const Paths paths = o.data_root ? Paths(*o.data_root) : Paths::from_environment();
  TelescopePorts telescope;
  std::string error;
  if (!make_telescope_ports(o.simulator, clock, paths, telescope, error, o.sim_mount)) {
    err << "tarvex-cli: " << error << "\n";
    return 1;
  }
  attach_simulated_sky(*usb, telescope);
  Ports ports{
      messages, clock, pump ? *pump : null_pump, progress ? *progress : null_progress, launcher,
      display,  *usb};
  Tarvex app(paths, ports);
  app.telescope.port = telescope.serial.get();
  app.indi_override = o.indi;

  // Settings first, as at start-up; their result is ignored there too.
  load_settings_at_start(app.paths.settings_file(), app.settings, app.fits, app.ports.messages);
  remove_stale_temporary_files(app);
  // --now is a date and time in the zone of the settings' UT offset: a fixed
  // clock reads it in the offset in force when asked, a virtual clock's wall
  // time starts there.
  if (fixed_clock != nullptr) fixed_clock->follow_zone(&app.settings.ut_offset_hours);
  if (virtual_clock != nullptr && o.now)
    virtual_clock->set_wall_time(time_in_zone(*o.now, app.settings.ut_offset_hours));
  init_frame_store(app.store());
  return body(app);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  if (const auto status = parse_command_line(args, o, out, err)) return *status;
  return subcommand_of(o)(o, out, err);
}

}  // namespace tarvex::cli
