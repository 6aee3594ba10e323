#include "image/frame_store.h"

#include <gtest/gtest.h>

#include <memory>

namespace tarvex {
namespace {

TEST(FrameStore, StartUpRampAndUndoLeaveIt) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  EXPECT_EQ(fs->CurrentFrame[0], 0);
  EXPECT_EQ(fs->CurrentFrame[751], 0);
  EXPECT_EQ(fs->CurrentFrame[752], 112);
  EXPECT_EQ(fs->CurrentFrame[579 * 752 + 751], 64848);
  EXPECT_EQ(fs->SecondFrame[300 * 752 + 7], 300 * 112);
  EXPECT_EQ(fs->UndoFrame[579 * 752], 64848);
  undo_last_filter(*fs);
  for (int r = 0; r < FRAME_HEIGHT; ++r) ASSERT_EQ(fs->CurrentFrame[r * 752 + 100], r * 112);
}

TEST(FrameStore, UndoIsNotConsumedAndRestoresPlanesOnlyWhenAsked) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fs->CurrentFrame[10] = 999;
  save_undo(*fs);
  fs->CurrentFrame[10] = 5;
  undo_last_filter(*fs);
  EXPECT_EQ(fs->CurrentFrame[10], 999);
  fs->CurrentFrame[10] = 6;
  undo_last_filter(*fs);
  EXPECT_EQ(fs->CurrentFrame[10], 999);

  // An ordinary filter: planes stay.
  fs->RedPlane[3] = 1;
  fs->RedWork[3] = 2;
  undo_last_filter(*fs);
  EXPECT_EQ(fs->RedPlane[3], 1);

  // After overload smoothing the work planes come back as well, once.
  fs->RestorePlanesOnUndo = true;
  fs->GreenWork[436159] = 77;
  undo_last_filter(*fs);
  EXPECT_EQ(fs->RedPlane[3], 2);
  EXPECT_EQ(fs->GreenPlane[436159], 77);
  EXPECT_EQ(fs->RestorePlanesOnUndo, 0);

  fs->RestorePlanesOnUndo = true;
  save_undo(*fs);
  EXPECT_EQ(fs->RestorePlanesOnUndo, 0);
}

TEST(FrameStore, ColourUndoAndCopyFrame) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fs->BluePlane[0] = 40;
  copy_frame(*fs, fs->CurrentFrame, fs->SecondFrame, true);
  EXPECT_EQ(fs->BlueSaved[0], 40);
  fs->BluePlane[0] = 41;
  copy_frame(*fs, fs->SecondFrame, fs->UndoFrame, false);
  EXPECT_EQ(fs->BlueSaved[0], 40);
  undo_last_colour_filter(*fs);
  EXPECT_EQ(fs->BluePlane[0], 40);
}

TEST(FrameStore, WidenBytePlanes) {
  auto fs = std::make_unique<FrameStore>();
  init_frame_store(*fs);
  fs->RedBytes[0] = 0;
  fs->GreenBytes[0] = 1;
  fs->BlueBytes[0] = 255;
  fs->RedBytes[436159] = 255;
  widen_byte_planes(*fs);
  EXPECT_EQ(fs->RedPlane[0], 0);
  EXPECT_EQ(fs->GreenPlane[0], 128);
  EXPECT_EQ(fs->BluePlane[0], 32640);
  EXPECT_EQ(fs->RedPlane[436159], 32640);
}

}  // namespace
}  // namespace tarvex
