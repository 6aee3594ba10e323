// Merging two images: a base image and an image to be merged onto it,
// translated so that a position marked with the mouse in each coincides, then
// added or averaged.
#pragma once

#include "image/frame_store.h"

namespace tarvex {

// Adds or averages the merge image (CurrentFrame) onto the base image
// (SecondFrame): the base pixel at row i, column j meets the merge image's
// pixel at row i + dy, column j + dx. Rows from `first_row` on are combined;
// partners must lie in rows first_row + 1..579 and columns 1..751. Sums
// above 65534 become 65535. With `colour`, the colour work planes (holding
// the base image's planes) are averaged with the merge image's colour planes
// at the same pixels. SecondFrame then holds the result; the caller copies it.
void combine_merge(FrameStore& fs, int dx, int dy, int first_row, bool average, bool colour);

}  // namespace tarvex
