// The "FITS DETAILS" dialog without its widgets: the fields of the FITS text
// record as the dialog shows and edits them, the time difference to UT, the
// unsigned-integer switch and the image format. The Qt view shows one edit
// box per field and calls the model's operations from its controls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "files/fits_text.h"

namespace tarvex {

enum class FitsField {
  Object,
  Observer,
  Origin,
  Telescope,
  Instrumentation,
  History,
  Comments,
  Date,
  Time,
  FocalLength,
  Aperture,
  Filter,
  Exposure,
};
inline constexpr int FITS_FIELD_COUNT = 13;

struct FitsFieldInfo {
  FitsField field;
  const char* label;      // the dialog's text beside the edit box
  std::size_t max_chars;  // what the edit box takes
  bool numeric;           // shown with "%f", read back as a number
};

// The fields in the order the dialog lists them.
const std::array<FitsFieldInfo, FITS_FIELD_COUNT>& fits_fields();
const FitsFieldInfo& fits_field_info(FitsField field);

inline constexpr int UT_BAR_MIN = -11;
inline constexpr int UT_BAR_MAX = 11;

// A number as the dialog shows it ("%f": six decimals, the same in every
// locale) and as it reads one back (the leading number of the text, a comma
// taken as the decimal point; no number, or one a FITS card cannot carry,
// gives 0).
std::string fits_number_text(double value);
double fits_number_from_text(std::string_view text);

class FitsDetailsModel {
 public:
  static constexpr const char* TITLE = "FITS DETAILS";
  static constexpr const char* UT_LABEL = "Time Difference to UT in Hrs";
  static constexpr const char* UNSIGNED_LABEL = "Unsigned Integer Format";
  static constexpr const char* FORMAT_LABEL = "Image Format";
  static constexpr const char* CONTINUE_LABEL = "Continue";
  static constexpr const char* ABORT_LABEL = "Abort";

  // Opens over the record and the settings' time difference; `is_binned` is
  // the IsBinned flag of the current image.
  FitsDetailsModel(FitsText& fits, std::int16_t& ut_offset_hours, bool is_binned);

  // The text of a field's edit box.
  const std::string& text(FitsField field) const;
  // The user typed into a field; the box takes at most its limit (in a text
  // field a quote counts two, as it takes two characters in the card).
  void set_text(FitsField field, std::string_view text);

  // The time-difference bar: its value, shown beside it as a whole number.
  int time_difference() const { return ut_bar_; }
  std::string time_difference_text() const { return std::to_string(ut_bar_); }
  // The bar's arrows: one hour up or down, never past -11 or 11.
  void step_time_difference(int delta);
  // The bar's thumb moved to a position (kept within -11..11).
  void set_time_difference(int value);

  // "Unsigned Integer Format": acts on the record at once; Abort keeps it.
  bool unsigned_format() const { return fits_.fits_unsigned; }
  void toggle_unsigned() { fits_.fits_unsigned = !fits_.fits_unsigned; }

  // "Image Format": "Binned" or "High Res".
  const char* image_format() const { return binned_ ? "Binned" : "High Res"; }

  // "Continue": every field (within its limit) and the time difference are
  // stored. "Abort" stores nothing.
  void accept();

 private:
  FitsText& fits_;
  std::int16_t& ut_offset_hours_;
  bool binned_;
  int ut_bar_;
  std::array<std::string, FITS_FIELD_COUNT> texts_;
};

}  // namespace tarvex
