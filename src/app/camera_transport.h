// Chooses what stands behind the USB port: the simulated camera when the
// program runs with --simulator, else the Linux adapter.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ports.h"
#include "platform/usb_transport.h"
#include "sim/sim_mount_options.h"
#include "sim/sky_renderer.h"

namespace tarvex {

// `scene` is what the simulated camera looks at (--sky): the made-up star
// field, the colour chart or the real sky; `mount` is how the simulated
// mount is set up (--sim-mount). Unless the scene was chosen on purpose
// (`scene_given`), a starting point given to the mount, or the mount's
// first go-to or sync, brings up the real sky.
std::unique_ptr<UsbTransport> make_camera_transport(bool simulator, Clock& clock,
                                                    SkyScene scene = SkyScene::Stars,
                                                    const SimMountOptions& mount = {},
                                                    bool scene_given = false);

// The packed star list of the real sky: $TARVEX_STAR_LIST when set, else
// the one installed beside the program (../share/tarvex), one next to it
// (data/), or the source tree's; empty when there is none.
std::string find_star_list();

// The scene named by --sky: "stars", "chart" or "real"; false for any other
// name.
bool parse_sky_scene(std::string_view name, SkyScene& scene);

}  // namespace tarvex
