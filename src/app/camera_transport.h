// Chooses what stands behind the USB port: the simulated camera when the
// program runs with --simulator, else the Linux adapter.
#pragma once

#include <memory>
#include <string_view>

#include "platform/ports.h"
#include "platform/usb_transport.h"
#include "sim/sim_mount_options.h"
#include "sim/sky_renderer.h"

namespace tarvex {

// `scene` is what the simulated camera looks at (--sky): the night sky or
// the colour chart; `mount` is how the simulated mount is set up
// (--sim-mount), which sets the image scale the camera sees the sky at.
std::unique_ptr<UsbTransport> make_camera_transport(bool simulator, Clock& clock,
                                                    SkyScene scene = SkyScene::Stars,
                                                    const SimMountOptions& mount = {});

// The scene named by --sky: "stars" or "chart"; false for any other name.
bool parse_sky_scene(std::string_view name, SkyScene& scene);

}  // namespace tarvex
