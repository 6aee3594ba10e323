// The camera dialog of a test: sets the acquisition settings as the test
// asks, then presses "Take Photo".
#pragma once

#include <functional>
#include <utility>

#include "app/capture/sequencer.h"

namespace tarvex {

class OneShotFront : public CaptureFront {
 public:
  explicit OneShotFront(std::function<void(AcquisitionSettings&)> set) : set_(std::move(set)) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& a) override {
    set_(a);
    return CameraDialogResult::TakePhoto;
  }

 private:
  std::function<void(AcquisitionSettings&)> set_;
};

// One exposure of `value` in `range`, read in `mode`.
inline OneShotFront one_exposure(ExposureMode mode, ExposureRange range, int value) {
  return OneShotFront([=](AcquisitionSettings& a) {
    a.mode = mode;
    a.range = range;
    a.value = value;
    a.count = 1;
  });
}

}  // namespace tarvex
