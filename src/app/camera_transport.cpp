#include "app/camera_transport.h"

#include "platform/usb_linux.h"
#include "sim/sim_camera.h"

namespace tarvex {

std::unique_ptr<UsbTransport> make_camera_transport(bool simulator, Clock& clock) {
  if (simulator) return std::make_unique<SimCamera>(clock);
  return std::make_unique<LinuxUsbTransport>();
}

}  // namespace tarvex
