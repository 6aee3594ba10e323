// The autoguider's rig on the simulators: the simulated camera's windows,
// the real serial code on the pseudo-terminal to the simulated mount, all on
// the virtual clock (seeded, repeatable). Guide exposure 1 s; the simulated
// window read takes 231 ms (32768 bytes at the field read's rate). Rates,
// backlash and drift are in window pixels.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "app/tarvex.h"
#include "files/settings.h"
#include "platform/basic_ports.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "sim/sim_camera.h"
#include "sim/sim_mount.h"
#include "test_support.h"

namespace tarvex {

inline std::vector<unsigned> codes(const RecordingMessages& m) {
  std::vector<unsigned> c;
  for (const auto& s : m.shown) c.push_back(s.code);
  return c;
}

struct GuideRig {
  // `mosaic`: the sensor's colour mosaic, for tests of colour images; the
  // guiding tests see plain grey light.
  explicit GuideRig(const SimMountConfig& mc, SkyConfig sky = {}, bool mosaic = false) : mount(mc) {
    EXPECT_TRUE(mount.open());
    clock.add_listener(mount);
    sky.mosaic = mosaic;
    // Sharp stars and no extended objects: the spreads below compare star
    // shapes, which a wide seeing disc or a nebula would blur.
    sky.psf_sigma = 1.3;
    sky.extended_objects = false;
    camera = std::make_unique<SimCamera>(clock, sky);
    mount.attach_sky(&camera->sky());
    serial =
        std::make_unique<TermiosSerialPort>(clock, [this](int) { return mount.device_path(); });
    app = std::make_unique<Tarvex>(
        Paths(dir.path() / "data"),
        Ports{messages, clock, pump, progress, launcher, display, *camera});
    app->telescope.port = serial.get();
    app->camera.find(false);
    Settings& s = app->settings;
    s.telescope_type = LinkType::Lx200;
    // This rig's mount moves the stars left for east and up for north, as a
    // camera turned half a turn sees them: both pairs of drive directions
    // are swapped so that corrections close the loop.
    s.drive_directions = DriveDirections{true, true};
    EXPECT_EQ(save_settings(app->paths.settings_file(), s, app->fits), FileSave::Ok);
    app->acquisition.guide_value = 1;
    app->acquisition.guide_range = ExposureRange::Seconds;
    pick_star();
  }
  // The brightest star well inside the part of the frame the window codes
  // reach.
  void pick_star() {
    double best = 0;
    for (const auto& st : camera->sky().stars()) {
      const double x = st.x + camera->sky().pointing_x(), y = st.y + camera->sky().pointing_y();
      if (x < 90 || x > 240 || y < 100 || y > 450 || st.flux <= best) continue;
      best = st.flux;
      star_x = x, star_y = y;
    }
    ASSERT_GT(best, 0);
    app->star_pick.guide_star_picked = true;
    app->star_pick.guide_star_x = static_cast<int>(std::lround(star_x));
    app->star_pick.guide_star_y = static_cast<int>(std::lround(star_y));
    app->star.position = {app->star_pick.guide_star_x, app->star_pick.guide_star_y, 0, 0};
  }

  testing::TempDir dir;
  VirtualClock base;
  SteppingClock clock{base};
  SimMount mount;
  RecordingMessages messages;
  NullPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  std::unique_ptr<SimCamera> camera;
  std::unique_ptr<TermiosSerialPort> serial;
  std::unique_ptr<Tarvex> app;
  double star_x = 0, star_y = 0;
};

inline SimMountConfig still_mount() {
  SimMountConfig mc;
  mc.drift_x = 0;
  mc.drift_y = 0;
  return mc;
}

}  // namespace tarvex
