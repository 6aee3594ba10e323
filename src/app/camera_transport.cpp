#include "app/camera_transport.h"

#include "platform/usb_linux.h"
#include "sim/sim_camera.h"

namespace tarvex {

std::unique_ptr<UsbTransport> make_camera_transport(bool simulator, Clock& clock, SkyScene scene,
                                                    const SimMountOptions& mount) {
  if (simulator) {
    SkyConfig config;
    config.scene = scene;
    (void)mount;
    return std::make_unique<SimCamera>(clock, config);
  }
  return std::make_unique<LinuxUsbTransport>();
}

bool parse_sky_scene(std::string_view name, SkyScene& scene) {
  if (name == "stars") {
    scene = SkyScene::Stars;
  } else if (name == "chart") {
    scene = SkyScene::Chart;
  } else {
    return false;
  }
  return true;
}

}  // namespace tarvex
