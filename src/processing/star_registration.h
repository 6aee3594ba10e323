// Registration of a frame on many stars: star detection with centroids and
// shapes, matching of star triangles between a frame and the reference, a
// rotation and translation fitted to the matched stars, and the sub-pixel
// resampling of the frame onto the reference's geometry.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarvex {

struct Star {
  double x = 0, y = 0;    // centroid, pixels (column, row)
  double flux = 0;        // summed signal above the background
  double peak = 0;        // highest sample above the background
  double fwhm = 0;        // from the second moments
  double elongation = 1;  // major over minor axis
  double axis = 0;        // direction of the major axis, radians
};

struct StarDetection {
  int max_stars = 60;          // the brightest this many are kept
  double threshold_sigma = 5;  // local maxima this far above the background
  int radius = 4;              // centroid window half size
};

// A plane of `width` x `height` floats, rows top first.
struct PlaneView {
  const float* data = nullptr;
  int width = 0;
  int height = 0;
  float at(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
};

// The background level and its noise (median and scaled median absolute
// deviation of a sample of the plane).
struct Background {
  double level = 0;
  double sigma = 0;
};
Background estimate_background(PlaneView plane);

// Stars, brightest first: local maxima above the background plus
// threshold_sigma times its noise, with at least three samples above it
// (a lone hot pixel is not a star), centroided in a window. Detections more
// than five times longer than wide, and elongated detections lined up along
// their own axis with three others (pieces of a satellite trail), are no stars.
std::vector<Star> detect_stars(PlaneView plane, const StarDetection& options = {});

// The median of the stars' FWHM and elongation; zeros when there are none.
struct FieldShape {
  double fwhm = 0;
  double elongation = 0;
};
FieldShape field_shape(const std::vector<Star>& stars);

// Frame to reference: x' = cos(a) x - sin(a) y + dx, y' = sin(a) x + cos(a) y + dy.
struct RigidTransform {
  double angle = 0;  // radians
  double dx = 0, dy = 0;
  void apply(double x, double y, double& ox, double& oy) const;
  RigidTransform inverse() const;
};

struct FieldRegistration {
  RigidTransform transform;
  int matched = 0;      // star pairs in the final fit
  double residual = 0;  // root mean square distance of those pairs, pixels
};

// Matches the frame's stars to the reference's by triangles of equal sides
// (rotation and translation keep them), keeps the correspondences that
// agree on one transform, and fits it by least squares. Empty when fewer
// than `min_matches` stars agree.
std::optional<FieldRegistration> register_stars(const std::vector<Star>& reference,
                                                const std::vector<Star>& frame,
                                                int min_matches = 6);

enum class Interpolation { Bilinear, Bicubic };

// Resamples rows [first_row, end_row) of the reference geometry from
// `source` (the frame) through `frame_to_reference`, into `out` (rows
// first_row.. end_row of a width-wide plane, packed). Samples that fall
// outside the frame are NaN.
void warp_rows(PlaneView source, const RigidTransform& frame_to_reference, Interpolation how,
               int first_row, int end_row, float* out);

}  // namespace tarvex
