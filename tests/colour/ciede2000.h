// Colour differences as the eye sees them: linear sRGB (D65) to CIE L*a*b*
// and the CIEDE2000 difference of two L*a*b* colours, for the tests and
// measurements that compare the program's colours with known ones.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

namespace tarvex::testing {

using Rgb = std::array<double, 3>;

// Linear sRGB (D65) to CIE L*a*b*.
inline Rgb lab(const Rgb& c) {
  const double x = 0.4124 * c[0] + 0.3576 * c[1] + 0.1805 * c[2];
  const double y = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
  const double z = 0.0193 * c[0] + 0.1192 * c[1] + 0.9505 * c[2];
  auto f = [](double t) {
    return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
  };
  const double fx = f(x / 0.95047), fy = f(y), fz = f(z / 1.08883);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

// CIEDE2000 colour difference.
inline double delta_e2000(const Rgb& lab1, const Rgb& lab2) {
  const double PI = 3.14159265358979323846;
  const double deg = PI / 180;
  const double c1 = std::hypot(lab1[1], lab1[2]), c2 = std::hypot(lab2[1], lab2[2]);
  const double cm = (c1 + c2) / 2;
  const double g = 0.5 * (1 - std::sqrt(std::pow(cm, 7) / (std::pow(cm, 7) + std::pow(25.0, 7))));
  const double a1 = (1 + g) * lab1[1], a2 = (1 + g) * lab2[1];
  const double cp1 = std::hypot(a1, lab1[2]), cp2 = std::hypot(a2, lab2[2]);
  auto angle = [&](double b, double a) {
    if (a == 0 && b == 0) return 0.0;
    const double h = std::atan2(b, a) / deg;
    return h < 0 ? h + 360 : h;
  };
  const double h1 = angle(lab1[2], a1), h2 = angle(lab2[2], a2);
  const double dl = lab2[0] - lab1[0], dc = cp2 - cp1;
  double dh = 0;
  if (cp1 * cp2 != 0) {
    dh = h2 - h1;
    if (dh > 180) dh -= 360;
    if (dh < -180) dh += 360;
  }
  const double dhh = 2 * std::sqrt(cp1 * cp2) * std::sin(dh / 2 * deg);
  const double lm = (lab1[0] + lab2[0]) / 2, cpm = (cp1 + cp2) / 2;
  double hm = h1 + h2;
  if (cp1 * cp2 != 0) {
    if (std::fabs(h1 - h2) > 180) hm += (hm < 360 ? 360 : -360);
    hm /= 2;
  }
  const double t = 1 - 0.17 * std::cos((hm - 30) * deg) + 0.24 * std::cos(2 * hm * deg) +
                   0.32 * std::cos((3 * hm + 6) * deg) - 0.20 * std::cos((4 * hm - 63) * deg);
  const double dtheta = 30 * std::exp(-std::pow((hm - 275) / 25, 2));
  const double rc = 2 * std::sqrt(std::pow(cpm, 7) / (std::pow(cpm, 7) + std::pow(25.0, 7)));
  const double sl = 1 + 0.015 * (lm - 50) * (lm - 50) / std::sqrt(20 + (lm - 50) * (lm - 50));
  const double sc = 1 + 0.045 * cpm, sh = 1 + 0.015 * cpm * t;
  const double rt = -std::sin(2 * dtheta * deg) * rc;
  return std::sqrt(std::pow(dl / sl, 2) + std::pow(dc / sc, 2) + std::pow(dhh / sh, 2) +
                   rt * (dc / sc) * (dhh / sh));
}

}  // namespace tarvex::testing
