// File > Save as Tiff File, Print and Print Setup.
#pragma once

#include <filesystem>

#include "app/tarvex.h"

namespace tarvex {

inline constexpr const char* PRINT_PROGRAM = "tarvex-print";

// Writes the picture as TIFF; message 29 when it cannot. Returns 0 or 29.
int save_tiff_command(Tarvex& app, const std::filesystem::path& path);

// Starts the print program with "PRINT <full-frame display bitmap>" and
// returns at once; the bitmap is the last full frame written, even while a
// small focus frame is shown.
void print_command(Tarvex& app);

// Starts the print program with "SETUP".
void print_setup_command(Tarvex& app);

}  // namespace tarvex
