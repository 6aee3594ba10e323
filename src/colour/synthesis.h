// Colour synthesis: the raw mosaic frame in CurrentFrame becomes a luminance
// frame and the red, green and blue planes, followed by the optional light
// pollution correction, automatic stretch, sharpening and anti-alias filter.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "image/frame_store.h"
#include "processing/stretch.h"

namespace tarvex {

enum class AutoStretch { None, Weak, Strong, User };

// Ranges of the three edit boxes of "SYNTHESIZE COLOUR IMAGE".
inline constexpr int USER_POWER_MIN = 2;
inline constexpr int USER_POWER_MAX = 29;
inline constexpr int SYNTH_UNSHARP_DIA_MIN = 2;
inline constexpr int SYNTH_UNSHARP_DIA_MAX = 6;
inline constexpr int SYNTH_UNSHARP_POWER_MIN = 1;
inline constexpr int SYNTH_UNSHARP_POWER_MAX = 6;

inline constexpr double WEAK_STRETCH_POWER = 2.0;
inline constexpr double STRONG_STRETCH_POWER = 18.0;

// The options of one synthesis run, as the settings record keeps them.
struct SynthesisOptions {
  bool daylight = false;
  bool light_pollution = false;
  bool smoothing = false;
  bool anti_alias = false;
  bool ir_filter = false;
  AutoStretch stretch = AutoStretch::None;
  int user_power = 4;
  bool remove_background = false;
  bool high_pass = false;
  bool unsharp = false;
  int unsharp_diameter = 3;
  int unsharp_power = 1;
  bool pixel_offset = false;  // the camera's "Pixel Offset"
  bool line_offset = true;    // the camera's "Line Offset"
  bool operator==(const SynthesisOptions&) const = default;
};

// Each plane value is multiplied by 300 and divided by its divisor.
struct ColourDivisors {
  int red, blue, green;
  bool operator==(const ColourDivisors&) const = default;
};
inline constexpr int COLOUR_MULTIPLIER = 300;
ColourDivisors colour_divisors(bool daylight, bool ir_filter);

// The mosaic phases at the start of a run.
struct MosaicStart {
  bool pixel_offset = false;
  bool line_offset = true;
};

// The luminance of two neighbouring raw samples with sum `pair_sum`
// (0..131070): the sum divided by 1.7, truncated, 65535 from 65535 up.
std::uint16_t pair_luminance(int pair_sum);

// The per-row step for every row 0..578 (the last row is not visited, and
// is set black), writing the luminance into SecondFrame and the planes. `on_row` is called
// before each row (progress and event pump); it may be empty.
void synthesize_mosaic(FrameStore& fs, const ColourDivisors& divisors, MosaicStart start,
                       const std::function<void(int)>& on_row = {});

// The repair and post-processing pass after the per-row step: outlier
// repair of the planes, saturation spread and notch fill in the luminance,
// binned odd rows, the label band (white in the planes when `label_band` is
// set, else a black first row), the black last row, and the optional 3 x 3
// smoothing of the planes.
void repair_and_finish(FrameStore& fs, bool label_band, bool smoothing);

// Equalises the background levels of the three planes (light pollution).
void equalise_backgrounds(FrameStore& fs);

// The plane smoothing kernels: 0 (3 x 3), 1 (5 x 5), 2 (3 x 3), 3 (5 x 5).
inline constexpr int COLOUR_KERNELS = 4;
// Smooths the three planes with kernel `kernel`, dividing by `divisor`; the
// results go through the work planes. Pixels closer to the edge than the
// kernel's half size keep their values. Returns false for an unknown kernel
// or a zero divisor.
bool smooth_planes(FrameStore& fs, int kernel, int divisor);

// The anti-alias filter of the planes: the 5 x 5 median of each plane plus
// the low 8 bits of the mean fine detail of the three. Works inside rows
// 3..576 and columns 3..748; pixels outside keep their values. SecondFrame
// and the work planes are overwritten. `on_row` as above.
void anti_alias_planes(FrameStore& fs, const std::function<void(int)>& on_row = {});

// The background level colour synthesis and the colour picture use: the
// lowest of the fullest high-byte bins of samples 10240..25599.
int synthesis_background_level(const Frame& frame);

// The automatic stretch table: entries 0..16383 lift faint levels with the
// given power; entries 16384 and up keep their level (i).
void fill_auto_stretch_table(StretchLevels& table, double power);

// The progress position (0..256) for a frame row.
inline int row_progress(int row) {
  return row * 256 / FRAME_HEIGHT;
}

}  // namespace tarvex
