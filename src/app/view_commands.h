// The View commands that can be decided without the window: mirror, the
// display mappings, the "Stretch Palette" dialog and the Show Values readout.
#pragma once

#include <optional>
#include <string>

#include "app/reported.h"
#include "app/tarvex.h"

namespace tarvex {

// View > Mirror image: mirrors the frame (a labelled frame keeps its label
// rows) and redisplays. Returns refresh_display's result.
Reported mirror_command(Tarvex& app);

// View > Auto contrast stretch image: toggles the mapping and redisplays.
Reported toggle_auto_contrast(Tarvex& app);

// Tool-bar commands 1901 and 1902: turn the all-images switch of maximum
// palette stretch on or off; redisplay only when it changed. Returns true
// when it changed.
bool set_max_stretch_all(Tarvex& app, bool on);

// The "Stretch Palette" dialog: a scroll bar 12..16 and the all-images box.
class StretchPaletteModel {
 public:
  explicit StretchPaletteModel(DisplayState& display) : display_(display) {}
  int bits() const { return display_.palette_bits; }
  void line_left() { set_bits(display_.palette_bits - 1); }
  void line_right() { set_bits(display_.palette_bits + 1); }
  void page_left() { set_bits(MIN_PALETTE_BITS); }
  void page_right() { set_bits(MAX_PALETTE_BITS); }
  // Dragging the thumb; values outside 12..16 are held at the ends.
  void set_bits(int bits);
  void toggle_all_images() { display_.max_stretch_all = !display_.max_stretch_all; }
  bool all_images() const { return display_.max_stretch_all; }
  // The edit box's text.
  std::string value_text() const { return std::to_string(display_.palette_bits); }

 private:
  DisplayState& display_;
};

// What the Pixel Value box shows for the pointer at image column x, row y.
struct PixelReadout {
  int x = 0;
  int y = 0;
  unsigned red = 0, green = 0, blue = 0;  // 0 for a monochrome image
  unsigned lum = 0;                       // the CurrentFrame sample
};

// The readout at image column x, row y, or nothing outside columns 2..750
// and rows 2..578 (the box then keeps what it showed).
std::optional<PixelReadout> pixel_readout(const FrameStore& fs, int x, int y);

// The "Lum" field: the sample printed with "%6u".
std::string lum_text(unsigned lum);

}  // namespace tarvex
