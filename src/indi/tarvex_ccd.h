// "Tarvex CCD": the camera as an INDI device. The driver's event loop only
// keeps the properties; the camera and control-box work runs on the
// CameraWorker's thread and its events are collected by the driver's timer,
// so the loop never waits for an exposure or a pulse.
#pragma once

#include <indiccd.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "indi/camera_worker.h"

namespace tarvex::indi {

class TarvexCcd : public INDI::CCD {
 public:
  TarvexCcd();

  const char* getDefaultName() override { return "Tarvex CCD"; }
  bool initProperties() override;
  bool updateProperties() override;
  void ISGetProperties(const char* dev) override;
  bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;

 protected:
  bool Connect() override;
  bool Disconnect() override;
  bool StartExposure(float duration) override;
  bool AbortExposure() override;
  bool UpdateCCDFrame(int x, int y, int w, int h) override;
  bool UpdateCCDBin(int hor, int ver) override;
  bool UpdateCCDFrameType(INDI::CCDChip::CCD_FRAME type) override;
  bool SetCaptureFormat(uint8_t index) override;
  IPState GuideNorth(uint32_t ms) override;
  IPState GuideSouth(uint32_t ms) override;
  IPState GuideEast(uint32_t ms) override;
  IPState GuideWest(uint32_t ms) override;
  void TimerHit() override;
  bool saveConfigItems(FILE* fp) override;
  void addFITSKeywords(INDI::CCDChip* chip) override;

 private:
  bool simulated() const;
  IPState guide(Direction direction, uint32_t ms);
  void handle(WorkerEvent& event);
  void exposure_done(const ExposureResult& result);
  Region chip_region();

  std::unique_ptr<CameraWorker> worker_;
  std::uint64_t exposure_id_ = 0;  // the exposure under way, 0 when none
  std::chrono::steady_clock::time_point exposure_end_;
  double exposure_left_shown_ = -1;  // the exposure time left last sent
  bool mosaic_named_ = false;        // the frame being uploaded is a raw frame with its pattern
  MosaicCards mosaic_;

  // The control box's serial device.
  IText PortT[1]{};
  ITextVectorProperty PortTP{};
};

}  // namespace tarvex::indi
