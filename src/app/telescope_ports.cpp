#include "app/telescope_ports.h"

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
    (void)mount_options;
    apply_sim_mount_disturbance(mount_options, config);
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
