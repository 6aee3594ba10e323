#include "processing/histogram.h"

#include <algorithm>
#include <cstdio>

namespace tarvex {

std::vector<PlotLine> histogram_plot(const std::array<std::uint16_t, HISTOGRAM_BINS>& histogram,
                                     PlotStyle style) {
  std::vector<PlotLine> lines;
  lines.reserve(2 + 8 + 256);
  lines.push_back({5, 5, 5, 213, PLOT_BLUE});
  lines.push_back({5, 213, 263, 213, PLOT_BLUE});
  const bool dialog = style == PlotStyle::StretchDialog;
  // Ticks every 32 pixels; those at x = 72 and 200 are longer and the one at
  // x = 136 longer still. The Normal Stretch dialog draws all of them shorter.
  for (int x = 40; x <= 264; x += 32) {
    int end = dialog ? 215 : 217;
    if (x == 72 || x == 200) end = dialog ? 218 : 220;
    if (x == 136) end = dialog ? 220 : 224;
    lines.push_back({x, 213, x, end, PLOT_BLUE});
  }
  for (int i = 0; i < 256; ++i) {
    const int h = histogram[static_cast<std::size_t>(i)] / 5;
    if (h > HISTOGRAM_BAR_MAX) {
      lines.push_back({i + 8, 210, i + 8, 210 - HISTOGRAM_BAR_MAX, PLOT_RED});
    } else {
      lines.push_back({i + 8, 210, i + 8, 210 - h, PLOT_GREY});
    }
  }
  return lines;
}

std::string histogram_listing(const std::array<std::uint16_t, HISTOGRAM_BINS>& histogram) {
  std::string text = "val   count\n";
  int listed = 0;
  for (int i = 0; i < 256 && listed < HISTOGRAM_LISTED_MAX; ++i) {
    const long h = histogram[static_cast<std::size_t>(i)] / 5;
    if (h <= HISTOGRAM_BAR_MAX) continue;
    char line[32];
    std::snprintf(line, sizeof line, "%03d  %6ld\n", i, h * 5);
    text += line;
    ++listed;
  }
  return text;
}

std::vector<PlotLine> marker_strip(unsigned black, unsigned white) {
  std::vector<PlotLine> lines;
  for (unsigned level : {black, std::min(white, 255u)}) {
    const int x = static_cast<int>(level) + 8;
    lines.push_back({x, 230, x, 220, PLOT_BLACK});
    lines.push_back({x - 3, 224, x, 221, PLOT_BLACK});
    lines.push_back({x, 221, x + 3, 224, PLOT_BLACK});
  }
  return lines;
}

}  // namespace tarvex
