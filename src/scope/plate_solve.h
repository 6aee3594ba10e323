// Plate solving: finding where on the sky an image points from its stars.
// The solver port takes a one-plane picture (a luminance image, or a raw
// mosaic binned 2 x 2 so that the colour pattern does not hide half its
// stars), the pixel size and focal length it was taken with, and an
// optional hint of where it points; it answers the J2000 centre, the image
// scale and the orientation, with the world coordinate cards a standard
// FITS header carries. astrometry.net run as a separate program implements
// it; tests and the centring loop use it through this interface only.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scope/precession.h"

namespace tarvex {

// One plane of 16-bit pixels, row by row from the top.
struct SolveImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint16_t> pixels;
};

struct SolveRequest {
  // The size of one pixel of the SolveImage (binning included), micrometres.
  double pixel_width_um = 8.6;
  double pixel_height_um = 8.3;
  double focal_length_mm = 300;
  // Where to search first (J2000), and how far around it; without a hint
  // the whole sky is searched.
  std::optional<SkyPosition> hint;
  double radius_degrees = 5.0;
  // The longest the solver may work, seconds of processor time.
  int time_limit_s = 30;
};

// The tangent-plane projection found, as the FITS WCS cards give it:
// CRVAL in degrees (J2000), CRPIX in pixels counted from 1 at the first
// stored pixel, CD in degrees per pixel.
struct WcsSolution {
  double crval1 = 0, crval2 = 0;
  double crpix1 = 0, crpix2 = 0;
  double cd1_1 = 0, cd1_2 = 0, cd2_1 = 0, cd2_2 = 0;
};

struct PlateSolution {
  SkyPosition centre;           // the image's centre, J2000
  double arcsec_per_pixel = 0;  // along x
  double angle_degrees = 0;     // of north, east of the image's up
  WcsSolution wcs;
};

enum class SolveFailure {
  None,
  SolverMissing,    // astrometry.net is not installed
  NoIndexForScale,  // no installed index covers the field's size
  TooFewStars,
  TimedOut,
  Cancelled,
  NotSolved,  // it ran and found nothing
};

struct SolveOutcome {
  std::optional<PlateSolution> solution;
  SolveFailure failure = SolveFailure::None;
  // Said to the user after "not solved: ": the cause in plain words (the
  // packages to install, the field sizes the installed indexes cover).
  std::string reason;
};

class PlateSolver {
 public:
  virtual ~PlateSolver() = default;
  // Solves `image`; gives up with Cancelled soon after `cancel` becomes
  // true (when given).
  virtual SolveOutcome solve(const SolveImage& image, const SolveRequest& request,
                             const std::atomic<bool>* cancel = nullptr) = 0;
};

}  // namespace tarvex
