// FITS files in the program's own header layout.
#pragma once

#include <filesystem>

#include "app/history.h"
#include "files/fits_text.h"
#include "files/raw_file.h"
#include "image/frame_store.h"

namespace tarvex {

// Reads a FITS file of this program's layout into CurrentFrame (and the colour
// planes when IsColour was set from the length; byte_planes tells the older
// 8-bit plane layout). Returns 0, 1 (read failure) or 2 (not this program's
// layout). Refuses before changing anything when the header does not fit.
int load_fits(const std::filesystem::path& path, bool byte_planes, FrameStore& fs, FitsText& fits,
              ProcessingHistory& history);

// Reads the frame of a FITS file into SecondFrame. Returns 0, 1, 2, or for a
// dark frame of the other binned state 13 (dark binned, image not) or 14
// (image binned, dark not).
int load_fits_second(const std::filesystem::path& path, SecondPurpose purpose, FrameStore& fs);

}  // namespace tarvex
