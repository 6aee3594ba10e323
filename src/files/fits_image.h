// Reading and writing standard FITS images as floating-point planes, for
// stacking: any primary image of 8-, 16- or 32-bit integers or 32- or 64-bit
// floats, two-dimensional or with three planes, BZERO and BSCALE applied.
// Rows are returned top row first, as the program keeps frames; the file's
// rows are taken as bottom row first (the FITS convention, and how the
// standard export writes them) unless ROWORDER says TOP-DOWN.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct FitsImage {
  int width = 0;
  int height = 0;
  int planes = 0;                            // 1, or 3 (red, green, blue)
  std::vector<float> data;                   // plane after plane, rows top first
  std::optional<std::string> bayer_pattern;  // BAYERPAT, trimmed
  int bayer_x_offset = 0;                    // XBAYROFF
  int bayer_y_offset = 0;                    // YBAYROFF, counted in stored rows
  bool rows_bottom_up = true;
};

struct FitsImageRead {
  std::optional<FitsImage> image;
  std::string error;  // why the file could not be read, when image is empty
};

// Reads the primary image of a standard FITS file. A file of the program's
// own 72-card layout is not a standard image: ask files/fits.h for those.
FitsImageRead read_fits_image(const std::filesystem::path& path);

// Rows of a standard FITS header: the value of `keyword` in an 80-character
// card, without quotes or comment; empty when the card is not that keyword.
std::optional<std::string> fits_card_value(std::string_view card, std::string_view keyword);

// Writes a 32-bit floating-point image (one or three planes of `width` x
// `height`, rows top first in `data`) with the given HISTORY lines; rows are
// stored bottom row first with ROWORDER saying so. Lines longer than a card
// are continued on further HISTORY cards. Returns false when the file could
// not be written (the previous file of that name stays).
bool write_float_fits(const std::filesystem::path& path, int width, int height, int planes,
                      const std::vector<float>& data, const std::vector<std::string>& history,
                      const std::string& software);

}  // namespace tarvex
