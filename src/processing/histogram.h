// What the histogram window and the Normal Stretch dialog draw: the plot of
// ImageHistogram as plain lines in dialog coordinates, the listing of the
// truncated bins, the marker strip, and the window's one-at-a-time rule.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/frame_store.h"

namespace tarvex {

struct PlotColour {
  std::uint8_t red, green, blue;
  bool operator==(const PlotColour&) const = default;
};

inline constexpr PlotColour PLOT_BLUE{0, 0, 255};
inline constexpr PlotColour PLOT_RED{255, 0, 0};
inline constexpr PlotColour PLOT_GREY{128, 128, 128};
inline constexpr PlotColour PLOT_BLACK{0, 0, 0};

struct PlotLine {
  int x1, y1, x2, y2;
  PlotColour colour;
  bool operator==(const PlotLine&) const = default;
};

struct PlotRect {
  int left, top, right, bottom;
};

inline constexpr int HISTOGRAM_BAR_MAX = 210;  // bars are count / 5, cut at 210
inline constexpr int HISTOGRAM_LISTED_MAX = 15;
inline constexpr PlotRect HISTOGRAM_LISTING_RECT{270, 2, 350, 270};
inline constexpr PlotRect MARKER_STRIP_RECT{4, 219, 268, 232};

// Which window draws the plot: the tick marks end differently.
enum class PlotStyle { HistogramWindow, StretchDialog };

// The axes, ticks and one bar per bin 0..255 (bars of height 0 included).
std::vector<PlotLine> histogram_plot(const std::array<std::uint16_t, HISTOGRAM_BINS>& histogram,
                                     PlotStyle style);

// "val   count\n" and one "%03d  %6ld\n" line (bin, bar height * 5) for each
// of the first 15 bins whose bar was cut.
std::string histogram_listing(const std::array<std::uint16_t, HISTOGRAM_BINS>& histogram);

// The black and white markers of the Normal Stretch dialog, drawn in black
// inside MARKER_STRIP_RECT (filled white, outlined black).
std::vector<PlotLine> marker_strip(unsigned black, unsigned white);

}  // namespace tarvex
