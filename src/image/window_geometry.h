// Where the camera can read a 128 x 128 window. The window position X, Y
// that the camera receives is the top-left corner of the window in frame
// pixels: X a column, Y a frame row (not a field row). The camera's window
// codes carry the column only modulo 256 and the row in steps of three, so a
// position is kept where the camera can reach it exactly: X in 0..255 and Y
// a multiple of three in 0..450. The focus window and the guiding frame both
// go through these rules.
#pragma once

#include <algorithm>

namespace tarvex {

inline constexpr int WINDOW_SIZE = 128;
inline constexpr int WINDOW_MAX_X = 255;
inline constexpr int WINDOW_MAX_Y = 450;
inline constexpr int WINDOW_ROW_STEP = 3;

struct WindowPosition {
  int x;
  int y;
};

// A window position kept in the camera's reach, the row rounded down to the
// row step.
constexpr WindowPosition reachable_window(int x, int y) {
  x = std::clamp(x, 0, WINDOW_MAX_X);
  y = std::clamp(y, 0, WINDOW_MAX_Y);
  return {x, y - y % WINDOW_ROW_STEP};
}

// The window position for a window centred as near as the camera allows on
// frame pixel (cx, cy): X = cx - 64, Y = cy - 64, then kept in reach. A
// centre right of column 319 therefore gets the rightmost window the camera
// can read.
constexpr WindowPosition window_for_centre(int cx, int cy) {
  return reachable_window(cx - WINDOW_SIZE / 2, cy - WINDOW_SIZE / 2);
}

}  // namespace tarvex
