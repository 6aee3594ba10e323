// The sky scale of guide errors: arcseconds per guide pixel from the FITS
// details (the pixel size in mm and the focal length in inches), so the
// guiding RMS can be given in arcseconds as well as in pixels.
#pragma once

#include "files/fits_text.h"

namespace tarvex {

struct GuideScale {
  double ra = 0;   // arcseconds per pixel along x (the pixel width), 0 unknown
  double dec = 0;  // arcseconds per pixel along y (the pixel height), 0 unknown
  bool known() const { return ra > 0 && dec > 0; }
};

// 206.265 * pixel size in um / focal length in mm for each axis; an axis
// whose pixel size, or the focal length, is not set (0, negative or not a
// number) has 0.
GuideScale guide_scale(const FitsText& fits);

}  // namespace tarvex
