// The calibration commands of the Merge menu: dark frame subtraction and
// flat field division once a file is chosen. Each loads the second frame,
// takes the undo copy, runs the operation, writes the history line and
// redisplays.
#pragma once

#include <filesystem>

#include "app/reported.h"
#include "app/tarvex.h"
#include "processing/calibration.h"

namespace tarvex {

// Merge > "Subtract Images (Dark Frame)" once a file is chosen. A refused file
// is reported with its message (CallerText while a merge holds its base
// image), and the image is then unchanged.
Reported subtract_dark_command(Tarvex& app, const std::filesystem::path& path);

// Merge > "Apply Flat Field" once a file is chosen. A refused file is reported
// as by subtract_dark_command; a flat field that is black where it is
// normalised is reported with CallerText (FLAT_BLANK_TEXT). The image is then
// unchanged.
Reported flat_field_command(Tarvex& app, const std::filesystem::path& path);

inline constexpr const char* FLAT_BLANK_TEXT =
    "Sorry, the flat field is black near its top edge, where it is normalised.\n\nImage unchanged.";

}  // namespace tarvex
