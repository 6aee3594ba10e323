// TIFF export of what the display shows: an 8-bit grey file for a monochrome
// image, a 24-bit RGB file for a colour image. Little-endian, one directory,
// no compression, fixed offsets.
#pragma once

#include <cstdint>
#include <filesystem>

#include "files/file_save.h"
#include "image/frame_store.h"

namespace tarvex {

inline constexpr int TIFF_MONO_PIXELS_OFFSET = 246;
inline constexpr int TIFF_COLOUR_PIXELS_OFFSET = 306;
inline constexpr std::uint64_t TIFF_MONO_SIZE = TIFF_MONO_PIXELS_OFFSET + FRAME_SAMPLES;
inline constexpr std::uint64_t TIFF_COLOUR_SIZE = TIFF_COLOUR_PIXELS_OFFSET + 3 * FRAME_SAMPLES + 6;

// Writes the picture: for a monochrome image (IsColour clear) the high byte
// of every CurrentFrame sample; for a colour image the pixels of RgbBitmap as
// red, green, blue. Rows from the top down. On failure the previous file
// stays as it was.
FileSave save_tiff(const std::filesystem::path& path, const FrameStore& fs);

}  // namespace tarvex
