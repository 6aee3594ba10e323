// The calibration commands of the Merge menu: dark frame subtraction and
// flat field division once a file is chosen. Each loads the second frame,
// takes the undo copy, runs the operation, writes the history line and
// redisplays.
#pragma once

#include <filesystem>

#include "app/tarvex.h"
#include "processing/calibration.h"

namespace tarvex {

// Merge > "Subtract Images (Dark Frame)" once a file is chosen. Returns 0, or
// the message code the refused file was reported with (the image is then
// unchanged).
int subtract_dark_command(Tarvex& app, const std::filesystem::path& path);

// Merge > "Apply Flat Field" once a file is chosen. Returns 0, the message
// code a refused file was reported with, or 1 when the flat field is black
// where it is normalised (then message 50 says so and the image is
// unchanged).
int flat_field_command(Tarvex& app, const std::filesystem::path& path);

inline constexpr const char* FLAT_BLANK_TEXT =
    "Sorry, the flat field is black near its top edge, where it is normalised.\n\nImage unchanged.";

}  // namespace tarvex
