#include "scope/precession.h"

#include <array>
#include <cmath>

namespace tarvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
constexpr double kArcsec = kDegree / 3600.0;
constexpr double kJ2000 = 2451545.0;

using Matrix = std::array<std::array<double, 3>, 3>;
using Vector = std::array<double, 3>;

// The rotation from J2000 to the mean equinox of `julian_date`:
// Rz(-z) * Ry(theta) * Rz(-zeta), with the angles counted from J2000.
Matrix precession_matrix(double julian_date) {
  const double t = (julian_date - kJ2000) / 36525.0;
  const double zeta = ((0.017998 * t + 0.30188) * t + 2306.2181) * t * kArcsec;
  const double z = ((0.018203 * t + 1.09468) * t + 2306.2181) * t * kArcsec;
  const double theta = ((-0.041833 * t - 0.42665) * t + 2004.3109) * t * kArcsec;
  const double cz = std::cos(zeta), sz = std::sin(zeta);
  const double cZ = std::cos(z), sZ = std::sin(z);
  const double ct = std::cos(theta), st = std::sin(theta);
  return {{{cZ * ct * cz - sZ * sz, -cZ * ct * sz - sZ * cz, -cZ * st},
           {sZ * ct * cz + cZ * sz, -sZ * ct * sz + cZ * cz, -sZ * st},
           {st * cz, -st * sz, ct}}};
}

Vector to_vector(const SkyPosition& p) {
  const double a = p.ra_hours * 15.0 * kDegree;
  const double d = p.dec_degrees * kDegree;
  return {std::cos(d) * std::cos(a), std::cos(d) * std::sin(a), std::sin(d)};
}

SkyPosition to_position(const Vector& v) {
  SkyPosition p;
  double ra = std::atan2(v[1], v[0]) / kDegree / 15.0;
  if (ra < 0) ra += 24.0;
  if (ra >= 24.0) ra -= 24.0;
  p.ra_hours = ra;
  p.dec_degrees = std::asin(std::fmax(-1.0, std::fmin(1.0, v[2]))) / kDegree;
  return p;
}

}  // namespace

double julian_date_of_unix(double unix_seconds) {
  return unix_seconds / 86400.0 + 2440587.5;
}

SkyPosition precess_from_j2000(const SkyPosition& j2000, double julian_date) {
  const Matrix m = precession_matrix(julian_date);
  const Vector v = to_vector(j2000);
  Vector r{};
  for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
  return to_position(r);
}

// The inverse of a rotation is its transpose.
SkyPosition precess_to_j2000(const SkyPosition& of_date, double julian_date) {
  const Matrix m = precession_matrix(julian_date);
  const Vector v = to_vector(of_date);
  Vector r{};
  for (int i = 0; i < 3; ++i) r[i] = m[0][i] * v[0] + m[1][i] * v[1] + m[2][i] * v[2];
  return to_position(r);
}

}  // namespace tarvex
