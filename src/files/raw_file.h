// The native raw image file ("KR File"): a 10-byte format tag and the frame,
// optionally followed by the colour planes. The length of a file tells its
// layout; FITS lengths are handed to the FITS reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "image/history.h"
#include "files/fits_text.h"
#include "image/frame_store.h"
#include "platform/ports.h"

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

// Writes CurrentFrame (and the colour planes of a colour image) as a KR File.
// Returns 0, or the message code it reported: 17 (not created), 18 (frame not
// written), 19 (planes not written). The previous file stays on failure.
int save_raw(const std::filesystem::path& path, const FrameStore& fs, Messages& messages);

// Writes the flat-field variant. Returns 0, or 1 when the file could not be
// written; the caller reports message 29.
int save_flat_field(const std::filesystem::path& path, const FrameStore& fs);

// The image state a load replaces.
struct LoadTarget {
  FrameStore& fs;
  FitsText& fits;
  ProcessingHistory& history;
  std::string& current_file_name;
  bool binned_import_default;
};

// Reads a KR File or FITS file into CurrentFrame and the planes. Returns 0,
// or the message code it reported (11, 12, 13, 14). A refused file leaves the
// image, its flags, the FITS texts, the history and the file name as they
// were. The caller redisplays and calls save_undo after a success.
int load_raw(const std::filesystem::path& path, LoadTarget target, Messages& messages);

// Reads a file into SecondFrame for calibration or merging. Returns 0, or 1,
// 2, 13 or 14 after reporting the failure.
int load_second(const std::filesystem::path& path, SecondPurpose purpose, FrameStore& fs,
                Messages& messages);

// The current file name as the window title shows it: the name without its
// folder, in lower case.
std::string display_file_name(const std::filesystem::path& path);

}  // namespace tarvex
