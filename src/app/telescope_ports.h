// What stands behind the "Com Port"s, chosen by the front end: the serial
// devices the ports name, or with --simulator the simulated mount on a
// pseudo-terminal, behind every "Com Port" for the run (held in memory;
// nothing is created in the data folder). The mount takes its turn
// whenever the program reads `clock`.
#pragma once

#include <memory>
#include <string>

#include "platform/paths.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "platform/usb_transport.h"
#include "sim/sim_mount.h"
#include "sim/sim_mount_options.h"

namespace tarvex {

struct TelescopePorts {
  std::unique_ptr<SimMount> mount;  // only with the simulator
  std::unique_ptr<TermiosSerialPort> serial;
  SteppingClock* clock = nullptr;

  TelescopePorts() = default;
  TelescopePorts(TelescopePorts&&) = default;
  TelescopePorts& operator=(TelescopePorts&&) = default;
  ~TelescopePorts();
};

// Builds the serial port on `clock`. With `simulator`, the simulated mount
// set up as `mount` says (--sim-mount); false when no pseudo-terminal could
// be had (`error` says so).
bool make_telescope_ports(bool simulator, SteppingClock& clock, const Paths& paths,
                          TelescopePorts& out, std::string& error,
                          const SimMountOptions& mount = {});

// With the simulated camera and the simulated mount both in use, the mount
// moves the camera's sky: drift, guide pulses and moves trail the stars.
void attach_simulated_sky(UsbTransport& camera, TelescopePorts& telescope);

}  // namespace tarvex
