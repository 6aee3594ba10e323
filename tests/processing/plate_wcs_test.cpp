#include "processing/plate_wcs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "processing/solve_image.h"

namespace tarvex {
namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

TEST(SolveImage, MosaicBinnedTwoByTwoAndColourAsLuminance) {
  // 5 x 3: the odd last column and row are left out.
  const std::uint16_t raw[] = {1,  2,  3,  4,  99,  //
                               5,  6,  7,  9,  99,  //
                               99, 99, 99, 99, 99};
  const SolveInput binned = bin_mosaic_2x2(raw, 5, 3);
  EXPECT_EQ(binned.binning, 2);
  EXPECT_EQ(binned.image.width, 2);
  EXPECT_EQ(binned.image.height, 1);
  // (1+2+5+6)/4 = 3.5 and (3+4+7+9)/4 = 5.75, rounded to nearest.
  EXPECT_EQ(binned.image.pixels, (std::vector<std::uint16_t>{4, 6}));
  const std::uint16_t top[] = {65535, 65535, 65535, 65535};
  EXPECT_EQ(bin_mosaic_2x2(top, 2, 2).image.pixels[0], 65535);

  const std::uint16_t r[] = {1000, 65535}, g[] = {2000, 65535}, b[] = {3000, 0};
  const SolveInput lum = luminance_of(r, g, b, 2, 1);
  EXPECT_EQ(lum.binning, 1);
  // 0.299 * 1000 + 0.587 * 2000 + 0.114 * 3000 = 1815; 0.886 * 65535 = 58064.01.
  EXPECT_EQ(lum.image.pixels, (std::vector<std::uint16_t>{1815, 58064}));

  auto fs = std::make_unique<FrameStore>();
  fs->IsColour = false;
  fs->CurrentFrame.fill(7);
  const SolveInput from_raw = solve_input_of(*fs);
  EXPECT_EQ(from_raw.image.width, FRAME_WIDTH / 2);
  EXPECT_EQ(from_raw.image.height, FRAME_HEIGHT / 2);
  fs->IsColour = true;
  EXPECT_EQ(solve_input_of(*fs).image.width, FRAME_WIDTH);
}

TEST(PlateWcs, ScaleBoundsAroundTheMeanOfBothAxes) {
  SolveRequest r;  // 8.6 x 8.3 um at 300 mm
  const ScaleBounds b = scale_bounds(r);
  const double mean = 206.265 * 8.45 / 300;  // 5.8099...
  EXPECT_NEAR(b.low, 0.9 * mean, 1e-9);
  EXPECT_NEAR(b.high, 1.1 * mean, 1e-9);
  r.pixel_width_um = r.pixel_height_um = 17.2;  // binned 2 x 2
  EXPECT_NEAR(scale_bounds(r).low, 0.9 * 11.8259, 1e-3);
}

// Forward gnomonic projection, written out independently: the standard
// coordinates of (ra, dec) about (ra0, dec0), degrees.
void project(double ra0, double dec0, double ra, double dec, double& xi, double& eta) {
  const double a = (ra - ra0) * kDeg, d = dec * kDeg, d0 = dec0 * kDeg;
  const double c = std::sin(d0) * std::sin(d) + std::cos(d0) * std::cos(d) * std::cos(a);
  xi = std::cos(d) * std::sin(a) / c / kDeg;
  eta = (std::cos(d0) * std::sin(d) - std::sin(d0) * std::cos(d) * std::cos(a)) / c / kDeg;
}

TEST(PlateWcs, PixelsToSkyAgreeWithTheForwardProjection) {
  // A field near the pole and across RA 0, turned 30 degrees.
  WcsSolution w;
  w.crval1 = 359.5;
  w.crval2 = 80;
  w.crpix1 = 100.5;
  w.crpix2 = 50.5;
  const double s = 0.01, t = 30 * kDeg;
  w.cd1_1 = -s * std::cos(t);
  w.cd1_2 = s * std::sin(t);
  w.cd2_1 = s * std::sin(t);
  w.cd2_2 = s * std::cos(t);
  for (const auto& [x, y] : {std::pair{1.0, 1.0}, {400.0, -300.0}, {100.5, 50.5}}) {
    const SkyPosition p = wcs_pixel_to_sky(w, x, y);
    double xi = 0, eta = 0;
    project(w.crval1, w.crval2, p.ra_hours * 15, p.dec_degrees, xi, eta);
    const double dx = x - w.crpix1, dy = y - w.crpix2;
    EXPECT_NEAR(xi, w.cd1_1 * dx + w.cd1_2 * dy, 1e-9) << x << "," << y;
    EXPECT_NEAR(eta, w.cd2_1 * dx + w.cd2_2 * dy, 1e-9) << x << "," << y;
    EXPECT_GE(p.ra_hours, 0);
    EXPECT_LT(p.ra_hours, 24);
  }
}

TEST(PlateWcs, CentreScaleAndAngleOfAnImage) {
  // North up, east left, rows top first: up (y decreasing) is north.
  WcsSolution w;
  w.crval1 = 83.82;
  w.crval2 = -5.39;
  w.crpix1 = 1;
  w.crpix2 = 1;
  w.cd1_1 = -11.82 / 3600;
  w.cd2_2 = -11.82 / 3600;
  PlateSolution s = solution_of(w, 376, 290);
  EXPECT_NEAR(s.arcsec_per_pixel, 11.82, 1e-9);
  EXPECT_NEAR(s.angle_degrees, 0, 1e-9);
  // The centre is (187.5, 144.5) pixels from CRPIX: west of and below it.
  const SkyPosition expected = wcs_pixel_to_sky(w, 188.5, 145.5);
  EXPECT_NEAR(s.centre.ra_hours, expected.ra_hours, 1e-12);
  EXPECT_LT(s.centre.dec_degrees, -5.39);
  EXPECT_LT(s.centre.ra_hours * 15, 83.82);
  // East up: north is to the right.
  w.cd1_1 = 0;
  w.cd2_2 = 0;
  w.cd1_2 = -11.82 / 3600;
  w.cd2_1 = 11.82 / 3600;
  EXPECT_NEAR(solution_of(w, 376, 290).angle_degrees, 90, 1e-9);
}

TEST(PlateWcs, SolutionCarriedOverToTheBinnedAndFlippedFile) {
  WcsSolution w;
  w.crval1 = 10;
  w.crval2 = 41;
  w.crpix1 = 188.5;
  w.crpix2 = 145.5;
  w.cd1_1 = -0.003;
  w.cd1_2 = 0.0004;
  w.cd2_1 = 0.0004;
  w.cd2_2 = -0.003;
  const int file_height = 580;
  const WcsSolution f = wcs_for_image(w, 2, file_height, true);
  // The middle of binned pixel (x, y) is image pixel (2x - 0.5, 2y - 0.5),
  // stored as row file_height + 1 - that.
  for (const auto& [x, y] : {std::pair{1.0, 1.0}, {376.0, 290.0}, {50.25, 200.75}}) {
    const SkyPosition a = wcs_pixel_to_sky(w, x, y);
    const SkyPosition b = wcs_pixel_to_sky(f, 2 * x - 0.5, file_height + 1 - (2 * y - 0.5));
    EXPECT_NEAR(a.ra_hours, b.ra_hours, 1e-12);
    EXPECT_NEAR(a.dec_degrees, b.dec_degrees, 1e-12);
  }
}

TEST(PlateWcs, CardsAndTexts) {
  WcsSolution w;
  w.crval1 = 83.8199433004;
  w.crval2 = -5.38999654129;
  w.crpix1 = 376.5;
  w.cd1_1 = -0.00164189587;
  const std::vector<std::string> cards = wcs_cards(w);
  ASSERT_EQ(cards.size(), wcs_keywords().size());
  for (std::size_t i = 0; i < cards.size(); ++i) {
    EXPECT_EQ(cards[i].size(), 80u);
    EXPECT_EQ(cards[i].substr(0, 8).find(wcs_keywords()[i]), 0u);
  }
  EXPECT_EQ(cards[1].substr(0, 30), "CTYPE1  = 'RA---TAN'          ");
  EXPECT_EQ(cards[2].substr(0, 20), "CTYPE2  = 'DEC--TAN'");
  EXPECT_EQ(cards[4].substr(0, 30), "CRVAL1  =        83.8199433004");
  EXPECT_EQ(cards[7].substr(0, 30), "CRPIX2  =                  0.0");
  EXPECT_EQ(cards[10].substr(0, 30), "CD1_1   =       -0.00164189587");

  EXPECT_EQ(ra_hms_text(5.588), "05:35:16.8");
  EXPECT_EQ(ra_hms_text(23.999999), "00:00:00.0");  // rounds over midnight
  EXPECT_EQ(dec_dms_text(-5.39), "-05:23:24");
  EXPECT_EQ(dec_dms_text(-0.0001), "+00:00:00");  // no sign on a rounded zero
  EXPECT_EQ(dec_dms_text(41.269), "+41:16:08");
}

}  // namespace
}  // namespace tarvex
