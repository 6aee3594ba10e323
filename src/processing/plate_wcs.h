// The arithmetic of a plate solution: the image scale a pixel size and
// focal length give, the tangent-plane (gnomonic) projection of the world
// coordinate cards, and the cards themselves for a standard FITS header.
#pragma once

#include <string>
#include <vector>

#include "scope/plate_solve.h"

namespace tarvex {

// Arcseconds per pixel of a pixel `pixel_um` micrometres across behind a
// focal length of `focal_mm` millimetres.
double arcsec_per_pixel(double pixel_um, double focal_mm);

// The scale range handed to the solver: 10% either side of the mean of the
// two axes' scales, so that a focal length known roughly still solves.
struct ScaleBounds {
  double low = 0, high = 0;  // arcseconds per pixel
};
ScaleBounds scale_bounds(const SolveRequest& request);

// The sky position of pixel (x, y), counted from 1 at the first stored pixel.
SkyPosition wcs_pixel_to_sky(const WcsSolution& wcs, double x, double y);

// The centre, scale and orientation of a `width` x `height` image (rows top
// first) with this projection. The angle is the position angle of the
// image's up direction: 0 when north is up, 90 when east is up, in
// -180..180.
PlateSolution solution_of(const WcsSolution& wcs, int width, int height);

// The projection of a SolveImage carried over to the image it was made
// from: `binning` image pixels per solver pixel, and, for a file that stores
// its bottom row first, the rows counted from the other end of its `height`.
WcsSolution wcs_for_image(const WcsSolution& solved, int binning, int height, bool bottom_up);

// The WCS header cards (80 characters each): WCSAXES, CTYPE1/2 (RA---TAN,
// DEC--TAN), EQUINOX 2000, CRVAL1/2, CRPIX1/2, CUNIT1/2 and the CD matrix.
std::vector<std::string> wcs_cards(const WcsSolution& wcs);
// The keywords wcs_cards writes, for replacing an earlier solution.
const std::vector<std::string>& wcs_keywords();

// "05:35:16.8" and "-05:23:24": a right ascension to a tenth of a second of
// time and a declination to the second of arc, rounded.
std::string ra_hms_text(double hours);
std::string dec_dms_text(double degrees);

}  // namespace tarvex
