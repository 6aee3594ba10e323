#include "image/mirror.h"

#include <algorithm>

namespace tarvex {

namespace {

void mirror_plane(Frame& plane, Frame& scratch, int first_row) {
  const std::size_t begin = static_cast<std::size_t>(first_row) * FRAME_WIDTH;
  std::copy(plane.begin() + static_cast<std::ptrdiff_t>(begin), plane.begin() + FRAME_SAMPLES,
            scratch.begin() + static_cast<std::ptrdiff_t>(begin));
  for (int row = first_row; row < FRAME_HEIGHT; ++row) {
    const std::size_t start = static_cast<std::size_t>(row) * FRAME_WIDTH;
    std::reverse_copy(scratch.begin() + static_cast<std::ptrdiff_t>(start),
                      scratch.begin() + static_cast<std::ptrdiff_t>(start + FRAME_WIDTH),
                      plane.begin() + static_cast<std::ptrdiff_t>(start));
  }
}

}  // namespace

void mirror_image(FrameStore& fs, bool keep_label_rows) {
  const int first_row = keep_label_rows ? BLOCK_ROWS : 0;
  mirror_plane(fs.CurrentFrame, fs.SecondFrame, first_row);
  if (fs.IsColour) {
    mirror_plane(fs.RedPlane, fs.RedWork, first_row);
    mirror_plane(fs.GreenPlane, fs.GreenWork, first_row);
    mirror_plane(fs.BluePlane, fs.BlueWork, first_row);
  }
}

}  // namespace tarvex
