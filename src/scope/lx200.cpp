#include "scope/lx200.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/printable_text.h"

namespace tarvex {

std::string lx200_move(char letter) {
  return std::string("#:M") + letter + "#";
}

std::string lx200_stop(char letter) {
  return std::string("#:Q") + letter + "#";
}

std::string lx200_select_object(Catalogue catalogue, int number) {
  if (number < 0 || number > 9999) return {};
  const char* prefix = catalogue == Catalogue::Messier ? "#:LM "
                       : catalogue == Catalogue::Star  ? "#:LS "
                                                       : "#:LC ";
  char text[16];
  std::snprintf(text, sizeof text, "%s%04d#", prefix, number);
  return text;
}

std::string lx200_target_ra(int hours, int minutes) {
  char text[32];
  std::snprintf(text, sizeof text, "#:Sr %02d:%02d.0", hours % 100, minutes % 100);
  return text;
}

std::string lx200_target_dec(bool negative, int degrees, int minutes) {
  char text[32];
  std::snprintf(text, sizeof text, "#:Sd %c%02d*%02d", negative ? '-' : '+',
                std::abs(degrees) % 100, minutes % 100);
  return text;
}

std::string lx200_shown_text(std::string_view from_mount) {
  std::string_view text = from_mount.substr(0, from_mount.find('#'));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  std::string shown;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t degree = std::min(text.find('\xDF', start), text.size());
    shown += printable_text(text.substr(start, degree - start));
    if (degree < text.size()) shown += "\xC2\xB0";
    start = degree + 1;
  }
  return shown;
}

namespace {

// Reads one to `max_digits` decimal digits.
bool digits(std::string_view text, std::size_t& pos, int max_digits, int& value) {
  int n = 0;
  value = 0;
  while (pos < text.size() && n < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++n;
  }
  return n > 0;
}

bool at(std::string_view text, std::size_t pos, std::string_view choices) {
  return pos < text.size() && choices.find(text[pos]) != std::string_view::npos;
}

}  // namespace

bool parse_lx200_ra(std::string_view text, double& hours) {
  std::size_t pos = 0;
  int h = 0, m = 0, s = 0;
  if (!digits(text, pos, 2, h) || !at(text, pos, ":")) return false;
  ++pos;
  if (!digits(text, pos, 2, m)) return false;
  double minutes = m;
  if (at(text, pos, ":")) {
    ++pos;
    if (!digits(text, pos, 2, s) || s >= 60) return false;
    minutes += s / 60.0;
  } else if (at(text, pos, ".")) {
    ++pos;
    int tenths = 0;
    if (!digits(text, pos, 1, tenths)) return false;
    minutes += tenths / 10.0;
  }
  if (pos != text.size() || h >= 24 || m >= 60) return false;
  hours = h + minutes / 60.0;
  return true;
}

bool parse_lx200_dec(std::string_view text, double& degrees) {
  std::size_t pos = 0;
  bool negative = false;
  if (at(text, pos, "+-")) {
    negative = text[pos] == '-';
    ++pos;
  }
  int d = 0, m = 0, s = 0;
  if (!digits(text, pos, 2, d)) return false;
  if (!at(text, pos, "*:\xDF")) return false;
  ++pos;
  if (!digits(text, pos, 2, m)) return false;
  if (at(text, pos, ":'")) {
    ++pos;
    if (!digits(text, pos, 2, s)) return false;
  }
  if (pos != text.size() || m >= 60 || s >= 60) return false;
  const double value = d + m / 60.0 + s / 3600.0;
  if (value > 90.0) return false;
  degrees = negative ? -value : value;
  return true;
}

bool parse_lx200_longitude(std::string_view text, double& east_degrees) {
  std::size_t pos = 0;
  bool negative = false;
  if (at(text, pos, "+-")) {
    negative = text[pos] == '-';
    ++pos;
  }
  int d = 0, m = 0;
  if (!digits(text, pos, 3, d)) return false;
  if (!at(text, pos, "*:\xDF")) return false;
  ++pos;
  if (!digits(text, pos, 2, m)) return false;
  if (pos != text.size() || m >= 60) return false;
  const double west = (negative ? -1 : 1) * (d + m / 60.0);
  if (west < -180.0 || west > 360.0) return false;
  double east = -west;
  if (east <= -180.0) east += 360.0;
  east_degrees = east;
  return true;
}

std::string format_lx200_ra(double hours, bool high_precision) {
  hours = std::fmod(hours, 24.0);
  if (hours < 0) hours += 24.0;
  char text[32];
  if (high_precision) {
    long seconds = std::lround(hours * 3600.0) % (24 * 3600);
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", seconds / 3600, (seconds / 60) % 60,
                  seconds % 60);
  } else {
    long tenths = std::lround(hours * 600.0) % (24 * 600);  // tenths of a minute
    std::snprintf(text, sizeof text, "%02ld:%02ld.%ld", tenths / 600, (tenths / 10) % 60,
                  tenths % 10);
  }
  return text;
}

std::string format_lx200_dec(double degrees, bool high_precision) {
  if (degrees > 90.0) degrees = 90.0;
  if (degrees < -90.0) degrees = -90.0;
  const char sign = degrees < 0 ? '-' : '+';
  const double a = std::fabs(degrees);
  char text[32];
  if (high_precision) {
    const long seconds = std::lround(a * 3600.0);
    std::snprintf(text, sizeof text, "%c%02ld*%02ld'%02ld", sign, seconds / 3600,
                  (seconds / 60) % 60, seconds % 60);
  } else {
    const long minutes = std::lround(a * 60.0);
    std::snprintf(text, sizeof text, "%c%02ld*%02ld", sign, minutes / 60, minutes % 60);
  }
  return text;
}

std::string lx200_position_ra(double hours, bool high_precision) {
  return "#:Sr " + format_lx200_ra(hours, high_precision) + "#";
}

std::string lx200_position_dec(double degrees, bool high_precision) {
  std::string dec = format_lx200_dec(degrees, high_precision);
  // The seconds follow a ':' in the target text, as the mount takes them.
  if (high_precision) dec[6] = ':';
  return "#:Sd " + dec + "#";
}

bool lx200_answer_is_high_precision(std::string_view ra_answer, bool& recognised) {
  const auto digits = [&](std::size_t at) {
    return std::isdigit(static_cast<unsigned char>(ra_answer[at])) &&
           std::isdigit(static_cast<unsigned char>(ra_answer[at + 1]));
  };
  recognised = false;
  if (ra_answer.size() < 7 || !digits(0) || ra_answer[2] != ':' || !digits(3)) return false;
  if (ra_answer.size() == 8 && ra_answer[5] == ':' && digits(6)) {
    recognised = true;
    return true;
  }
  recognised = ra_answer.size() == 7 && ra_answer[5] == '.' &&
               std::isdigit(static_cast<unsigned char>(ra_answer[6]));
  return false;
}

}  // namespace tarvex
