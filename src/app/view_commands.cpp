#include "app/view_commands.h"

#include <algorithm>
#include <cstdio>

#include "app/display_pipeline.h"
#include "app/label.h"
#include "image/mirror.h"

namespace tarvex {

Reported mirror_command(Tarvex& app) {
  mirror_image(app.store(), has_label_band(app.store().CurrentFrame));
  return refresh_display(app);
}

Reported toggle_auto_contrast(Tarvex& app) {
  app.display.auto_contrast = !app.display.auto_contrast;
  return refresh_display(app);
}

bool set_max_stretch_all(Tarvex& app, bool on) {
  if (app.display.max_stretch_all == on) return false;
  app.display.max_stretch_all = on;
  refresh_display(app);
  return true;
}

void StretchPaletteModel::set_bits(int bits) {
  display_.palette_bits = std::clamp(bits, MIN_PALETTE_BITS, MAX_PALETTE_BITS);
}

std::optional<PixelReadout> pixel_readout(const FrameStore& fs, int x, int y) {
  if (x < 2 || x > FRAME_WIDTH - 2 || y < 2 || y > FRAME_HEIGHT - 2) return std::nullopt;
  const std::size_t i = static_cast<std::size_t>(y) * FRAME_WIDTH + static_cast<std::size_t>(x);
  PixelReadout r;
  r.x = x;
  r.y = y;
  if (fs.IsColour) {
    r.red = fs.RedPlane[i];
    r.green = fs.GreenPlane[i];
    r.blue = fs.BluePlane[i];
  }
  r.lum = fs.CurrentFrame[i];
  return r;
}

std::string lum_text(unsigned lum) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%6u", lum);
  return buf;
}

}  // namespace tarvex
