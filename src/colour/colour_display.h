// The colour picture: RgbBitmap built from the colour planes.
#pragma once

#include "files/settings.h"
#include "image/display.h"
#include "image/frame_store.h"

namespace tarvex {

// Fills rows [first_row, end_row) of RgbBitmap for the current colour view.
void build_colour_rows(FrameStore& fs, const DisplayState& ds, const Settings& settings,
                       int first_row, int end_row);

}  // namespace tarvex
