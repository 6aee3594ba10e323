#include "indi/tarvex_ccd.h"

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/frame_store.h"
#include "scope/guiding.h"

namespace tarvex::indi {

namespace {

// The sensor: 752 x 580 pixels of 8.6 x 8.3 um, read with 16 bits.
constexpr float PIXEL_WIDTH_UM = 8.6f;
constexpr float PIXEL_HEIGHT_UM = 8.3f;
constexpr int SAMPLE_BITS = 16;
// How often the driver's timer collects the worker's events.
constexpr int POLL_MS = 50;
// Bounded wait for the camera to be found when connecting.
constexpr int CONNECT_WAIT_MS = 15000;
constexpr const char* CONTROL_BOX_TAB = "Control Box";

// The formats in the order of the capture-format switch.
constexpr CaptureFormat FORMATS[] = {CaptureFormat::Luminance16, CaptureFormat::Rgb16,
                                     CaptureFormat::RawMosaic16};

}  // namespace

TarvexCcd::TarvexCcd() {
  setVersion(1, 0);
}

bool TarvexCcd::simulated() const {
  const char* env = std::getenv("TARVEX_SIMULATOR");
  return isSimulation() || (env != nullptr && std::strcmp(env, "1") == 0);
}

bool TarvexCcd::initProperties() {
  INDI::CCD::initProperties();
  SetCCDCapability(CCD_CAN_ABORT | CCD_CAN_BIN | CCD_CAN_SUBFRAME | CCD_HAS_ST4_PORT);
  addCaptureFormat({"INDI_MONO", "Luminance 16", SAMPLE_BITS, true});
  addCaptureFormat({"INDI_RGB", "RGB 16", SAMPLE_BITS, false});
  addCaptureFormat({"INDI_RAW", "Raw mosaic 16", SAMPLE_BITS, false});
  // From a few milliseconds to the camera dialog's longest, 90 minutes.
  PrimaryCCD.setMinMaxStep("CCD_EXPOSURE", "CCD_EXPOSURE_VALUE", 0.001, 5400, 1, false);
  // The binned mode reads rows in pairs; columns are never binned.
  PrimaryCCD.setMinMaxStep("CCD_BINNING", "HOR_BIN", 1, 1, 1, false);
  PrimaryCCD.setMinMaxStep("CCD_BINNING", "VER_BIN", 1, BINNED_ROWS, 1, false);

  IUFillText(&PortT[0], "PORT", "Port", "/dev/ttyUSB0");
  IUFillTextVector(&PortTP, PortT, 1, getDeviceName(), "CONTROL_BOX_PORT", "Control box",
                   CONTROL_BOX_TAB, IP_RW, 60, IPS_IDLE);

  addAuxControls();
  if (const char* env = std::getenv("TARVEX_SIMULATOR"); env && std::strcmp(env, "1") == 0)
    setSimulation(true);
  return true;
}

void TarvexCcd::ISGetProperties(const char* dev) {
  INDI::CCD::ISGetProperties(dev);
  defineProperty(&PortTP);
  loadConfig(true, PortTP.name);
}

bool TarvexCcd::updateProperties() {
  INDI::CCD::updateProperties();
  if (isConnected()) {
    SetCCDParams(FRAME_WIDTH, FRAME_HEIGHT, SAMPLE_BITS, PIXEL_WIDTH_UM, PIXEL_HEIGHT_UM);
    PrimaryCCD.setFrameBufferSize(FRAME_SAMPLES * 3 * sizeof(std::uint16_t));
    SetTimer(POLL_MS);
  }
  return true;
}

bool TarvexCcd::ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) {
  if (dev != nullptr && std::strcmp(dev, getDeviceName()) == 0 &&
      std::strcmp(name, PortTP.name) == 0) {
    IUUpdateText(&PortTP, texts, names, n);
    PortTP.s = IPS_OK;
    IDSetText(&PortTP, nullptr);
    if (worker_) worker_->set_control_box_port(PortT[0].text);
    saveConfig(true, PortTP.name);
    return true;
  }
  return INDI::CCD::ISNewText(dev, name, texts, names, n);
}

