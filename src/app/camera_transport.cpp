#include "app/camera_transport.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/usb_linux.h"
#include "sim/sim_camera.h"

namespace tarvex {

std::string find_star_list() {
  namespace fs = std::filesystem;
  constexpr const char* kName = "tycho2-stars.bin";
  if (const char* given = std::getenv("TARVEX_STAR_LIST")) return given;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  std::vector<fs::path> candidates;
  if (!ec) {
    candidates.push_back(exe.parent_path() / ".." / "share" / "tarvex" / kName);
    candidates.push_back(exe.parent_path() / "data" / kName);
  }
#ifdef TARVEX_SOURCE_DATA_DIR
  candidates.push_back(fs::path(TARVEX_SOURCE_DATA_DIR) / kName);
#endif
  for (const fs::path& p : candidates)
    if (fs::is_regular_file(p, ec)) return p.lexically_normal().string();
  return {};
}

std::unique_ptr<UsbTransport> make_camera_transport(bool simulator, Clock& clock, SkyScene scene,
                                                    const SimMountOptions& mount,
                                                    bool scene_given) {
  if (simulator) {
    SkyConfig config;
    // Pointing the mount somewhere brings up the real sky, unless a scene
    // was chosen on purpose.
    config.scene = !scene_given && mount.point ? SkyScene::Real : scene;
    config.real_when_told = !scene_given;
    config.star_list_path = find_star_list();
    return std::make_unique<SimCamera>(clock, config);
  }
  return std::make_unique<LinuxUsbTransport>();
}

bool parse_sky_scene(std::string_view name, SkyScene& scene) {
  if (name == "stars") {
    scene = SkyScene::Stars;
  } else if (name == "chart") {
    scene = SkyScene::Chart;
  } else if (name == "real") {
    scene = SkyScene::Real;
  } else {
    return false;
  }
  return true;
}

}  // namespace tarvex
