#include "scope/star_pick.h"

#include <gtest/gtest.h>

#include <memory>

#include "image/frame_store.h"
#include "platform/basic_ports.h"

namespace tarvex {
namespace {

struct StarPickTest : ::testing::Test {
  void SetUp() override {
    frame = std::make_unique<Frame>();
    frame->fill(1000);
  }
  // A compact star whose brightest pixel is at (x, y).
  void star_at(int x, int y) {
    for (int i = -2; i <= 2; ++i)
      for (int j = -2; j <= 2; ++j)
        (*frame)[static_cast<std::size_t>((y + i) * 752 + x + j)] =
            static_cast<std::uint16_t>(20000 - 2000 * (i * i + j * j));
  }
  std::unique_ptr<Frame> frame;
  StarPickState pick;
  StarLocation star;
  RecordingMessages messages;
};

TEST_F(StarPickTest, GuideStarPickCentresInThreePassesAndReports) {
  toggle_guide_star_pick(pick);
  EXPECT_TRUE(guide_star_pick_checked(pick));
  star_at(300, 200);
  const StarPickResult r = pick_click(pick, star, 306, 195, frame->data(), 8, messages);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.passes, 3);
  EXPECT_EQ(r.pointer_dx, -6);
  EXPECT_EQ(r.pointer_dy, 5);
  EXPECT_EQ(r.point_x, 300);
  EXPECT_TRUE(pick.guide_star_picked);
  EXPECT_EQ(pick.guide_star_x, 300);
  EXPECT_EQ(pick.guide_star_y, 200);
  ASSERT_EQ(messages.codes(), std::vector<unsigned>{50});
  EXPECT_EQ(messages.shown[0].text, "x position =   300\ny position =   200");

  const CrossLines c = guide_star_cross(300, 200);
  EXPECT_EQ(c.h_x1 - c.h_x0, 40);
  EXPECT_EQ(c.v_y1 - c.v_y0, 40);
  EXPECT_EQ(c.h_y0, 200);
  EXPECT_EQ(c.v_x0, 300);

  toggle_guide_star_pick(pick);
  EXPECT_FALSE(guide_star_pick_checked(pick));
  EXPECT_EQ(pick_click(pick, star, 306, 195, frame->data(), 8, messages).status, 1);
}

TEST_F(StarPickTest, OutsideTheSuitableAreaAndNothingFound) {
  toggle_guide_star_pick(pick);
  // Margin 25 plus radius 8: x = 32 is outside, 33 inside.
  const StarPickResult r = pick_click(pick, star, 32, 300, frame->data(), 8, messages);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.passes, 0);
  ASSERT_EQ(messages.codes(), std::vector<unsigned>{50});
  EXPECT_EQ(messages.shown[0].text,
            "Sorry, outside suitable area - try again\n\nx position =    32\ny position =   "
            "300,      8,     25,      8");
  EXPECT_TRUE(inside_suitable_area(33, 33, 8, 25));
  EXPECT_FALSE(inside_suitable_area(751 - 33 + 1, 300, 8, 25));
  EXPECT_FALSE(inside_suitable_area(100, 579 - 33 + 1, 8, 25));
  EXPECT_TRUE(inside_suitable_area(8, 8, 8, 0));

  // A flat sky: star location reports, no guide star is picked.
  messages.shown.clear();
  const StarPickResult none = pick_click(pick, star, 300, 300, frame->data(), 8, messages);
  EXPECT_EQ(none.status, 1);
  EXPECT_FALSE(pick.guide_star_picked);
  EXPECT_EQ(messages.codes(), std::vector<unsigned>{34});
}

TEST_F(StarPickTest, GuidingFramePlacementStaysInsideTheImage) {
  pick.mode = PickMode::GuidingFrame;
  const int cases[][4] = {
      // click x, click y, origin column, origin row
      {66, 129, 3, 1},      {67, 130, 3, 1},      {400, 300, 336, 86},
      {686, 452, 622, 162}, {688, 454, 624, 162}, {751, 579, 624, 162},
  };
  for (const auto& c : cases) {
    messages.shown.clear();
    pick_click(pick, star, c[0], c[1], frame->data(), 8, messages);
    EXPECT_EQ(pick.guiding_frame_column, c[2]) << c[0];
    EXPECT_EQ(pick.guiding_frame_row, c[3]) << c[1];
    char text[64];
    std::snprintf(text, sizeof text, "x position = %5d\ny position = %5d", c[2] + 64,
                  2 * c[3] + 128);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, text);
  }
}

}  // namespace
}  // namespace tarvex
