// The native raw image file ("KR File"): a 10-byte format tag and the frame,
// optionally followed by the colour planes. The length of a file tells its
// layout; FITS lengths are handed to the FITS reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "files/file_save.h"
#include "files/fits_text.h"
#include "image/frame_store.h"
#include "image/history.h"

namespace tarvex {

inline constexpr std::uint64_t RAW_FRAME_ONLY = 872320;     // older files, no tag
inline constexpr std::uint64_t RAW_TAGGED = 872330;         // tag, frame
inline constexpr std::uint64_t RAW_COLOUR_8BIT = 2180810;   // tag, frame, 8-bit planes
inline constexpr std::uint64_t RAW_COLOUR_16BIT = 3489290;  // tag, frame, 16-bit planes
inline constexpr std::uint64_t FITS_BINNED_MONO = 878400;
inline constexpr std::uint64_t FITS_NORMAL_MONO = 878080;
inline constexpr std::uint64_t FITS_COLOUR_8BIT = 2186560;
inline constexpr std::uint64_t FITS_COLOUR_16BIT = 3495040;
inline constexpr std::size_t RAW_TAG_SIZE = 10;
inline constexpr std::size_t FRAME_BYTES = 2 * FRAME_SAMPLES;  // 872320

// The filter of the raw file dialogs.
inline constexpr const char* RAW_OPEN_FILTER =
    "Velquor (~*.)|~*.*|FITS files|*.FIT|All Files(*.*)|*.*|";

enum class FileLayout {
  Unknown,
  RawFrameOnly,
  RawTagged,
  RawColour8,
  RawColour16,
  FitsBinnedMono,
  FitsNormalMono,
  FitsColour8,
  FitsColour16,
};

FileLayout layout_for_length(std::uint64_t length);
bool is_fits_layout(FileLayout layout);
// A short description of a layout, as tarvex-cli info prints it.
const char* layout_name(FileLayout layout);

// What a second frame is loaded for.
enum class SecondPurpose { SubtractDark, FlatField, Other };

// How a save of a KR File ended.
enum class RawSave {
  Ok,
  NotCreated,        // the file could not be created
  FrameNotWritten,   // the tag or the frame could not be written
  PlanesNotWritten,  // the colour planes could not be written
};

// How a load into CurrentFrame ended.
enum class RawLoad {
  Ok,
  Unreadable,      // missing, not a file, or shorter than its length said
  UnknownLength,   // no layout has this length (or a colour merge met a monochrome file)
  FitsUnreadable,  // a FITS file that could not be read
  FitsForeign,     // a FITS file not of this program's layout
};

// How a load into SecondFrame ended.
enum class SecondLoad {
  Ok,
  Unreadable,          // missing, not a file, or shorter than its length said
  NotASecondFrame,     // a length that cannot serve as the second frame here
  FitsUnreadable,      // a FITS file that could not be read
  FitsForeign,         // a FITS file not of this program's layout
  DarkBinnedImageNot,  // dark frame subtraction: the dark is binned, the image not
  ImageBinnedDarkNot,  // dark frame subtraction: the image is binned, the dark not
};

// Writes CurrentFrame (and the colour planes of a colour image) as a KR File.
// The previous file stays on failure.
RawSave save_raw(const std::filesystem::path& path, const FrameStore& fs);

// Writes the flat-field variant.
FileSave save_flat_field(const std::filesystem::path& path, const FrameStore& fs);

// The image state a load replaces.
struct LoadTarget {
  FrameStore& fs;
  FitsText& fits;
  ProcessingHistory& history;
  std::string& current_file_name;
  bool binned_import_default;
};

// Reads a KR File or FITS file into CurrentFrame and the planes. A refused
// file leaves the image, its flags, the FITS texts, the history and the file
// name as they were. The caller reports a failure, and redisplays and calls
// save_undo after a success.
RawLoad load_raw(const std::filesystem::path& path, LoadTarget target);

// Reads a file into SecondFrame for calibration or merging. The caller
// reports a failure.
SecondLoad load_second(const std::filesystem::path& path, SecondPurpose purpose, FrameStore& fs);

// Where a second frame goes and what it is checked against: the frame it is
// read into, whether the image it serves is binned (a dark frame must match)
// and whether a colour merge takes it (only colour files then).
struct SecondTarget {
  Frame& frame;
  bool image_binned = false;
  bool colour_merge = false;
};
// load_second into any frame: the automatic dark removal of an exposure
// sequence keeps its dark frame in a buffer of its own. The frame is
// changed only on success.
SecondLoad load_second(const std::filesystem::path& path, SecondPurpose purpose,
                       const SecondTarget& target);

// The current file name as the window title shows it: the name of the file
// actually read or written, without its folder.
std::string display_file_name(const std::filesystem::path& path);

}  // namespace tarvex
