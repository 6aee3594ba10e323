// A raw 752 x 580 frame of the real sky for the solver's tests: the
// simulator's renderer showing the packed Tycho-2 star list with the middle
// of the frame at (ra, dec), J2000, at the image scale of `focal_mm` with
// the sensor's 8.6 um pixels, in a 1 s exposure read as two fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/camera_transport.h"
#include "image/frame_store.h"
#include "sim/sky_renderer.h"

namespace tarvex::testing {

// Empty when there is no star list.
inline std::vector<std::uint16_t> catalogue_field(double ra_deg, double dec_deg, double focal_mm) {
  SkyConfig config;
  config.scene = SkyScene::Real;
  config.star_list_path = find_star_list();
  if (config.star_list_path.empty()) return {};
  SkyRenderer sky(config);
  sky.set_real_sky_geometry(206.265 * 8.6 / focal_mm, true, true);
  sky.point_at(ra_deg / 15, dec_deg);
  if (!sky.real_sky()) return {};
  // A field read: 298 lines of 832 samples, frame rows from line 8 and
  // columns from sample 26.
  constexpr int kLines = 298, kSamples = 832, kFirstLine = 8, kFirstSample = 26;
  std::vector<std::uint16_t> raw(kLines * kSamples);
  std::vector<std::uint16_t> frame(FRAME_SAMPLES);
  for (int parity = 0; parity < 2; ++parity) {
    sky.render_field(parity, 1000.0, 1, raw.data());
    for (int y = parity; y < FRAME_HEIGHT; y += 2) {
      const std::uint16_t* line = raw.data() + (kFirstLine + y / 2) * kSamples + kFirstSample;
      std::copy(line, line + FRAME_WIDTH, frame.begin() + y * FRAME_WIDTH);
    }
  }
  return frame;
}

}  // namespace tarvex::testing
