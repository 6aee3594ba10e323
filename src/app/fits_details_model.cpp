#include "app/fits_details_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "files/fits.h"

namespace tarvex {

namespace {

std::size_t index_of(FitsField f) {
  return static_cast<std::size_t>(f);
}

// What an edit box keeps of a text: a number box its first characters, a
// text box what fits the room of its card, a quote taking two.
std::string cut(FitsField field, std::string_view text) {
  const FitsFieldInfo& info = fits_field_info(field);
  if (info.numeric) return std::string(text.substr(0, info.max_chars));
  return cut_card_text(text, info.max_chars);
}

}  // namespace

const std::array<FitsFieldInfo, FITS_FIELD_COUNT>& fits_fields() {
  static const std::array<FitsFieldInfo, FITS_FIELD_COUNT> fields = {{
      {FitsField::Object, "Object", FITS_TEXT_MAX, false},
      {FitsField::Observer, "Observer", FITS_TEXT_MAX, false},
      {FitsField::Origin, "Origin", FITS_TEXT_MAX, false},
      {FitsField::Telescope, "Telescope", FITS_TEXT_MAX, false},
      {FitsField::Instrumentation, "Instrumentation", FITS_TEXT_MAX, false},
      {FitsField::History, "History", FITS_LONG_TEXT_MAX, false},
      {FitsField::Comments, "Comments", FITS_LONG_TEXT_MAX, false},
      {FitsField::Date, "Date", FITS_DATE_MAX, false},
      {FitsField::Time, "Time", FITS_TIME_MAX, false},
      {FitsField::FocalLength, "Focal Len (ins)", 40, true},
      {FitsField::Aperture, "Aperture (Sq.ins)", 40, true},
      {FitsField::Filter, "Filter", FITS_TEXT_MAX, false},
      {FitsField::Exposure, "Exposure (secs)", 40, true},
  }};
  return fields;
}

const FitsFieldInfo& fits_field_info(FitsField field) {
  return fits_fields()[index_of(field)];
}

std::string fits_number_text(double value) {
  if (!std::isfinite(value)) value = 0.0;
  char buf[400];  // "%f" of the largest double has 309 digits before the point
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
  return std::string(buf, r.ptr);
}

double fits_number_from_text(std::string_view text) {
  std::string s(text);
  std::replace(s.begin(), s.end(), ',', '.');
  std::size_t i = s.find_first_not_of(" \t");
  if (i == std::string::npos) return 0.0;
  if (s[i] == '+') ++i;
  double v = 0.0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v);
  // A number a FITS card could not carry back is refused like any other.
  if (r.ec != std::errc() || !fits_number_writable(v)) return 0.0;
  return v;
}

FitsDetailsModel::FitsDetailsModel(FitsText& fits, std::int16_t& ut_offset_hours, bool is_binned)
    : fits_(fits), ut_offset_hours_(ut_offset_hours), binned_(is_binned) {
  // A stored difference the bar cannot show starts the bar at 0.
  ut_bar_ = (ut_offset_hours >= UT_BAR_MIN && ut_offset_hours <= UT_BAR_MAX) ? ut_offset_hours : 0;
  auto put = [this](FitsField f, std::string_view v) { texts_[index_of(f)] = cut(f, v); };
  put(FitsField::Object, fits.fits_object);
  put(FitsField::Observer, fits.fits_observer);
  put(FitsField::Origin, fits.fits_origin);
  put(FitsField::Telescope, fits.fits_telescope);
  put(FitsField::Instrumentation, fits.fits_instrument);
  put(FitsField::History, fits.fits_history);
  put(FitsField::Comments, fits.fits_comment);
  put(FitsField::Date, fits.fits_date);
  put(FitsField::Time, fits.fits_time);
  put(FitsField::FocalLength, fits_number_text(fits.fits_focal_length));
  put(FitsField::Aperture, fits_number_text(fits.fits_aperture));
  put(FitsField::Filter, fits.fits_filter);
  put(FitsField::Exposure, fits_number_text(fits.fits_exposure));
}

const std::string& FitsDetailsModel::text(FitsField field) const {
  return texts_[index_of(field)];
}

void FitsDetailsModel::set_text(FitsField field, std::string_view text) {
  texts_[index_of(field)] = cut(field, text);
}

void FitsDetailsModel::step_time_difference(int delta) {
  set_time_difference(ut_bar_ + (delta > 0 ? 1 : delta < 0 ? -1 : 0));
}

void FitsDetailsModel::set_time_difference(int value) {
  ut_bar_ = std::clamp(value, UT_BAR_MIN, UT_BAR_MAX);
}

void FitsDetailsModel::accept() {
  fits_.fits_object = text(FitsField::Object);
  fits_.fits_observer = text(FitsField::Observer);
  fits_.fits_origin = text(FitsField::Origin);
  fits_.fits_telescope = text(FitsField::Telescope);
  fits_.fits_instrument = text(FitsField::Instrumentation);
  fits_.fits_history = text(FitsField::History);
  fits_.fits_comment = text(FitsField::Comments);
  fits_.fits_date = text(FitsField::Date);
  fits_.fits_time = text(FitsField::Time);
  fits_.fits_focal_length = fits_number_from_text(text(FitsField::FocalLength));
  fits_.fits_aperture = fits_number_from_text(text(FitsField::Aperture));
  fits_.fits_filter = text(FitsField::Filter);
  fits_.fits_exposure = fits_number_from_text(text(FitsField::Exposure));
  ut_offset_hours_ = static_cast<std::int16_t>(ut_bar_);
}

}  // namespace tarvex
