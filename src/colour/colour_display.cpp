#include "colour/colour_display.h"

namespace tarvex {

void build_colour_rows(FrameStore& fs, const DisplayState& ds, const Settings&, int first_row,
                       int end_row) {
  // Until the colour display mapping is in place, the normal view shows the
  // grey display bytes in all three channels.
  fill_rgb_rows_plain(fs, ds.colour_view, first_row, end_row);
}

}  // namespace tarvex
