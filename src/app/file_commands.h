// The File and Edit commands that load, save and undo the current image.
#pragma once

#include <filesystem>

#include "app/reported.h"
#include "app/tarvex.h"
#include "files/raw_file.h"

namespace tarvex {

// File > Open: load a KR File or FITS file, redisplay and take the undo copy.
Reported open_image(Tarvex& app, const std::filesystem::path& path);

// Loads a dark frame or flat field into SecondFrame.
Reported load_second_frame(Tarvex& app, const std::filesystem::path& path, SecondPurpose purpose);

// File > Save: write a KR File; the saved name becomes the current file name.
// Reports KrFileSaveFailed, KrFrameNotWritten or KrPlanesNotWritten when
// the file cannot be written.
Reported save_image(Tarvex& app, const std::filesystem::path& path);

// File > Save as Flatfield. Reports IMAGE_NOT_SAVED_MESSAGE when the file
// cannot be written.
Reported save_flat_image(Tarvex& app, const std::filesystem::path& path);

// Edit > Undo Last Filter: restore the undo copy, redisplay, drop the newest
// history line.
Reported undo_filter_command(Tarvex& app);

// Edit > Undo Last Colour Filter: restore the saved colour planes and redisplay.
Reported undo_colour_filter_command(Tarvex& app);

}  // namespace tarvex