bool TarvexCcd::Connect() {
  worker_ = std::make_unique<CameraWorker>();
  WorkerSetup setup;
  setup.simulated = simulated();
  setup.control_box_port = PortT[0].text != nullptr ? PortT[0].text : "";
  worker_->connect(setup);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(CONNECT_WAIT_MS);
  while (std::chrono::steady_clock::now() < deadline) {
    worker_->wait_for_event(POLL_MS);
    for (WorkerEvent& e : worker_->take_events()) {
      if (e.kind == WorkerEvent::Kind::Connected) {
        LOGF_INFO("Tarvex CCD is connected to the %s.", e.text.c_str());
        return true;
      }
      if (e.kind == WorkerEvent::Kind::ConnectFailed) {
        LOGF_ERROR("%s", e.text.c_str());
        worker_.reset();
        return false;
      }
      handle(e);
    }
  }
  LOG_ERROR("The camera did not answer in time.");
  worker_.reset();
  return false;
}

bool TarvexCcd::Disconnect() {
  // Ends the exposure under way and joins the worker (bounded by the field
  // read in progress, if any).
  worker_.reset();
  exposure_id_ = 0;
  InExposure = false;
  return true;
}

Region TarvexCcd::chip_region() {
  Region r;
  r.x = PrimaryCCD.getSubX();
  r.y = PrimaryCCD.getSubY();
  r.w = PrimaryCCD.getSubW();
  r.h = PrimaryCCD.getSubH();
  r.bin_y = PrimaryCCD.getBinY();
  return clamp_region(r);
}

bool TarvexCcd::StartExposure(float duration) {
  if (!worker_) return false;
  if (PrimaryCCD.getFrameType() != INDI::CCDChip::LIGHT_FRAME &&
      PrimaryCCD.getFrameType() != INDI::CCDChip::DARK_FRAME) {
    LOG_ERROR("Tarvex CCD takes light and dark frames only.");
    return false;
  }
  const ExposurePlan plan = plan_exposure(duration);
  if (std::fabs(plan.seconds - duration) > 0.0005)
    LOGF_INFO("The camera exposes %.3f s for the %.3f s asked.", plan.seconds, duration);
  ExposureRequest request;
  request.seconds = plan.seconds;
  request.region = chip_region();
  const int format = std::clamp(CaptureFormatSP.findOnSwitchIndex(), 0, 2);
  request.format = FORMATS[format];
  PrimaryCCD.setExposureDuration(plan.seconds);
  exposure_end_ = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(static_cast<int>(plan.seconds * 1000));
  exposure_id_ = worker_->expose(request);
  exposure_left_shown_ = -1;
  InExposure = true;
  return true;
}

bool TarvexCcd::AbortExposure() {
  if (worker_) worker_->abort_exposure();
  exposure_id_ = 0;
  InExposure = false;
  return true;
}

bool TarvexCcd::UpdateCCDFrame(int x, int y, int w, int h) {
  Region r;
  r.x = x;
  r.y = y;
  r.w = w;
  r.h = h;
  r.bin_y = PrimaryCCD.getBinY();
  const Region c = clamp_region(r);
  PrimaryCCD.setFrame(c.x, c.y, c.w, c.h);
  return true;
}

bool TarvexCcd::UpdateCCDBin(int hor, int ver) {
  if (hor != 1 || (ver != 1 && ver != BINNED_ROWS)) {
    LOG_ERROR("The camera bins rows in pairs only: binning 1 x 1 or 1 x 2.");
    return false;
  }
  PrimaryCCD.setBin(hor, ver);
  return UpdateCCDFrame(PrimaryCCD.getSubX(), PrimaryCCD.getSubY(), PrimaryCCD.getSubW(),
                        PrimaryCCD.getSubH());
}

bool TarvexCcd::UpdateCCDFrameType(INDI::CCDChip::CCD_FRAME type) {
  if (type != INDI::CCDChip::LIGHT_FRAME && type != INDI::CCDChip::DARK_FRAME) {
    LOG_ERROR("Tarvex CCD takes light and dark frames only.");
    return false;
  }
  // The camera has no shutter: for a dark frame the telescope is covered.
  return true;
}

bool TarvexCcd::SetCaptureFormat(uint8_t index) {
  return index < std::size(FORMATS);
}

IPState TarvexCcd::guide(Direction direction, uint32_t ms) {
  if (!worker_) return IPS_ALERT;
  if (ms > static_cast<uint32_t>(GUIDE_MAX_PULSE_MS))
    LOGF_WARN("Guide pulse of %u ms cut to %d ms.", ms, GUIDE_MAX_PULSE_MS);
  worker_->pulse(direction, ms);
  return IPS_BUSY;
}

