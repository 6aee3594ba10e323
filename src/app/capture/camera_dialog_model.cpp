#include "app/capture/camera_dialog_model.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "app/tarvex.h"
#include "app/telescope.h"
#include "files/more_settings.h"
#include "platform/messages.h"

namespace tarvex {

const char* const CAMERA_HELP_TEXT =
    "Select exposure range using Radio buttons on left of dialog Window \n"
    "Select anti-smear status using checkbox\n"
    "Vary exposure time using scroll arrows,and take exposure by pressing the 'Take Photo' "
    "button\n\n"
    "The Focus mode allows repeated exposures of 0.01 to 10 seconds to be made, and displays "
    "the value of the most saturated pixel. In a starfield, altering the focus until the "
    "maximum value is returned will give a good indication of best focus.\n\n"
    "It is posssible to use an 'slew and sum' mode, which will automatically sum images "
    "together, taking into account small amounts of drift in the telescope drive. To do this "
    "simply change the number of exposures from 1 to any value less than 20. This option will "
    "only work in a starfield\n\n"
    "Press Right Hand mouse button anywhere in Dorvik Window  to prematurely terminate an "
    "exposure\n\n"
    "The delay option gives an audible 10 second countdown to the exposure start";

const char* guide_range_word(ExposureRange range) {
  switch (range) {
    case ExposureRange::Thousandths: return "thousandths";
    case ExposureRange::Hundredths: return "hundredths";
    case ExposureRange::Tenths: return "tenths";
    case ExposureRange::Minutes: return "minutes";
    case ExposureRange::Seconds: break;
  }
  return "seconds";
}

CameraDialogModel::CameraDialogModel(Tarvex& app, std::function<void(Tarvex&)> probe)
    : app_(app), acq_(app.acquisition), probe_(std::move(probe)) {
  if (!probe_) probe_ = [](Tarvex& a) { ensure_link_open(a); };
}

void CameraDialogModel::choose_range(ExposureRange range) {
  acq_.range = range;
  acq_.value = default_exposure_value(range);
}

void CameraDialogModel::exposure_arrow(int step) {
  if (step < 0 && acq_.value > EXPOSURE_VALUE_MINIMUM) --acq_.value;
  if (step > 0 && acq_.value < value_maximum()) ++acq_.value;
}

void CameraDialogModel::count_arrow(int step) {
  acq_.count = std::clamp(acq_.count + (step < 0 ? -1 : 1), 1, MAX_EXPOSURE_COUNT);
}

void CameraDialogModel::delay_arrow(int step) {
  acq_.delay_minutes = std::clamp(acq_.delay_minutes + (step < 0 ? -1 : 1), 0, MAX_DELAY_MINUTES);
}

namespace {

bool* check_flag(AcquisitionSettings& a, DisplayState& d, CameraCheck which) {
  switch (which) {
    case CameraCheck::Average: return &a.average;
    case CameraCheck::AlternativeSlew: return &a.alternative_slew;
    case CameraCheck::DelayBefore: return &a.delay_before;
    case CameraCheck::Continuous: return &a.continuous;
    case CameraCheck::PauseBetween: return &a.pause_between;
    case CameraCheck::AutoSave: return &a.auto_save;
    case CameraCheck::AutoDark: return &a.auto_dark;
    case CameraCheck::AutoColour: return &a.auto_colour;
    case CameraCheck::AutoExposure: return &a.auto_exposure;
    case CameraCheck::StretchAll: return &d.max_stretch_all;
  }
  return nullptr;
}

}  // namespace

void CameraDialogModel::toggle(CameraCheck which) {
  bool* flag = check_flag(acq_, app_.display, which);
  if (flag) *flag = !*flag;
}

bool CameraDialogModel::checked(CameraCheck which) const {
  const bool* flag = check_flag(acq_, app_.display, which);
  return flag && *flag;
}

void CameraDialogModel::choose_mode(ExposureMode mode) {
  acq_.mode = mode;
  acq_.self_guide_next = false;
}

void CameraDialogModel::probe_once() {
  if (acq_.control_box_probed) return;
  acq_.control_box_probed = true;
  probe_(app_);
}

void CameraDialogModel::toggle_self_guide() {
  probe_once();
  if (acq_.self_guide_next) {
    acq_.self_guide_next = false;
    return;
  }
  const bool short_enough = !is_long_range(acq_.range) || (acq_.range == ExposureRange::Seconds &&
                                                           acq_.value < SELF_GUIDE_LIMIT_S);
  if (!short_enough) {
    app_.ports.clock.beep();
    return;
  }
  acq_.self_guide_next = true;
  acq_.guide_range = acq_.range;
  acq_.guide_value = acq_.value;
  if (acq_.mode == ExposureMode::Progressive) {
    acq_.mode = ExposureMode::Interlaced;
    app_.ports.clock.beep();
  }
  acq_.half_time_download = true;
}

void CameraDialogModel::toggle_matching_dark() {
  probe_once();
  if (!app_.settings.controlbox_present) {
    show_message(app_.ports.messages, Msg::NoControlBoxForSelfGuiding);
    return;
  }
  acq_.take_matching_dark = !acq_.take_matching_dark;
  if (acq_.take_matching_dark) {
    acq_.guide_frames = acq_.last_guided_frames;
    acq_.self_guide_next = true;
    acq_.half_time_download = true;
  } else {
    acq_.self_guide_next = false;
  }
}

int CameraDialogModel::stretch_bits() const {
  return std::clamp(app_.display.palette_bits, MIN_PALETTE_BITS, MAX_PALETTE_BITS);
}

void CameraDialogModel::stretch_arrow(int step) {
  stretch_to(stretch_bits() + (step < 0 ? -1 : 1));
}

void CameraDialogModel::stretch_page(int step) {
  stretch_to(step < 0 ? MIN_PALETTE_BITS : MAX_PALETTE_BITS);
}

void CameraDialogModel::stretch_to(int bits) {
  app_.display.palette_bits = std::clamp(bits, MIN_PALETTE_BITS, MAX_PALETTE_BITS);
}

void CameraDialogModel::toggle_dither() {
  acq_.dither = !acq_.dither;
  if (acq_.dither && !acq_.dither_pixels_set)
    acq_.dither_pixels =
        load_more_settings(app_.paths.more_settings_file()).settings.number("guide.dither-pixels");
}

bool CameraDialogModel::set_dither_pixels(std::string_view text) {
  double pixels = 0;
  const char* end = text.data() + text.size();
  const auto read = std::from_chars(text.data(), end, pixels);
  if (read.ec != std::errc() || read.ptr != end || !(pixels >= DITHER_PIXELS_MIN) ||
      !(pixels <= DITHER_PIXELS_MAX)) {
    app_.ports.clock.beep();
    return false;
  }
  acq_.dither_pixels = pixels;
  acq_.dither_pixels_set = true;
  return true;
}

std::string CameraDialogModel::dither_pixels_text() const {
  char text[32];
  std::snprintf(text, sizeof text, "%g", acq_.dither_pixels);
  return text;
}

std::string CameraDialogModel::guide_value_text() const {
  return acq_.self_guide_next ? std::to_string(acq_.guide_value) : std::string();
}

std::string CameraDialogModel::guide_range_text() const {
  return acq_.self_guide_next ? guide_range_word(acq_.guide_range) : "";
}

std::string CameraDialogModel::guide_mode_text() const {
  return acq_.self_guide_next ? GUIDE_MODE_TEXT : "";
}

std::string CameraDialogModel::directory_text() const {
  return app_.paths.autosave_dir(app_.settings.autosave_subdir).string();
}

std::string CameraDialogModel::last_file_text() const {
  return std::to_string(app_.settings.autosave_number);
}

std::string CameraDialogModel::dark_name_text() const {
  return app_.dark_frame_path.string();
}

}  // namespace tarvex
