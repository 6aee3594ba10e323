#include "scope/precession.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvex {
namespace {

double ra_degrees(const SkyPosition& p) {
  return p.ra_hours * 15.0;
}

// Published worked example (Meeus, Astronomical Algorithms, example 21.b):
// theta Persei, J2000 mean place with proper motion applied to the epoch,
// alpha 41.054063 deg, delta +49.227750 deg, precessed to 2028 Nov 13.19
// (JD 2462088.69) gives alpha 41.547214 deg, delta +49.348483 deg.
TEST(Precession, PublishedPositionsAndRoundTrip) {
  const SkyPosition theta_persei{41.054063 / 15.0, 49.227750};
  const SkyPosition of_date = precess_from_j2000(theta_persei, 2462088.69);
  EXPECT_NEAR(ra_degrees(of_date), 41.547214, 2e-5);  // 0.07"
  EXPECT_NEAR(of_date.dec_degrees, 49.348483, 2e-5);

  const SkyPosition back = precess_to_j2000(of_date, 2462088.69);
  EXPECT_NEAR(ra_degrees(back), 41.054063, 1e-9);
  EXPECT_NEAR(back.dec_degrees, 49.227750, 1e-9);

  // At J2000 itself nothing moves.
  const SkyPosition same = precess_from_j2000(theta_persei, 2451545.0);
  EXPECT_NEAR(same.ra_hours, theta_persei.ra_hours, 1e-12);
  EXPECT_NEAR(same.dec_degrees, theta_persei.dec_degrees, 1e-12);

  // The sign of the Julian date of a Unix time: 2000-01-01 12:00 UTC.
  EXPECT_DOUBLE_EQ(julian_date_of_unix(946728000.0), 2451545.0);
}

TEST(Precession, RightAscensionWrapsAtZero) {
  // A star just west of 0h moves east across it over fifty years.
  const SkyPosition near_zero{23.99, 10.0};
  const SkyPosition later = precess_from_j2000(near_zero, 2451545.0 + 50 * 365.25);
  EXPECT_GE(later.ra_hours, 0.0);
  EXPECT_LT(later.ra_hours, 1.0);
  const SkyPosition back = precess_to_j2000(later, 2451545.0 + 50 * 365.25);
  EXPECT_NEAR(back.ra_hours, 23.99, 1e-9);
}

}  // namespace
}  // namespace tarvex
