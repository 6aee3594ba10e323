// Chooses what stands behind the USB port: the simulated camera when the
// program runs with --simulator, else the Linux adapter.
#pragma once

#include <memory>

#include "platform/ports.h"
#include "platform/usb_transport.h"

namespace tarvex {

std::unique_ptr<UsbTransport> make_camera_transport(bool simulator, Clock& clock);

}  // namespace tarvex
