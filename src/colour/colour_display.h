// The colour picture: RgbBitmap built from the colour planes.
#pragma once

#include <cstdint>

#include "files/settings.h"
#include "image/display.h"
#include "image/frame_store.h"

namespace tarvex {

// Fills rows [first_row, end_row) of RgbBitmap for the current colour view.
// The normal view ('N') weighs the display byte of each pixel by the ratios
// of its three planes, scaled by the saturation factor + 1; with auto
// contrast on, the display byte is first lifted above the black level, which
// is recomputed from CurrentFrame into BackgroundLevel. The other views show
// one plane or the display bytes.
void build_colour_rows(FrameStore& fs, const DisplayState& ds, const Settings& settings,
                       int first_row, int end_row);

// The auto contrast curve of the colour picture:
// trunc(255^0.7 * max(lambda - black, 0)^0.3).
std::uint8_t auto_contrast_level(int lambda, int black_level);

}  // namespace tarvex
