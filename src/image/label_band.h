// The label band: Label Image draws a line of text into the top ten rows of
// the frame and marks the frame by setting samples 0..5 of row 0 to 17, so
// that samples 4 and 5 add up to 34. Filters, stretches, calibration, merging
// and colour work leave the band's rows as they are on a frame so marked.
#pragma once

#include <cstdint>

#include "image/frame_store.h"

namespace tarvex {

inline constexpr int LABEL_BAND_ROWS = 10;
inline constexpr std::uint16_t LABEL_MARK = 17;  // samples 0..5 of row 0 of a labelled frame

// True when the frame carries the label band: samples 4 and 5 add up to 34.
inline bool has_label_band(const Frame& frame) {
  return frame[4] + frame[5] == 34;
}

}  // namespace tarvex
