// The FITS text record: the texts and numbers written into FITS headers,
// edited in the FITS details dialog; the texts persist in the settings file.
#pragma once

#include <string>

namespace tarvex {

inline constexpr const char* DEFAULT_INSTRUMENT = "Velquor CCD";

struct FitsText {
  std::string fits_object;
  std::string fits_observer;
  std::string fits_date;
  std::string fits_time;
  std::string fits_origin;
  std::string fits_telescope;
  std::string fits_instrument = DEFAULT_INSTRUMENT;
  std::string fits_comment;
  std::string fits_history;
  std::string fits_filter = "None";
  double fits_exposure = 0.0;
  double fits_pixel_width = 0.0086;
  double fits_pixel_height = 0.0083;
  double fits_focal_length = 0.0;
  double fits_aperture = 0.0;
  bool fits_unsigned = false;
};

// What every file load does to the record: the object, observer, date,
// telescope, comment and history texts are emptied and the instrument set
// back to its default; origin, time, filter and the numbers keep their values.
inline void reset_fits_text_for_load(FitsText& t) {
  t.fits_object.clear();
  t.fits_observer.clear();
  t.fits_date.clear();
  t.fits_telescope.clear();
  t.fits_comment.clear();
  t.fits_history.clear();
  t.fits_instrument = DEFAULT_INSTRUMENT;
}

}  // namespace tarvex