IPState TarvexCcd::GuideNorth(uint32_t ms) {
  return guide(Direction::North, ms);
}
IPState TarvexCcd::GuideSouth(uint32_t ms) {
  return guide(Direction::South, ms);
}
IPState TarvexCcd::GuideEast(uint32_t ms) {
  return guide(Direction::East, ms);
}
IPState TarvexCcd::GuideWest(uint32_t ms) {
  return guide(Direction::West, ms);
}

void TarvexCcd::TimerHit() {
  if (!isConnected() || !worker_) return;
  for (WorkerEvent& e : worker_->take_events()) handle(e);
  if (InExposure) {
    const double left =
        std::chrono::duration<double>(exposure_end_ - std::chrono::steady_clock::now()).count();
    PrimaryCCD.setExposureLeft(std::max(0.0, std::round(left * 10) / 10));
  }
  SetTimer(POLL_MS);
}

void TarvexCcd::handle(WorkerEvent& e) {
  using Kind = WorkerEvent::Kind;
  switch (e.kind) {
    case Kind::Log: LOGF_INFO("%s", e.text.c_str()); break;
    case Kind::ExposureDone:
      if (e.exposure_id == exposure_id_ && e.exposure) exposure_done(*e.exposure);
      break;
    case Kind::ExposureFailed:
      if (e.exposure_id != exposure_id_) break;
      LOGF_ERROR("%s", e.text.c_str());
      exposure_id_ = 0;
      InExposure = false;
      PrimaryCCD.setExposureFailed();
      break;
    case Kind::ExposureAborted:
      if (e.exposure_id != exposure_id_) break;
      exposure_id_ = 0;
      InExposure = false;
      PrimaryCCD.setExposureFailed();
      break;
    case Kind::PulseDone:
    case Kind::PulseFailed: {
      if (e.kind == Kind::PulseFailed) LOGF_ERROR("%s", e.text.c_str());
      const bool ns = e.direction == Direction::North || e.direction == Direction::South;
      // The pulse's length goes back to 0 before the property is reported:
      // libindi keeps the last lengths and takes a North (West) length that
      // is still set before a South (East) one, so the next pulse the other
      // way would go this way again.
      INDI::PropertyNumber p =
          getNumber(ns ? "TELESCOPE_TIMED_GUIDE_NS" : "TELESCOPE_TIMED_GUIDE_WE");
      if (p.isValid())
        for (auto& n : p) n.setValue(0);
      if (e.kind == Kind::PulseDone) {
        GuideComplete(ns ? AXIS_DE : AXIS_RA);
      } else if (p.isValid()) {
        p.setState(IPS_ALERT);
        p.apply();
      }
      break;
    }
    case Kind::Connected:
    case Kind::ConnectFailed: break;
  }
}

void TarvexCcd::exposure_done(const ExposureResult& result) {
  const Region& r = result.region;
  {
    std::lock_guard<std::mutex> guard(ccdBufferLock);
    PrimaryCCD.setBin(1, r.bin_y);
    PrimaryCCD.setFrame(r.x, r.y, r.w, r.h);
    PrimaryCCD.setNAxis(result.planes == 3 ? 3 : 2);
    const std::size_t bytes = result.pixels.size() * sizeof(std::uint16_t);
    PrimaryCCD.setFrameBufferSize(static_cast<uint32_t>(bytes));
    std::memcpy(PrimaryCCD.getFrameBuffer(), result.pixels.data(), bytes);
    mosaic_named_ = result.mosaic_named;
    mosaic_ = result.mosaic;
  }
  exposure_id_ = 0;
  InExposure = false;
  PrimaryCCD.setExposureLeft(0);
  ExposureComplete(&PrimaryCCD);
}

void TarvexCcd::addFITSKeywords(INDI::CCDChip* chip) {
  INDI::CCD::addFITSKeywords(chip);
  if (!mosaic_named_ || chip->getNAxis() != 2) return;
  fitsfile* fptr = *chip->fitsFilePointer();
  int status = 0;
  fits_update_key_lng(fptr, "XBAYROFF", mosaic_.x_offset, "X offset of the colour mosaic", &status);
  fits_update_key_lng(fptr, "YBAYROFF", mosaic_.y_offset, "Y offset of the colour mosaic", &status);
  fits_update_key_str(fptr, "BAYERPAT", mosaic_.pattern.c_str(),
                      "sensor colour mosaic, rows as stored", &status);
}

bool TarvexCcd::saveConfigItems(FILE* fp) {
  INDI::CCD::saveConfigItems(fp);
  IUSaveConfigText(fp, &PortTP);
  return true;
}

}  // namespace tarvex::indi
