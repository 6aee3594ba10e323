#include "image/history.h"

#include <gtest/gtest.h>

namespace tarvex {
namespace {

TEST(History, SixteenthLineIsDroppedAndUndoRemovesTheNewest) {
  ProcessingHistory h;
  for (int i = 1; i <= 16; ++i) h.add_history("Step " + std::to_string(i));
  EXPECT_EQ(h.count(), 15);
  EXPECT_EQ(h.line(14), "Step 15");
  h.remove_newest();
  EXPECT_EQ(h.line(14), "");
  EXPECT_EQ(h.line(13), "Step 14");
  h.clear();
  h.remove_newest();  // nothing to remove
  EXPECT_EQ(h.count(), 0);
}

TEST(History, BoxTextStopsAtTheFirstShortSlot) {
  ProcessingHistory h;
  EXPECT_EQ(h.box_text(), " \n");
  h.add_history("Normal Stretch 0 - 300");
  h.add_history("Median Filter");
  EXPECT_EQ(h.box_text(), "Normal Stretch 0 - 300 \nMedian Filter \n");
  h.set_line(1, "x");  // one character ends the listing
  h.set_line(2, "Later");
  EXPECT_EQ(h.box_text(), "Normal Stretch 0 - 300 \n");
}

}  // namespace
}  // namespace tarvex
