// Calibration of the current image against a second frame read from disk:
// dark frame subtraction and flat field division. The frame operations work
// in place on CurrentFrame with the second frame in SecondFrame; the commands
// load the second frame, take the undo copy, run the operation, write the
// history line and redisplay.
#pragma once

#include <filesystem>

#include "app/tarvex.h"
#include "image/frame_store.h"
#include "platform/ports.h"

namespace tarvex {

inline constexpr const char* DARK_HISTORY = "Dark Frame Subtracted";
inline constexpr const char* FLAT_HISTORY = "Flat Field Subtracted";
inline constexpr const char* FLAT_PROGRESS_CAPTION = "FLAT FIELD PROGRESS";
inline constexpr double FLAT_NORMALISATION_SCALE = 0.0002;

// True when the frame carries the top band of a labelled image: samples 4 and
// 5 add up to exactly 34.
bool frame_has_top_band(const Frame& frame);

// CurrentFrame minus SecondFrame over the whole frame: samples of 65500 and
// above stay (saturated pixels stay saturated); a dark value at or above the
// image value gives 0.
void subtract_dark_frame(FrameStore& fs);

// The flat field normalisation: 0.0002 times the sum of the SecondFrame
// samples at index i * 580 + j for i = 9..19 and j = 9..499 (5401 samples).
double flat_normalisation(const Frame& flat);

// Divides CurrentFrame by the flat field in SecondFrame and scales by its
// normalisation: rows 1..579 (11..579 on a labelled image), columns 5..750.
// Pixels where the flat is 0 or the image is 65534 or above stay unchanged.
// The progress window "FLAT FIELD PROGRESS" shows the row reached.
void divide_flat_field(FrameStore& fs, Progress& progress);

// Merge > "Subtract Images (Dark Frame)" once a file is chosen. Returns 0, or
// the loader's failure (the image is then unchanged).
int subtract_dark_command(Tarvex& app, const std::filesystem::path& path);

// Merge > "Apply Flat Field" once a file is chosen. Returns 0, the loader's
// failure, or 1 when the flat field is black where it is normalised (then
// message 50 says so and the image is unchanged).
int flat_field_command(Tarvex& app, const std::filesystem::path& path);

// Dark subtraction and flat division read their frame into SecondFrame, where
// a merge keeps its base image once the merge image is open; they wait until
// the merge is done or cancelled.
inline constexpr const char* CALIBRATION_DURING_MERGE_TEXT =
    "Sorry, a merge is in progress and holds its base image.\n\nPress Merge or Cancel in the "
    "MERGE IMAGES box first.";

inline constexpr const char* FLAT_BLANK_TEXT =
    "Sorry, the flat field is black near its top edge, where it is normalised.\n\nImage unchanged.";

}  // namespace tarvex
