// View > Mirror image: left-right reversal of the frame and colour planes.
#pragma once

#include "image/frame_store.h"

namespace tarvex {

// Reverses the 752 columns of every row of CurrentFrame and, for a colour
// image, of the three colour planes, each in place: SecondFrame and the work
// planes are left as they are. When `keep_label_rows` is set, rows 0..9 stay
// as they are. Mirroring twice restores the image.
void mirror_image(FrameStore& fs, bool keep_label_rows);

}  // namespace tarvex
