#include "image/mirror.h"

#include <algorithm>

namespace tarvex {

namespace {

// Reverses every row from `first_row` down, in place: no other frame is
// touched, so a merge's base image or a loaded dark frame in SecondFrame
// survives a mirror.
void mirror_plane(Frame& plane, int first_row) {
  for (int row = first_row; row < FRAME_HEIGHT; ++row) {
    auto start = plane.begin() + static_cast<std::ptrdiff_t>(row) * FRAME_WIDTH;
    std::reverse(start, start + FRAME_WIDTH);
  }
}

}  // namespace

void mirror_image(FrameStore& fs, bool keep_label_rows) {
  const int first_row = keep_label_rows ? BLOCK_ROWS : 0;
  mirror_plane(fs.CurrentFrame, first_row);
  if (fs.IsColour) {
    mirror_plane(fs.RedPlane, first_row);
    mirror_plane(fs.GreenPlane, first_row);
    mirror_plane(fs.BluePlane, first_row);
  }
}

}  // namespace tarvex
