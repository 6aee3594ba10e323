// Standard FITS export: a file any FITS reader opens, for the stacking and
// processing programs astronomers move their images on to. Unlike the
// program's own FITS layout (fits.h), which other readers take only as a
// non-standard file, this is a plain primary image:
//   SIMPLE = T, BITPIX 16 with BZERO 32768 (unsigned samples) or BITPIX -32
//   (the samples as floating point, 0..65535), NAXIS 2 for a monochrome image
//   and NAXIS 3 (three planes: red, green, blue) for a colour one, header and
//   data each padded to 2880-byte blocks.
// Rows are stored bottom row first, as FITS readers expect (they show the
// first row at the bottom), so the picture appears the right way up; the
// ROWORDER card says so for the readers that look for it.
// The program's own reader does not take these files; they are an export.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_save.h"
#include "files/fits_text.h"
#include "image/frame_store.h"
#include "image/history.h"

namespace tarvex {

inline constexpr std::size_t FITS_BLOCK = 2880;

enum class StandardFitsSamples {
  Int16,    // BITPIX 16, BZERO 32768: the samples exactly
  Float32,  // BITPIX -32: the samples as 32-bit floating point
};

// What the header says beyond the image and the FITS text record.
struct StandardFitsStamp {
  std::string software;    // SWCREATE, e.g. "Tarvex 0.1"; empty leaves it out
  std::time_t written{0};  // DATE (UT) of writing; 0 leaves it out
};

// The header cards, 80 characters each, END last (without the blank cards
// that pad the header to its block).
std::vector<std::string> standard_fits_cards(const FrameStore& fs, const FitsText& fits,
                                             const ProcessingHistory& history,
                                             StandardFitsSamples samples,
                                             const StandardFitsStamp& stamp);

// The length of the file written for an image of this kind.
std::uint64_t standard_fits_size(std::size_t header_cards, bool colour,
                                 StandardFitsSamples samples);

// Writes the current image: CurrentFrame for a monochrome image, the red,
// green and blue planes for a colour one (IsColour). The previous file of
// that name stays as it was on failure.
FileSave save_standard_fits(const std::filesystem::path& path, const FrameStore& fs,
                            const FitsText& fits, const ProcessingHistory& history,
                            StandardFitsSamples samples, const StandardFitsStamp& stamp);

// DATE-OBS in ISO form from the record's date and time: "2024-03-09T21:05:07"
// when both are well formed, "2024-03-09" for a date alone, empty when the
// date is not a calendar date ("YYYY-MM-DD", as the program stamps it).
std::string iso_date_obs(std::string_view date, std::string_view time);

// A FITS string value: quoted, inner quotes doubled, characters outside
// printable ASCII written as '?', cut to fit one card, and padded to the
// 8 characters the standard asks as a minimum.
std::string fits_string_value(std::string_view text);

}  // namespace tarvex
