// File > Save as Tiff File, Print and Print Setup, and File > Export:
// standard FITS and 16-bit TIFF for other programs.
#pragma once

#include <filesystem>

#include "app/reported.h"
#include "app/tarvex.h"
#include "files/fits_standard.h"

namespace tarvex {

inline constexpr const char* PRINT_PROGRAM = "tarvex-print";

// Writes the picture as TIFF; IMAGE_NOT_SAVED_MESSAGE when it cannot.
Reported save_tiff_command(Tarvex& app, const std::filesystem::path& path);

// Starts the print program with "PRINT <full-frame display bitmap>" and
// returns at once; the bitmap is the last full frame written, even while a
// small focus frame is shown.
void print_command(Tarvex& app);

// Starts the print program with "SETUP".
void print_setup_command(Tarvex& app);

// File > Export > Standard FITS: the image as a FITS file every FITS reader
// opens (fits_standard.h), with the FITS text record, the processing history,
// the program's name and version and the time of writing (the context's
// clock). IMAGE_NOT_SAVED_MESSAGE when it cannot be written. An export
// is not a save: the image still counts as changed, and the title keeps the
// file the image came from.
Reported export_standard_fits_command(Tarvex& app, const std::filesystem::path& path,
                                      StandardFitsSamples samples);

// File > Export > 16-bit TIFF: every sample of the image (tiff16.h).
// IMAGE_NOT_SAVED_MESSAGE when it cannot be written.
Reported export_tiff16_command(Tarvex& app, const std::filesystem::path& path);

// "Tarvex 0.1": the name and version written into exported files.
std::string program_name_and_version();

}  // namespace tarvex
