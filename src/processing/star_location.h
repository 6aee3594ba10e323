// Star location: finds the brightest compact object inside a square search
// box of a frame and returns its centroid, in whole pixels or with tenths.
// The autoguider, focus mode, the mouse picking of a guide star, the
// centre-on-star option of merging and registration all go through it. The
// search only answers what it found; the caller decides what to tell the
// astronomer (report_star_search).
#pragma once

#include <array>
#include <cstdint>

#include "platform/ports.h"

namespace tarvex {

inline constexpr int STAR_HISTOGRAM_BINS = 4096;
inline constexpr int STAR_MAX_RADIUS = 15;
inline constexpr int STAR_MAX_BOX_SIDE = 2 * STAR_MAX_RADIUS + 1;  // 31
// The radii the "Radius of Guide Star Mask" setting offers.
inline constexpr std::array<int, 6> STAR_RADII{7, 8, 9, 11, 13, 15};

// A row-major frame of samples searched by star location.
struct FrameView {
  const std::uint16_t* samples = nullptr;
  int width = 0;
  int height = 0;
};

// What a search found.
enum class StarSearch {
  Found,         // the centroid was computed
  OutsideFrame,  // the search box does not lie wholly inside the frame
  NothingFound   // the box holds nothing that stands out from its background
};

// A star position: pixels from the top left of the frame searched, plus
// tenths of a pixel (0..9).
struct StarPosition {
  int x = 50;
  int y = 50;
  int x_tenths = 0;
  int y_tenths = 0;
};

// Working storage of a search, kept by the caller so that a search never
// allocates. The histogram is left cleared after every search.
struct StarWorkspace {
  std::array<std::uint16_t, STAR_HISTOGRAM_BINS> histogram{};
  std::array<std::uint16_t, STAR_MAX_BOX_SIDE * STAR_MAX_BOX_SIDE> box{};
};

struct StarFix {
  StarSearch result = StarSearch::NothingFound;
  StarPosition position;  // the centroid; meaningful only when Found
};

// Searches the box of radius `r` centred on (x, y) of `frame` (a radius
// outside 1..15 is clamped to it). With `tenths` the centroid is truncated
// to tenths of a pixel, else rounded to whole pixels.
StarFix search_star(StarWorkspace& work, const FrameView& frame, int x, int y, int r, bool tenths);

// The star state the program shares between the picture, guiding, focus and
// merging: the star position, the current search radius, and the flags that
// say who is searching (they choose the form of the result and whether a
// missing star is reported). Not re-entrant: one search at a time.
struct StarLocation {
  StarPosition position;
  int radius = 8;               // current search radius, normally the mask radius setting
  bool guiding_active = false;  // set by the autoguider while it guides
  bool guiding_frame = false;   // the 128 x 128 guiding frame is in use
  bool quiet = false;           // the sequencer guides: no "nothing found" message
  bool ignore_drift = false;    // "Ignore drift < 1 pixel": whole pixels only
  StarWorkspace work;

  // Guiding measures in tenths of a pixel unless drift below a pixel is
  // ignored; every other search gives whole pixels.
  bool tenths() const { return !ignore_drift && (guiding_active || quiet); }
};

// Searches as search_star does, in the form `s` asks for, and on Found
// moves s.position to the star; otherwise the position is unchanged.
StarSearch locate_star(StarLocation& s, const FrameView& frame, int x, int y, int r);

// Tells the astronomer why a search failed: message 35 for a box outside
// the frame, message 34 when nothing was found (unless `quiet`). Nothing
// for Found.
void report_star_search(Messages& messages, StarSearch result, bool quiet);

// The background level that belongs to a histogram mode bin.
int star_background_for_bin(int bin);

}  // namespace tarvex
