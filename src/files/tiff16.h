// 16-bit TIFF export of the image data: a 16-bit grey file for a monochrome
// image (CurrentFrame), a 48-bit RGB file for a colour image (the red, green
// and blue planes). Unlike the 8-bit TIFF of what the display shows
// (tiff.h), this keeps every sample as it is, for programs that process
// further. Little-endian, one directory, no compression, square pixels
// (72 pixels per inch both ways), rows from the top down.
#pragma once

#include <cstdint>
#include <filesystem>

#include "files/file_save.h"
#include "image/frame_store.h"

namespace tarvex {

inline constexpr int TIFF16_ROWS_PER_STRIP = 58;
inline constexpr int TIFF16_STRIPS = FRAME_HEIGHT / TIFF16_ROWS_PER_STRIP;  // 10

// Where the pixel data starts, and the length of the file.
std::uint32_t tiff16_pixels_offset(bool colour);
std::uint64_t tiff16_size(bool colour);

FileSave save_tiff16(const std::filesystem::path& path, const FrameStore& fs);

}  // namespace tarvex
