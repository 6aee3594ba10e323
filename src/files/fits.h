// FITS files in the program's own header layout: 72 cards of 80 bytes (two
// 2880-byte blocks), then the frame as big-endian 16-bit values, then the
// colour planes of a colour image. The reader takes only files of this
// layout; it checks the header cards and takes every card by its position.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "files/fits_text.h"
#include "files/raw_file.h"
#include "files/settings.h"
#include "image/frame_store.h"
#include "image/history.h"
#include "platform/paths.h"

namespace tarvex {

inline constexpr std::size_t FITS_CARD_SIZE = 80;
inline constexpr int FITS_HEADER_CARDS = 72;
inline constexpr std::size_t FITS_HEADER_SIZE = FITS_CARD_SIZE * FITS_HEADER_CARDS;  // 5760
// A binned monochrome file ends with ten blocks of 32 blanks.
inline constexpr std::size_t FITS_BINNED_TRAILER = 320;
// Offset added to every sample in the signed encoding.
inline constexpr unsigned FITS_SIGNED_OFFSET = 32768;

// Sizes kept of the texts of the record, as the FITS details dialog limits them.
inline constexpr std::size_t FITS_TEXT_MAX = 67;
inline constexpr std::size_t FITS_DATE_MAX = 10;
inline constexpr std::size_t FITS_TIME_MAX = 11;
inline constexpr std::size_t FITS_LONG_TEXT_MAX = 254;

// The file dialog of Save as FITS.
inline constexpr const char* FITS_SAVE_FILTER = "FITS file (*.FIT)|*.FIT|All Files(*.*)|*.*|";
inline constexpr const char* FITS_DEFAULT_EXTENSION = "FIT";

// Automatic saves: <autosave folder>/<prefix><number>.FIT. A number of 65530
// or more starts again at 1.
inline constexpr const char* AUTOSAVE_PREFIX = "IMG";
inline constexpr unsigned AUTOSAVE_NUMBER_WRAP = 65530;

// True when a number can be written into a numeric card so that the reader
// takes it back: finite, and not so close to the largest double that its
// ten-digit form rounds past it. Where numbers are entered (the FITS details
// dialog, the command line) others are refused, and a header holding one is
// refused as not of this layout.
bool fits_number_writable(double value);

// The 72 header cards for an image with or without colour planes.
std::array<char, FITS_HEADER_SIZE> fits_header(bool colour, bool binned, const FitsText& fits,
                                               const ProcessingHistory& history);

// Writes the current image with the text record: the header, CurrentFrame
// and, when `colour` is set, the red, green and blue planes (a binned
// monochrome file ends with 320 blanks). The previous file of that name
// stays intact on failure.
FileSave save_fits(const std::filesystem::path& path, bool colour, const FrameStore& fs,
                   const FitsText& fits, const ProcessingHistory& history);

// Reads a FITS file of this program's layout into CurrentFrame (and the colour
// planes for the two colour lengths; byte_planes tells the older 8-bit plane
// layout). Sets IsColour, IsBinned and HasBytePlanes from the file, and fills
// the text record and the processing history from its cards. The whole file
// is checked and read before anything is changed, so a refused file changes
// nothing.
enum class FitsLoad {
  Ok,
  Unreadable,  // missing, not a file, shorter than its layout, or not the layout chosen
  Foreign,     // not this program's header layout
};
FitsLoad load_fits(const std::filesystem::path& path, bool byte_planes, FrameStore& fs,
                   FitsText& fits, ProcessingHistory& history);

// Reads the frame of a FITS file into SecondFrame: Ok, FitsUnreadable,
// FitsForeign, or for a dark frame of the other binned state
// DarkBinnedImageNot or ImageBinnedDarkNot. SecondFrame is changed only on
// success.
SecondLoad load_fits_second(const std::filesystem::path& path, SecondPurpose purpose,
                            FrameStore& fs);
// The same into any frame (see SecondTarget).
SecondLoad load_fits_second(const std::filesystem::path& path, SecondPurpose purpose,
                            const SecondTarget& target);

// The number the next automatic save gets after `last` (the settings field,
// taken as an unsigned 16-bit count): last + 1, or 1 when that reaches 65530.
unsigned next_autosave_number(std::int16_t last);

// "IMG12.FIT" for prefix "IMG" and number 12.
std::string autosave_file_name(const std::string& prefix, unsigned number);

// DATE-OBS and TIME-OBS texts of a broken-down UT: "2024-03-09" and "21:05:07".
std::string fits_date_text(const std::tm& ut);
std::string fits_time_text(const std::tm& ut);

// Sets fits_date and fits_time to the UT of the middle of an exposure that
// started at `start` (seconds since the epoch, as the system clock counts
// them) and lasted `exposure_ms` milliseconds.
void stamp_mid_exposure_ut(FitsText& fits, std::time_t start, std::uint32_t exposure_ms);

// Today's date in the zone of the settings' UT offset, as Save as FITS fills
// a short FITS date: "2024-03-09".
std::string local_date_text(std::time_t now, int ut_offset_hours);

// What an automatic save reads and updates.
struct AutosaveTarget {
  const FrameStore& fs;
  FitsText& fits;
  const ProcessingHistory& history;
  Settings& settings;
  const Paths& paths;
};

// How an automatic save ended.
enum class AutosaveStatus {
  Saved,
  FileNotWritten,    // the folder or the file could not be made (error says why)
  SeriesFull,        // every number of the series has its file already
  SettingsNotSaved,  // the image was written, the new number not kept
};

struct AutosaveResult {
  AutosaveStatus result = AutosaveStatus::Saved;
  std::filesystem::path file;  // the file written (or tried)
  unsigned number = 0;         // its number
  int error = 0;               // the system's error number of a file not written
};

// The file the next automatic save writes: the next number whose file does
// not exist yet in the automatic-save folder (after the numbers wrap, or
// when the settings file was lost, earlier images stay). `number` receives
// its number. An empty path when every number of the series is taken.
std::filesystem::path next_autosave_file(const Settings& settings, const Paths& paths,
                                         const std::string& prefix = AUTOSAVE_PREFIX,
                                         unsigned* number = nullptr);

// The automatic save of an exposure sequence and of Quick Save as FITS: the
// next number, the UT of the middle of the exposure into the text record,
// the file <autosave folder>/IMG<n>.FIT written as save_fits writes (colour
// planes when IsColour), then the settings saved so the number persists.
// Numbers whose file already exists are passed over, so no earlier image of
// the series is overwritten; the file takes its number only while no file
// of that name exists (checked and named in one step), so two programs
// saving into one folder never take the same number.
AutosaveResult autosave_fits(AutosaveTarget target, std::time_t start, std::uint32_t exposure_ms,
                             const std::string& prefix = AUTOSAVE_PREFIX);

}  // namespace tarvex
