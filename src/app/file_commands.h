// The File and Edit commands that load, save and undo the current image.
#pragma once

#include <filesystem>

#include "app/tarvex.h"
#include "files/raw_file.h"

namespace tarvex {

// File > Open: load a KR File or FITS file, redisplay and take the undo copy.
// Returns 0 or the message code that was reported.
int open_image(Tarvex& app, const std::filesystem::path& path);

// Loads a dark frame or flat field into SecondFrame. Returns 0 or the
// message code that was reported.
int load_second_frame(Tarvex& app, const std::filesystem::path& path, SecondPurpose purpose);

// File > Save: write a KR File; the saved name becomes the current file name.
// Returns 0 or the message code that was reported (17, 18, 19).
int save_image(Tarvex& app, const std::filesystem::path& path);

// File > Save as Flatfield. Reports message 29 when the file cannot be written.
int save_flat_image(Tarvex& app, const std::filesystem::path& path);

// Edit > Undo Last Filter: restore the undo copy, redisplay, drop the newest
// history line.
int undo_filter_command(Tarvex& app);

// Edit > Undo Last Colour Filter: restore the saved colour planes and redisplay.
int undo_colour_filter_command(Tarvex& app);

}  // namespace tarvex
