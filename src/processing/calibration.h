// Calibration of the current image against a second frame read from disk:
// dark frame subtraction and flat field division. The frame operations work
// in place on CurrentFrame with the second frame in SecondFrame; the commands
// load the second frame, take the undo copy, run the operation, write the
// history line and redisplay.
#pragma once

#include "image/frame_store.h"
#include "platform/ports.h"

namespace tarvex {

inline constexpr const char* DARK_HISTORY = "Dark Frame Subtracted";
inline constexpr const char* FLAT_HISTORY = "Flat Field Subtracted";
inline constexpr const char* FLAT_PROGRESS_CAPTION = "FLAT FIELD PROGRESS";
inline constexpr double FLAT_NORMALISATION_SCALE = 0.0002;

// CurrentFrame minus SecondFrame over the whole frame: samples of 65500 and
// above stay (saturated pixels stay saturated); a dark value at or above the
// image value gives 0.
void subtract_dark_frame(FrameStore& fs);
// The same rule for any image and dark frame (the automatic dark removal of
// an exposure sequence holds its dark frame in a buffer of its own).
void subtract_dark(Frame& image, const Frame& dark);

// The flat field normalisation: 0.0002 times the sum of the SecondFrame
// samples at index i * 580 + j for i = 9..19 and j = 9..499 (5401 samples).
double flat_normalisation(const Frame& flat);

// Divides CurrentFrame by the flat field in SecondFrame and scales by its
// normalisation: rows 1..579 (11..579 on a labelled image), columns 5..750.
// Pixels where the flat is 0 or the image is 65534 or above stay unchanged.
// The progress window "FLAT FIELD PROGRESS" shows the row reached.
void divide_flat_field(FrameStore& fs, Progress& progress);

}  // namespace tarvex
