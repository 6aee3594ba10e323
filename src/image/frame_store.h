// The frame store: every image buffer of the program, allocated once, and the
// flags that describe the image they hold.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvex {

inline constexpr int FRAME_WIDTH = 752;
inline constexpr int FRAME_HEIGHT = 580;
inline constexpr int FRAME_SAMPLES = FRAME_WIDTH * FRAME_HEIGHT;  // 436160
inline constexpr int BLOCK_ROWS = 10;
inline constexpr int BLOCK_SAMPLES = BLOCK_ROWS * FRAME_WIDTH;  // 7520
inline constexpr int FRAME_BLOCKS = FRAME_HEIGHT / BLOCK_ROWS;  // 58
// Each frame buffer has a few spare samples beyond the frame; nothing relies
// on their contents.
inline constexpr int FRAME_SPARE = 16;
inline constexpr int FRAME_BUFFER_SAMPLES = FRAME_SAMPLES + FRAME_SPARE;
// Samples at or above this value count as saturated in calibration.
inline constexpr std::uint16_t SATURATED_SAMPLE = 65500;

inline constexpr int SMALL_FRAME_SIDE = 128;
inline constexpr int SMALL_FRAME_SAMPLES = SMALL_FRAME_SIDE * SMALL_FRAME_SIDE;  // 16384

using Frame = std::array<std::uint16_t, FRAME_BUFFER_SAMPLES>;
using BytePlane = std::array<std::uint8_t, FRAME_SAMPLES>;

inline constexpr int HISTOGRAM_BINS = 257;

struct FrameStore {
  Frame CurrentFrame;
  Frame SecondFrame;
  Frame UndoFrame;

  Frame RedPlane;
  Frame GreenPlane;
  Frame BluePlane;
  Frame RedWork;
  Frame GreenWork;
  Frame BlueWork;
  Frame RedSaved;
  Frame GreenSaved;
  Frame BlueSaved;

  BytePlane RedBytes;
  BytePlane GreenBytes;
  BytePlane BlueBytes;

  BytePlane DisplayBytes;
  std::array<std::uint8_t, 3 * FRAME_SAMPLES> RgbBitmap;

  // Image histogram of the high bytes of CurrentFrame (bins 0..255 used, bin
  // 256 always 0; the counters wrap at 65536) and the background level
  // derived from it. Recomputed after every paint.
  std::array<std::uint16_t, HISTOGRAM_BINS> ImageHistogram;
  int BackgroundLevel = 0;

  bool IsColour = false;
  bool IsBinned = false;
  bool HasBytePlanes = false;
  bool RestorePlanesOnUndo = false;
  bool MergeMode = false;
};

// Fills the start-up pattern: CurrentFrame, SecondFrame and UndoFrame hold the
// vertical ramp row * 112; every other buffer and the histogram are cleared.
void init_frame_store(FrameStore& fs);

// Copies CurrentFrame to UndoFrame and clears RestorePlanesOnUndo.
void save_undo(FrameStore& fs);

// Copies UndoFrame back to CurrentFrame (and the work planes into the colour
// planes when RestorePlanesOnUndo is set), then clears RestorePlanesOnUndo.
// The caller redisplays and drops the newest history line.
void undo_last_filter(FrameStore& fs);

// Copies the colour planes to the saved planes.
void save_colour_planes(FrameStore& fs);

// Copies the saved planes back into the colour planes. The caller redisplays.
void undo_last_colour_filter(FrameStore& fs);

// Copies one frame buffer to another; with save_planes set, then saves the
// colour planes.
void copy_frame(FrameStore& fs, const Frame& source, Frame& destination, bool save_planes);

// Widens the 8-bit colour planes into the 16-bit planes (v becomes v << 7).
void widen_byte_planes(FrameStore& fs);

}  // namespace tarvex
