// The picture handed to the plate solver, made from an image of the program:
// a raw frame still shows the sensor's colour mosaic, whose pattern hides
// half the stars from a star finder, so it is binned 2 x 2 (each block of
// four photosites, one of each colour pair, averaged); a colour image is
// turned into its luminance. How the result maps back onto the image's own
// pixels is kept with it, so that a solution can be written into the
// image's header.
#pragma once

#include <cstdint>

#include "image/frame_store.h"
#include "scope/plate_solve.h"

namespace tarvex {

struct SolveInput {
  SolveImage image;
  // Image pixels per SolveImage pixel along each axis: 2 for a binned
  // mosaic, 1 otherwise. The pixel size of the SolveImage is this many
  // times the image's.
  int binning = 1;
};

// The mean of each 2 x 2 block of a `width` x `height` plane (rows top first);
// an odd last row or column is left out.
SolveInput bin_mosaic_2x2(const std::uint16_t* plane, int width, int height);

// The luminance of a colour image, 0.299 R + 0.587 G + 0.114 B rounded.
SolveInput luminance_of(const std::uint16_t* red, const std::uint16_t* green,
                        const std::uint16_t* blue, int width, int height);

// The current image of the frame store: its colour planes as luminance when
// it is a colour image, else CurrentFrame binned 2 x 2.
SolveInput solve_input_of(const FrameStore& fs);

}  // namespace tarvex
