// Arcseconds per guide pixel from the FITS details, against figures worked
// out by hand: 206.265 x pixel size in um / focal length in mm.
#include "app/guiding/guide_scale.h"

#include <gtest/gtest.h>

#include <limits>

namespace tarvex {
namespace {

TEST(GuideScale, ArcsecondsPerPixelOnEachAxisAndUnknownsAsZero) {
  FitsText f;  // the camera's 8.6 x 8.3 um pixels, no focal length yet
  EXPECT_FALSE(guide_scale(f).known());
  EXPECT_EQ(guide_scale(f).ra, 0.0);
  EXPECT_EQ(guide_scale(f).dec, 0.0);

  f.fits_focal_length = 40;  // inches: 1016 mm
  GuideScale s = guide_scale(f);
  ASSERT_TRUE(s.known());
  EXPECT_NEAR(s.ra, 1.745944, 1e-6);   // 206.265 x 8.6 / 1016
  EXPECT_NEAR(s.dec, 1.685039, 1e-6);  // 206.265 x 8.3 / 1016

  f.fits_pixel_width = 0.009;
  f.fits_focal_length = 20;  // 508 mm
  EXPECT_NEAR(guide_scale(f).ra, 3.654301, 1e-6);

  // A pixel size not set leaves its axis unknown, the other one stands.
  f.fits_pixel_width = 0;
  s = guide_scale(f);
  EXPECT_EQ(s.ra, 0.0);
  EXPECT_GT(s.dec, 0.0);
  EXPECT_FALSE(s.known());
  // A focal length that is negative or not a number (from a damaged file)
  // gives no scale at all.
  f.fits_pixel_width = 0.0086;
  for (double bad :
       {-40.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    f.fits_focal_length = bad;
    s = guide_scale(f);
    EXPECT_EQ(s.ra, 0.0) << bad;
    EXPECT_EQ(s.dec, 0.0) << bad;
  }
}

}  // namespace
}  // namespace tarvex
