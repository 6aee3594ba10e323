// Picking a star with the mouse: the guide star pick (File > "Pick Guide
// Star"), the placing of the 128 x 128 guiding frame, and the cross drawn on
// the picture over a picked guide star. The window turns a left click into
// frame coordinates, calls these functions, and then moves the pointer and
// draws what the result tells it.
#pragma once

#include <cstdint>

#include "platform/ports.h"
#include "processing/star_location.h"

namespace tarvex {

enum class PickMode {
  None,          // clicks do not pick
  GuideStar,     // File > "Pick Guide Star" is checked
  GuidingFrame,  // the user places the 128 x 128 guiding frame
};

// The pick mode and what the picks found.
struct StarPickState {
  PickMode mode = PickMode::None;
  bool guide_star_picked = false;
  int guide_star_x = 0;  // full-frame coordinates of the picked guide star
  int guide_star_y = 0;
  int guiding_frame_column = 3;  // origin column of the guiding frame
  int guiding_frame_row = 1;     // origin field row of the guiding frame
};

// What the window does after a pick.
struct StarPickResult {
  int status = 1;  // 0 picked, 1 refused or no star found
  int passes = 0;  // star location passes that succeeded (0..3)
  // The pointer is moved by this much (the sum of the moves of every pass);
  // the drawing position is the last point reached.
  int pointer_dx = 0;
  int pointer_dy = 0;
  int point_x = 0;
  int point_y = 0;
};

// File > "Pick Guide Star": toggles the checked guide star pick mode.
void toggle_guide_star_pick(StarPickState& pick);
bool guide_star_pick_checked(const StarPickState& pick);

// True when a click at (x, y) lies inside the area where a star of radius r
// can be picked with the margin m.
bool inside_suitable_area(int x, int y, int r, int margin);

// Picks the star nearest the click (x, y) of `frame` (CurrentFrame) in up to
// three passes of star location. `radius_setting` is the mask radius setting,
// shown in the refusal text. In guide star mode a success of all three
// passes records the guide star and reports its position.
StarPickResult pick_star(StarPickState& pick, StarLocation& star, int x, int y,
                         const std::uint16_t* frame, int radius_setting, Messages& messages);

// Places the guiding frame from a click and reports its centre.
void pick_guiding_frame(StarPickState& pick, int x, int y, Messages& messages);

// The click handler of both pick modes: nothing happens when no pick mode is
// on (status 1).
StarPickResult pick_click(StarPickState& pick, StarLocation& star, int x, int y,
                          const std::uint16_t* frame, int radius_setting, Messages& messages);

// The cross over a picked guide star: two lines of 40 pixels centred on it.
struct CrossLines {
  int h_x0, h_y0, h_x1, h_y1;  // horizontal line
  int v_x0, v_y0, v_x1, v_y1;  // vertical line
};
CrossLines guide_star_cross(int x, int y);

}  // namespace tarvex
