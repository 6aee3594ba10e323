// Star location: finds the brightest compact object inside a square search
// box of a frame and returns its centroid, in whole pixels or with tenths.
// The autoguider, focus mode, the mouse picking of a guide star and the
// centre-on-star option of merging all go through locate_star.
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

// The shared star position: pixels from the top left of the frame searched,
// plus tenths of a pixel (0..9).
struct StarPosition {
  int x = 50;
  int y = 50;
  int x_tenths = 0;
  int y_tenths = 0;
};

// The state star location reads and writes: the shared star position, the
// current search radius, the flags that choose the frame geometry and the
// form of the result, and the working storage (kept here so that a call
// never allocates). Not re-entrant: one search at a time.
struct StarLocation {
  StarPosition position;
  int radius = 8;               // current search radius, normally the mask radius setting
  bool guiding_active = false;  // set by the autoguider while it guides
  bool guiding_frame = false;   // the 128 x 128 guiding frame is in use
  bool quiet = false;           // the sequencer guides: no "nothing found" message
  bool ignore_drift = false;    // "Ignore drift < 1 pixel": whole pixels only

  // Working storage.
  std::array<std::uint16_t, STAR_HISTOGRAM_BINS> histogram{};
  std::array<std::uint16_t, STAR_MAX_BOX_SIDE * STAR_MAX_BOX_SIDE> box{};
};

// Width and height of the frame searched: 128 x 128 while guiding or while
// the guiding frame is in use, else the full frame.
int star_frame_width(const StarLocation& s);
int star_frame_height(const StarLocation& s);

// The background level that belongs to a histogram mode bin.
int star_background_for_bin(int bin);

// Searches the box of radius `r` (1..15) centred on (x, y) of `frame`, a
// row-major frame of star_frame_width x star_frame_height samples. Returns 0
// and overwrites s.position with the centroid; or returns 1 with the position
// unchanged after reporting message 35 (box outside the frame) or message 34
// (nothing found, unless quiet). A radius outside 1..15 is clamped to it.
int locate_star(StarLocation& s, int x, int y, const std::uint16_t* frame, int r,
                Messages& messages);

}  // namespace tarvex
