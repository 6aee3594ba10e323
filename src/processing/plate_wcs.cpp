#include "processing/plate_wcs.h"

#include <cmath>
#include <cstdio>

namespace tarvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

std::string card(const char* key, const std::string& value, const char* comment) {
  char text[96];
  std::snprintf(text, sizeof text, "%-8.8s= %20s / %s", key, value.c_str(), comment);
  std::string c(text);
  c.resize(80, ' ');
  return c;
}

std::string real_value(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.12G", v);
  std::string s(text);
  // A FITS real needs a decimal point or an exponent.
  if (s.find_first_of(".E") == std::string::npos) s += ".0";
  return s;
}

std::string string_value(const char* text) {
  std::string s = "'";
  s += text;
  while (s.size() < 9) s += ' ';
  s += "'";
  // Strings start at column 11, unlike numbers, which end at column 30.
  return s + std::string(20 - s.size(), ' ');
}

}  // namespace

double arcsec_per_pixel(double pixel_um, double focal_mm) {
  return focal_mm > 0 ? 206.265 * pixel_um / focal_mm : 0.0;
}

ScaleBounds scale_bounds(const SolveRequest& r) {
  const double mean = (arcsec_per_pixel(r.pixel_width_um, r.focal_length_mm) +
                       arcsec_per_pixel(r.pixel_height_um, r.focal_length_mm)) /
                      2;
  return {mean * 0.9, mean * 1.1};
}

SkyPosition wcs_pixel_to_sky(const WcsSolution& w, double x, double y) {
  const double dx = x - w.crpix1, dy = y - w.crpix2;
  const double xi = (w.cd1_1 * dx + w.cd1_2 * dy) * kDeg;
  const double eta = (w.cd2_1 * dx + w.cd2_2 * dy) * kDeg;
  const double a0 = w.crval1 * kDeg, d0 = w.crval2 * kDeg;
  const double denominator = std::cos(d0) - eta * std::sin(d0);
  double ra = a0 + std::atan2(xi, denominator);
  const double dec = std::atan2(std::sin(d0) + eta * std::cos(d0), std::hypot(xi, denominator));
  ra = std::fmod(ra / kDeg, 360.0);
  if (ra < 0) ra += 360.0;
  return {ra / 15.0, dec / kDeg};
}

PlateSolution solution_of(const WcsSolution& wcs, int width, int height) {
  PlateSolution s;
  s.wcs = wcs;
  s.centre = wcs_pixel_to_sky(wcs, (width + 1) / 2.0, (height + 1) / 2.0);
  s.arcsec_per_pixel = std::hypot(wcs.cd1_1, wcs.cd2_1) * 3600.0;
  // Up is towards the first row: pixel direction (0, -1), whose sky
  // direction is (-CD1_2, -CD2_2) in (east, north).
  double angle = std::atan2(-wcs.cd1_2, -wcs.cd2_2) / kDeg;
  if (angle <= -180.0) angle += 360.0;
  s.angle_degrees = angle;
  return s;
}

WcsSolution wcs_for_image(const WcsSolution& in, int binning, int height, bool bottom_up) {
  WcsSolution w = in;
  // Solver pixel x covers image pixels b(x - 1) + 1 .. b x, so its centre
  // is at b (x - 0.5) + 0.5.
  const double b = binning;
  w.crpix1 = b * (in.crpix1 - 0.5) + 0.5;
  w.crpix2 = b * (in.crpix2 - 0.5) + 0.5;
  w.cd1_1 /= b;
  w.cd1_2 /= b;
  w.cd2_1 /= b;
  w.cd2_2 /= b;
  if (bottom_up) {
    w.crpix2 = height + 1 - w.crpix2;
    w.cd1_2 = -w.cd1_2;
    w.cd2_2 = -w.cd2_2;
  }
  return w;
}

std::vector<std::string> wcs_cards(const WcsSolution& w) {
  return {
      card("WCSAXES", "2", "world coordinate axes"),
      card("CTYPE1", string_value("RA---TAN"), "gnomonic projection"),
      card("CTYPE2", string_value("DEC--TAN"), "gnomonic projection"),
      card("EQUINOX", "2000.0", "J2000 equatorial coordinates"),
      card("CRVAL1", real_value(w.crval1), "right ascension of reference pixel, deg"),
      card("CRVAL2", real_value(w.crval2), "declination of reference pixel, deg"),
      card("CRPIX1", real_value(w.crpix1), "reference pixel, x"),
      card("CRPIX2", real_value(w.crpix2), "reference pixel, y"),
      card("CUNIT1", string_value("deg"), "unit of CRVAL1"),
      card("CUNIT2", string_value("deg"), "unit of CRVAL2"),
      card("CD1_1", real_value(w.cd1_1), "deg per pixel"),
      card("CD1_2", real_value(w.cd1_2), "deg per pixel"),
      card("CD2_1", real_value(w.cd2_1), "deg per pixel"),
      card("CD2_2", real_value(w.cd2_2), "deg per pixel"),
  };
}

const std::vector<std::string>& wcs_keywords() {
  static const std::vector<std::string> k = {"WCSAXES", "CTYPE1", "CTYPE2", "EQUINOX", "CRVAL1",
                                             "CRVAL2",  "CRPIX1", "CRPIX2", "CUNIT1",  "CUNIT2",
                                             "CD1_1",   "CD1_2",  "CD2_1",  "CD2_2"};
  return k;
}

std::string ra_hms_text(double hours) {
  long tenths = std::lround(hours * 36000.0);
  tenths %= 24L * 36000L;
  if (tenths < 0) tenths += 24L * 36000L;
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld.%ld", tenths / 36000, tenths / 600 % 60,
                tenths / 10 % 60, tenths % 10);
  return text;
}

std::string dec_dms_text(double degrees) {
  const long seconds = std::lround(std::fabs(degrees) * 3600.0);
  const char sign = degrees < 0 && seconds > 0 ? '-' : '+';
  char text[32];
  std::snprintf(text, sizeof text, "%c%02ld:%02ld:%02ld", sign, seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

}  // namespace tarvex
