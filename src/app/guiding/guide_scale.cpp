#include "app/guiding/guide_scale.h"

#include <cmath>

namespace tarvex {

namespace {

constexpr double MM_PER_INCH = 25.4;
// Arcseconds in a radian, over the 1000 of um per mm.
constexpr double ARCSEC_PER_RADIAN_PER_1000 = 206.265;

bool set(double v) {
  return std::isfinite(v) && v > 0;
}

}  // namespace

GuideScale guide_scale(const FitsText& fits) {
  GuideScale s;
  const double focal_mm = fits.fits_focal_length * MM_PER_INCH;
  if (!set(focal_mm)) return s;
  auto scale = [&](double pixel_mm) {
    const double pixel_um = pixel_mm * 1000.0;
    return set(pixel_um) ? ARCSEC_PER_RADIAN_PER_1000 * pixel_um / focal_mm : 0.0;
  };
  s.ra = scale(fits.fits_pixel_width);
  s.dec = scale(fits.fits_pixel_height);
  return s;
}

}  // namespace tarvex
