// Display rendering: display bytes, the grey mappings, the image histogram
// and background level, and the bitmap files the window shows.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "image/frame_store.h"

namespace tarvex {

inline constexpr int BITMAP_HEADER_SIZE = 54;
inline constexpr int MONO_BITMAP_PIXELS_OFFSET = 1078;
inline constexpr int MONO_BITMAP_FILE_SIZE = MONO_BITMAP_PIXELS_OFFSET + FRAME_SAMPLES;  // 437238
inline constexpr int SMALL_BITMAP_FILE_SIZE =
    MONO_BITMAP_PIXELS_OFFSET + SMALL_FRAME_SAMPLES;                                    // 17462
inline constexpr int COLOUR_BITMAP_FILE_SIZE = BITMAP_HEADER_SIZE + 3 * FRAME_SAMPLES;  // 1308534
inline constexpr int MIN_PALETTE_BITS = 12;
inline constexpr int MAX_PALETTE_BITS = 16;

// How a colour picture is shown: in colour, as grey lumens, or one colour
// plane alone in its own channel (the "Pixel Value" box's buttons).
enum class ColourView { Normal, Lumens, Red, Green, Blue };

// Display settings that live only while the program runs.
struct DisplayState {
  bool SmallFrameMode = false;     // show only the 128 x 128 frame at the start of CurrentFrame
  int palette_bits = 14;           // bit depth of maximum palette stretch, 12..16
  bool max_stretch_all = false;    // "Use Max Palette Stretch on all Images"
  bool focus_image_shown = false;  // the picture is a focus image (always max-stretched)
  bool auto_contrast = false;      // View > Auto contrast stretch image
  bool fit_to_window = false;      // View > Fit to window
  ColourView colour_view = ColourView::Normal;
};

using GreyMap = std::array<std::uint8_t, 256>;

// DisplayBytes from CurrentFrame: the high byte of every sample (only the
// first 16384 in small-frame mode).
void make_display_bytes(FrameStore& fs, bool small_frame);

// The grey level shown for each display byte under the current mapping:
// maximum palette stretch, else auto contrast around `background_level`,
// else identity.
GreyMap grey_mapping(const DisplayState& ds, int background_level);

// Recomputes ImageHistogram and BackgroundLevel from CurrentFrame (rows 5 to
// 574), as every paint of the main window does.
void compute_image_histogram(FrameStore& fs);

// The background level of a histogram: the mean (integer division) of the
// three fullest bins, ties going to the lower bin. With fewer than three
// non-empty bins the mean of those there are; 0 when all are empty.
int background_level(const std::array<std::uint16_t, HISTOGRAM_BINS>& histogram);

// Fills RgbBitmap for a colour image in the single-plane or grey views:
// Red, Green and Blue show one plane in its own channel; any other view
// shows the grey display byte in all three channels. Rows [first_row,
// end_row).
void fill_rgb_rows_plain(FrameStore& fs, ColourView colour_view, int first_row, int end_row);

// How the writing of a bitmap file ended. The target is replaced only when
// complete.
enum class BitmapWrite { Ok, NotCreated, HeaderNotWritten, PixelsNotWritten };

// Bitmap file images.
BitmapWrite write_mono_bitmap(const std::filesystem::path& path, const FrameStore& fs,
                              bool small_frame, const GreyMap& map);
BitmapWrite write_colour_bitmap(const std::filesystem::path& path, const FrameStore& fs);

// The 54-byte file and info headers of a bitmap.
std::array<std::uint8_t, BITMAP_HEADER_SIZE> bitmap_header(int width, int height, int bits,
                                                           int pixel_offset, int file_size);

}  // namespace tarvex
