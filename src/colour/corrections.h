// Colour corrections of the three planes after synthesis: colour balance,
// chromatic shifts, overload smoothing, the low pass colour filter and the
// colour histogram balance. (Undo Last Colour Filter is an Edit command.)
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "image/frame_store.h"

namespace tarvex {

// Start, minimum and maximum of one colour, as the balance dialog shows them.
struct BalanceValues {
  int start = 0;
  int minimum = 0;
  int maximum = 255;
  bool operator==(const BalanceValues&) const = default;
};

// Colours in the order the balance is applied: blue, red, green.
struct ColourBalance {
  BalanceValues red, green, blue;
  bool unchanged() const {
    return red == BalanceValues{} && green == BalanceValues{} && blue == BalanceValues{};
  }
};

// Balances one plane: a non-zero start subtracts 256 * start from every
// sample below 65535; otherwise the range 256 * minimum .. 256 * maximum is
// spread over 0..65535 (a negative minimum first lifts every sample below
// 62720).
void balance_plane(Frame& plane, const BalanceValues& values);

// Balances blue, red and green in this order, calling on_colour(0, 1, 2)
// before each (progress 0, 80, 160).
void balance_planes(FrameStore& fs, const ColourBalance& balance,
                    const std::function<void(int)>& on_colour = {});

// Shifts of the red and blue planes against green, each -3..+3: a sample
// takes the value `shift` columns to its right (rows below) when that lies
// inside the frame, and keeps its value otherwise.
struct ChromaticShifts {
  int red_h = 0, red_v = 0, blue_h = 0, blue_v = 0;
};
inline constexpr int CHROMATIC_SHIFT_MAX = 3;
// The first row moved is 10 with the label band, else 0.
void shift_planes(FrameStore& fs, const ChromaticShifts& shifts);

// Colour overload repair and smoothing of CurrentFrame and the planes.
void overload_smoothing(FrameStore& fs);

// The colour histograms: 129 bins of value / 512 over every row below the
// first 10, and the edge of each: the first bin 1..126 with more than 4000
// samples (1 when none has).
struct ColourHistograms {
  std::array<std::uint32_t, 129> red{}, blue{}, green{};
  int red_edge = 1, blue_edge = 1, green_edge = 1;
};
void colour_histograms(const FrameStore& fs, ColourHistograms& h);

enum class PlaneChoice { Red, Green, Blue };
struct HistogramBalance {
  PlaneChoice plane;
  int gap;  // added to every sample below 65535 - gap
};
HistogramBalance histogram_balance_choice(const ColourHistograms& h);
// Raises the weakest colour; returns what it did.
HistogramBalance balance_colour_histogram(FrameStore& fs);

}  // namespace tarvex
