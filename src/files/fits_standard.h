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

// This sensor's complementary colour mosaic, 2 columns by 4 rows, read row
// by row in the order the file stores its rows (bottom row of the picture
// first) with the camera's "Pixel Offset" and "Line Offset" both off:
// C cyan, Y yellow, M magenta, G green. Each interlaced field carries a
// cyan/yellow line and a green/magenta line in turn, so rows come in pairs.
// XBAYROFF is the "Pixel Offset" (0 or 1 column); YBAYROFF is 2 rows when
// "Line Offset" is on, since it moves the pattern by one line of a field.
// Every writer of raw frames and the stacking reader use this one value.
inline constexpr std::string_view BAYERPAT = "GMGMYCYC";
inline constexpr int BAYER_COLUMNS = 2;
inline constexpr int BAYER_ROWS = 4;
inline constexpr int bayer_x_offset(bool pixel_offset) {
  return pixel_offset ? 1 : 0;
}
inline constexpr int bayer_y_offset(bool line_offset) {
  return line_offset ? 2 : 0;
}

// The camera's mosaic phases, for the BAYERPAT cards of a raw frame.
struct MosaicOffsets {
  bool pixel_offset = false;
  bool line_offset = true;
};

// What kind of frame an exposure was (IMAGETYP), where known.
enum class ImageType { Unknown, Light, Dark, Flat };

// What the header says beyond the image and the FITS text record.
struct StandardFitsStamp {
  std::string software;                       // SWCREATE, e.g. "Tarvex 0.1"; empty leaves it out
  std::time_t written{0};                     // DATE (UT) of writing; 0 leaves it out
  ImageType image_type = ImageType::Unknown;  // Unknown leaves IMAGETYP out
  // OBJECT: the go-to target's name; when set it replaces the object of the
  // FITS text record, which may still name an earlier night's target.
  std::string object{};
  // Where the telescope pointed at the start of the exposure, J2000
  // (OBJCTRA/OBJCTDEC and RA/DEC), when a mount told it.
  bool pointing_known = false;
  double ra_hours = 0;
  double dec_degrees = 0;
  // The observing site (SITELAT/SITELONG), longitude counted east-positive.
  bool site_known = false;
  double site_latitude = 0;
  double site_longitude_east = 0;
};

// "HH MM SS.ss" and "+DD MM SS.s", the forms of OBJCTRA and OBJCTDEC.
std::string fits_ra_text(double hours);
std::string fits_dec_text(double degrees);

// The header cards, 80 characters each, END last (without the blank cards
// that pad the header to its block). A raw frame gets the mosaic cards,
// with the offsets of `mosaic`.
std::vector<std::string> standard_fits_cards(const FrameStore& fs, const FitsText& fits,
                                             const ProcessingHistory& history,
                                             StandardFitsSamples samples,
                                             const StandardFitsStamp& stamp,
                                             MosaicOffsets mosaic = {});

// The length of the file written for an image of this kind.
std::uint64_t standard_fits_size(std::size_t header_cards, bool colour,
                                 StandardFitsSamples samples);

// Writes the current image: CurrentFrame for a monochrome image, the red,
// green and blue planes for a colour one (IsColour). The previous file of
// that name stays as it was on failure.
FileSave save_standard_fits(const std::filesystem::path& path, const FrameStore& fs,
                            const FitsText& fits, const ProcessingHistory& history,
                            StandardFitsSamples samples, const StandardFitsStamp& stamp,
                            MosaicOffsets mosaic = {});

// DATE-OBS in ISO form from the record's date and time: "2024-03-09T21:05:07"
// when both are well formed, "2024-03-09" for a date alone, empty when the
// date is not a calendar date ("YYYY-MM-DD", as the program stamps it).
std::string iso_date_obs(std::string_view date, std::string_view time);

// A FITS string value: quoted, inner quotes doubled, characters outside
// printable ASCII written as '?', cut to fit one card, and padded to the
// 8 characters the standard asks as a minimum.
std::string fits_string_value(std::string_view text);

}  // namespace tarvex
