#include "app/telescope_ports.h"

#include "scope/precession.h"
#include "sim/sim_camera.h"

namespace tarvex {

TelescopePorts::~TelescopePorts() {
  if (mount && clock != nullptr) clock->remove_listener(*mount);
}

bool make_telescope_ports(bool simulator, SteppingClock& clock, const Paths& paths,
                          TelescopePorts& out, std::string& error,
                          const SimMountOptions& mount_options) {
  out = TelescopePorts{};
  if (simulator) {
    // The camera turned so that the program's default drive directions
    // close the guiding loop, as on a mount set up for it.
    SimMountConfig config;
    config.east_shifts_stars_left = false;
    config.north_shifts_stars_up = false;
    apply_sim_mount_disturbance(mount_options, config);
    config.arcsec_per_pixel = sim_arcsec_per_pixel(mount_options, false);
    config.real_sky_arcsec_per_pixel = sim_arcsec_per_pixel(mount_options, true);
    config.pointing_error_arcmin = mount_options.pointing_error_arcmin;
    // The mount starts believing it points where it was told to (J2000, as
    // the catalogue gives it), in the coordinates of its own date.
    if (mount_options.point) {
      const SkyPosition of_date =
          precess_from_j2000({mount_options.point->ra_hours, mount_options.point->dec_degrees},
                             julian_date_of_unix(config.start_unix_time));
      config.start_ra_hours = of_date.ra_hours;
      config.start_dec_degrees = of_date.dec_degrees;
    }
    auto mount = std::make_unique<SimMount>(config);
    if (!mount->open()) {
      error = "no pseudo-terminal could be opened for the simulated mount";
      return false;
    }
    const std::string path = mount->device_path();
    clock.add_listener(*mount);
    out.clock = &clock;
    out.mount = std::move(mount);
    out.serial = std::make_unique<TermiosSerialPort>(clock, [path](int) { return path; });
    return true;
  }
  out.serial = std::make_unique<TermiosSerialPort>(
      clock, [paths](int n) { return paths.com_port(n).string(); });
  return true;
}

void attach_simulated_sky(UsbTransport& camera, TelescopePorts& telescope) {
  auto* simulated = dynamic_cast<SimCamera*>(&camera);
  if (simulated == nullptr || !telescope.mount) return;
  telescope.mount->attach_sky(&simulated->sky());
  SimMount* mount = telescope.mount.get();
  simulated->on_exposure_start = [mount] { mount->next_seeing_frame(); };
}

}  // namespace tarvex
