#include "sim/sim_mount_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "sim/sky_catalogue.h"

namespace tarvex {

namespace {

constexpr double DEFAULT_REAL_SKY_FOCAL_LENGTH_MM = 300.0;
constexpr double DEFAULT_FIELD_ARCSEC_PER_PIXEL = 2.0;

// A plain decimal number, all of `text`.
std::optional<double> number_of(std::string_view text) {
  if (text.empty() || text[0] == '+') return std::nullopt;
  double v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v))
    return std::nullopt;
  return v;
}

// "A:B:C" with whole A and B and a decimal C; false for anything else.
bool three_parts(std::string_view text, double& a, double& b, double& c) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) return false;
  const auto whole = [](std::string_view t, double& out) {
    if (t.empty() || t.size() > 2 ||
        !std::all_of(t.begin(), t.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
      return false;
    out = std::stoi(std::string(t));
    return true;
  };
  const auto seconds = number_of(text.substr(second + 1));
  if (!whole(text.substr(0, first), a) || !whole(text.substr(first + 1, second - first - 1), b) ||
      !seconds || *seconds < 0)
    return false;
  c = *seconds;
  return b < 60 && c < 60;
}

// HH:MM:SS/±DD:MM:SS, J2000.
bool coordinates_of(std::string_view text, SimPointing& out) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return false;
  double h, m, s;
  if (!three_parts(text.substr(0, slash), h, m, s) || h > 23) return false;
  std::string_view dec = text.substr(slash + 1);
  double sign = 1;
  if (!dec.empty() && (dec[0] == '+' || dec[0] == '-')) {
    sign = dec[0] == '-' ? -1 : 1;
    dec.remove_prefix(1);
  }
  double d, dm, ds;
  if (!three_parts(dec, d, dm, ds)) return false;
  const double degrees = d + dm / 60 + ds / 3600;
  if (degrees > 90) return false;
  out.name = std::string(text);
  out.ra_hours = h + m / 60 + s / 3600;
  out.dec_degrees = sign * degrees;
  return true;
}

bool read_point(std::string_view value, SimMountOptions& o, std::string& why) {
  SimPointing p;
  if (!find_named_pointing(value, p) && !coordinates_of(value, p)) {
    why = "takes a catalogue name (M1..M110, NGC1..NGC7840) or HH:MM:SS/+DD:MM:SS, not " +
          std::string(value);
    return false;
  }
  o.point = p;
  return true;
}

// A number from `lo` to `hi` into `field`.
bool read_range(std::string_view value, double lo, double hi, const char* unit, double& field,
                std::string& why) {
  const auto v = number_of(value);
  if (!v || *v < lo || *v > hi) {
    char text[96];
    std::snprintf(text, sizeof text, "takes %s from %g to %g, not ", unit, lo, hi);
    why = text + std::string(value);
    return false;
  }
  field = *v;
  return true;
}

bool read_focal_length(std::string_view value, SimMountOptions& o, std::string& why) {
  double mm = 0;
  if (!read_range(value, 10, 20000, "millimetres", mm, why)) return false;
  o.focal_length_mm = mm;
  return true;
}

bool read_scale(std::string_view value, SimMountOptions& o, std::string& why) {
  double arcsec = 0;
  if (!read_range(value, 0.05, 200, "arcseconds per pixel", arcsec, why)) return false;
  o.arcsec_per_pixel = arcsec;
  return true;
}

bool read_pointing_error(std::string_view value, SimMountOptions& o, std::string& why) {
  return read_range(value, 0, 600, "arcminutes", o.pointing_error_arcmin, why);
}

constexpr SimMountOptionKey kKeys[] = {
    {"point", read_point},
    {"focal-length", read_focal_length},
    {"scale", read_scale},
    {"pointing-error", read_pointing_error},
};

std::string upper(std::string_view text) {
  std::string s;
  for (char c : text)
    if (c != ' ') s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::span<const SimMountOptionKey> sim_mount_option_keys() {
  return kKeys;
}

bool find_named_pointing(std::string_view name, SimPointing& out) {
  const std::string n = upper(name);
  const auto number_after = [&](std::size_t prefix) -> int {
    const std::string digits = n.substr(prefix);
    if (digits.empty() || digits.size() > 4 || digits[0] == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return 0;
    return std::stoi(digits);
  };
  SkyObject object;
  bool found = false;
  if (n.rfind("NGC", 0) == 0) {
    found = find_sky_object(Catalogue::Ngc, number_after(3), object);
  } else if (n.rfind("M", 0) == 0) {
    found = find_sky_object(Catalogue::Messier, number_after(1), object);
  }
  if (!found) return false;
  out.name = object.name;
  out.ra_hours = object.ra_hours;
  out.dec_degrees = object.dec_degrees;
  return true;
}

bool parse_sim_mount_options(std::string_view text, SimMountOptions& o, std::string& error) {
  if (text.empty()) {
    error = "--sim-mount needs KEY=VALUE[,KEY=VALUE...]";
    return false;
  }
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      error = "--sim-mount needs KEY=VALUE, not " + std::string(item);
      return false;
    }
    const std::string key(item.substr(0, equals));
    const auto entry = std::find_if(std::begin(kKeys), std::end(kKeys),
                                    [&](const SimMountOptionKey& k) { return key == k.name; });
    if (entry == std::end(kKeys)) {
      error = "--sim-mount has no key " + key;
      return false;
    }
    if (std::find(o.keys.begin(), o.keys.end(), key) != o.keys.end()) {
      error = "--sim-mount " + key + " may be given only once";
      return false;
    }
    std::string why;
    if (!entry->read(item.substr(equals + 1), o, why)) {
      error = "--sim-mount " + key + " " + why;
      return false;
    }
    o.keys.push_back(key);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (o.focal_length_mm && o.arcsec_per_pixel) {
    error = "--sim-mount focal-length and scale set the same image scale: give one of them";
    return false;
  }
  return true;
}

double sim_arcsec_per_pixel(const SimMountOptions& o, bool real_sky) {
  if (o.arcsec_per_pixel) return *o.arcsec_per_pixel;
  if (o.focal_length_mm) return ARCSEC_PER_UM_PER_MM * PIXEL_WIDTH_UM / *o.focal_length_mm;
  return real_sky ? ARCSEC_PER_UM_PER_MM * PIXEL_WIDTH_UM / DEFAULT_REAL_SKY_FOCAL_LENGTH_MM
                  : DEFAULT_FIELD_ARCSEC_PER_PIXEL;
}

}  // namespace tarvex
