#include "scope/star_pick.h"

#include <algorithm>
#include <cstdio>

#include "image/frame_store.h"
#include "platform/messages.h"

namespace tarvex {

namespace {

constexpr int GUIDE_PICK_MARGIN = 25;
constexpr int PICK_PASSES = 3;
constexpr int FIELD_ROWS = FRAME_HEIGHT / 2;
constexpr int GUIDING_FRAME_LAST_COLUMN = FRAME_WIDTH - SMALL_FRAME_SIDE;  // 624
constexpr int GUIDING_FRAME_LAST_ROW = FIELD_ROWS - SMALL_FRAME_SIDE;      // 162

void report_position(Messages& messages, int x, int y) {
  char text[64];
  std::snprintf(text, sizeof text, "x position = %5d\ny position = %5d", x, y);
  show_message(messages, Msg::CallerText, text);
}

}  // namespace

void toggle_guide_star_pick(StarPickState& pick) {
  pick.mode = pick.mode == PickMode::GuideStar ? PickMode::None : PickMode::GuideStar;
}

bool guide_star_pick_checked(const StarPickState& pick) {
  return pick.mode == PickMode::GuideStar;
}

bool inside_suitable_area(int x, int y, int r, int margin) {
  return x >= margin + r && x <= FRAME_WIDTH - 1 - r - margin && y >= margin + r &&
         y <= FRAME_HEIGHT - 1 - r - margin;
}

StarPickResult pick_star(StarPickState& pick, StarLocation& star, int x, int y,
                         const std::uint16_t* frame, int radius_setting, Messages& messages) {
  StarPickResult result;
  result.point_x = x;
  result.point_y = y;
  const bool guide = pick.mode == PickMode::GuideStar;
  const int margin = guide ? GUIDE_PICK_MARGIN : 0;
  const int r = star.radius;
  if (!inside_suitable_area(x, y, r, margin)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Sorry, outside suitable area - try again\n\nx position = %5d\ny position = "
                  "%5d,%7d,%7d,%7d",
                  x, y, r, margin, radius_setting);
    show_message(messages, Msg::CallerText, text);
    return result;
  }
  for (int pass = 0; pass < PICK_PASSES; ++pass) {
    const StarSearch found =
        locate_star(star, {frame, FRAME_WIDTH, FRAME_HEIGHT}, result.point_x, result.point_y, r);
    if (found != StarSearch::Found) {
      report_star_search(messages, found, star.quiet);
      break;
    }
    result.pointer_dx += star.position.x - result.point_x;
    result.pointer_dy += star.position.y - result.point_y;
    result.point_x = star.position.x;
    result.point_y = star.position.y;
    ++result.passes;
  }
  if (result.passes < PICK_PASSES) return result;
  result.status = 0;
  if (guide) {
    pick.guide_star_picked = true;
    pick.guide_star_x = result.point_x;
    pick.guide_star_y = result.point_y;
    report_position(messages, pick.guide_star_x, pick.guide_star_y);
  }
  return result;
}

void pick_guiding_frame(StarPickState& pick, int x, int y, Messages& messages) {
  // The frame follows the click, centred on it, but stays inside the image:
  // at most column 624 (752 - 128) and field row 162 (290 field rows - 128).
  pick.guiding_frame_column = std::clamp(x - 64, 3, GUIDING_FRAME_LAST_COLUMN);
  pick.guiding_frame_row = std::clamp(y / 2 - 64, 1, GUIDING_FRAME_LAST_ROW);
  report_position(messages, pick.guiding_frame_column + 64, 2 * pick.guiding_frame_row + 128);
}

StarPickResult pick_click(StarPickState& pick, StarLocation& star, int x, int y,
                          const std::uint16_t* frame, int radius_setting, Messages& messages) {
  switch (pick.mode) {
    case PickMode::GuideStar: return pick_star(pick, star, x, y, frame, radius_setting, messages);
    case PickMode::GuidingFrame: {
      pick_guiding_frame(pick, x, y, messages);
      StarPickResult r;
      r.status = 0;
      r.point_x = x;
      r.point_y = y;
      return r;
    }
    case PickMode::None: break;
  }
  return {};
}

CrossLines guide_star_cross(int x, int y) {
  return {x - 20, y, x + 20, y, x, y - 20, x, y + 20};
}

}  // namespace tarvex
