#include "image/frame_store.h"

#include <algorithm>

namespace tarvex {

namespace {

void copy_samples(const Frame& from, Frame& to) {
  std::copy_n(from.begin(), FRAME_SAMPLES, to.begin());
}

}  // namespace

void init_frame_store(FrameStore& fs) {
  fs.ImageHistogram.fill(0);
  fs.BackgroundLevel = 0;
  for (int r = 0; r < FRAME_HEIGHT; ++r) {
    const auto value = static_cast<std::uint16_t>(r * 112);
    const auto begin = static_cast<std::size_t>(r) * FRAME_WIDTH;
    std::fill_n(fs.CurrentFrame.begin() + begin, FRAME_WIDTH, value);
  }
  std::fill(fs.CurrentFrame.begin() + FRAME_SAMPLES, fs.CurrentFrame.end(), 0);
  fs.SecondFrame = fs.CurrentFrame;
  fs.UndoFrame = fs.CurrentFrame;
  for (Frame* f : {&fs.RedPlane, &fs.GreenPlane, &fs.BluePlane, &fs.RedWork, &fs.GreenWork,
                   &fs.BlueWork, &fs.RedSaved, &fs.GreenSaved, &fs.BlueSaved}) {
    f->fill(0);
  }
  fs.RedBytes.fill(0);
  fs.GreenBytes.fill(0);
  fs.BlueBytes.fill(0);
  fs.DisplayBytes.fill(0);
  fs.RgbBitmap.fill(0);
  fs.IsColour = false;
  fs.IsBinned = false;
  fs.HasBytePlanes = false;
  fs.RestorePlanesOnUndo = false;
  fs.MergeMode = false;
}

void save_undo(FrameStore& fs) {
  copy_samples(fs.CurrentFrame, fs.UndoFrame);
  fs.RestorePlanesOnUndo = false;
}

void undo_last_filter(FrameStore& fs) {
  copy_samples(fs.UndoFrame, fs.CurrentFrame);
  if (fs.RestorePlanesOnUndo) {
    copy_samples(fs.RedWork, fs.RedPlane);
    copy_samples(fs.GreenWork, fs.GreenPlane);
    copy_samples(fs.BlueWork, fs.BluePlane);
  }
  fs.RestorePlanesOnUndo = false;
}

void save_colour_planes(FrameStore& fs) {
  copy_samples(fs.RedPlane, fs.RedSaved);
  copy_samples(fs.GreenPlane, fs.GreenSaved);
  copy_samples(fs.BluePlane, fs.BlueSaved);
}

void undo_last_colour_filter(FrameStore& fs) {
  copy_samples(fs.RedSaved, fs.RedPlane);
  copy_samples(fs.GreenSaved, fs.GreenPlane);
  copy_samples(fs.BlueSaved, fs.BluePlane);
}

void copy_frame(FrameStore& fs, const Frame& source, Frame& destination, bool save_planes) {
  if (&source != &destination) copy_samples(source, destination);
  if (save_planes) save_colour_planes(fs);
}

void widen_byte_planes(FrameStore& fs) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    fs.RedPlane[i] = static_cast<std::uint16_t>(fs.RedBytes[i] << 7);
    fs.GreenPlane[i] = static_cast<std::uint16_t>(fs.GreenBytes[i] << 7);
    fs.BluePlane[i] = static_cast<std::uint16_t>(fs.BlueBytes[i] << 7);
  }
}

}  // namespace tarvex
