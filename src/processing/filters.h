// Spatial filters on CurrentFrame: the fixed-kernel convolutions, the unsharp
// mask, the thresholded median, vertical smoothing and the gradient (sky
// background) remover. Each works in place; all but the gradient filter take
// the undo copy themselves.
#pragma once

#include <array>
#include <cstdint>

#include "image/frame_store.h"

namespace tarvex {

inline constexpr int KERNEL_COUNT = 6;
inline constexpr int KERNEL_WEIGHTS = 25;

// Six kernels stored row by row as 5 x 5. A radius-1 filter reads only the
// first nine stored weights, as a 3 x 3 kernel row by row.
inline constexpr std::array<std::array<std::int32_t, KERNEL_WEIGHTS>, KERNEL_COUNT> KERNEL_TABLE{{
    {1, 2, 1, 2, 4, 2, 1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 1, 2, 1, 0, 1, 4, 8, 4, 1, 2, 8, 16, 8, 2, 1, 4, 8, 4, 1, 0, 1, 2, 1, 0},
    {0, -1, 0, -1, 5, -1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 25,
     -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, -1, -1, -1, 0, -1, 1, 1, 1, -1, -1, 1, 5, 1, -1, -1, 1, 1, 1, -1, 0, -1, -1, -1, 0},
    {0, 0, -1, 0, 0, 0, -1, -1, -1, 0, -1, -1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0},
}};

// Filter results above this become 65535; negative results become 0.
inline constexpr std::int32_t FILTER_CLAMP_LEVEL = 65280;
inline constexpr std::uint16_t MEDIAN_MIN_START = 65000;

inline constexpr int UNSHARP_RADIUS_MIN = 1;
inline constexpr int UNSHARP_RADIUS_MAX = 7;
inline constexpr int UNSHARP_POWER_MIN = 1;
inline constexpr int UNSHARP_POWER_MAX = 7;
inline constexpr int MEDIAN_RADIUS_MIN = 1;
inline constexpr int MEDIAN_RADIUS_MAX = 3;
inline constexpr int MEDIAN_POWER_MIN = 1;  // tenths
inline constexpr int MEDIAN_POWER_MAX = 10;

inline std::uint16_t clamp_filter_result(std::int32_t q) {
  if (q > FILTER_CLAMP_LEVEL) return 65535;
  if (q < 0) return 0;
  return static_cast<std::uint16_t>(q);
}

// Weighted sum over the (2r+1)^2 window with kernel k, divided by d
// (truncated) and clamped. The border of width r, and the label band, keep
// their values. Returns false, changing nothing, for a radius other than 1
// or 2, an unknown kernel or a zero divisor.
bool convolve_frame(FrameStore& fs, int radius, int kernel, int divisor);

// Sharpens by P times the difference from the (2r+1)^2 box mean. Saves the
// colour planes too when IsColour is set. Returns false, changing nothing,
// for a radius outside 1..7 or a power outside 1..7.
bool unsharp_mask(FrameStore& fs, int radius, int power);

// Replaces a pixel by the median of its (2r+1)^2 window when it departs from
// it by more than power/10 of the window's range (its minimum counted from
// 65000 down). Returns false, changing nothing, for a radius outside 1..3 or
// a power outside 1..10.
bool median_filter(FrameStore& fs, int radius, int power);

// Averages each row with the one below (downward runs) or above; every run
// toggles `smooth_downward` first, so successive runs alternate. Column 751
// is never changed.
void vertical_smoothing(FrameStore& fs, bool& smooth_downward);

// Removes a bilinear sky gradient estimated from the modes of four 40 x 40
// corner boxes. The caller takes the undo copy.
void gradient_filter(FrameStore& fs);

// The mode of sample / 16 in a 40 x 40 box at (left, top), the lowest bin on
// ties; bins below `first_bin` are not considered and an all-empty search
// gives `first_bin`.
int box_mode(const Frame& f, int left, int top, int first_bin);

}  // namespace tarvex
