#include "cli/steps.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

namespace tarvex::cli {

void StepRegistry::add(std::string name, std::string help, StepFunction run) {
  steps_.push_back({std::move(name), std::move(help), std::move(run)});
}

const StepInfo* StepRegistry::find(const std::string& name) const {
  for (const auto& s : steps_)
    if (s.name == name) return &s;
  return nullptr;
}

namespace {
bool g_checking_steps = false;
}  // namespace

bool checking_steps() {
  return g_checking_steps;
}

StepCheckScope::StepCheckScope() {
  g_checking_steps = true;
}

StepCheckScope::~StepCheckScope() {
  g_checking_steps = false;
}

const StepRegistry& steps() {
  static const StepRegistry registry = [] {
    StepRegistry r;
    register_foundation_steps(r);
    register_view_steps(r);
    register_processing_steps(r);
    register_calibration_steps(r);
    register_colour_steps(r);
    register_fits_steps(r);
    return r;
  }();
  return registry;
}

namespace {

bool is_digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The length of the run of digits at `at`.
std::size_t digits_at(const std::string& t, std::size_t at) {
  std::size_t n = 0;
  while (at + n < t.size() && is_digit(t[at + n])) ++n;
  return n;
}

// The text without a leading '+', which from_chars does not take.
const char* after_plus(const std::string& t) {
  return t.c_str() + (!t.empty() && t[0] == '+' ? 1 : 0);
}

}  // namespace

std::optional<long> parse_whole_number(const std::string& t) {
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  const std::size_t n = digits_at(t, i);
  if (n == 0 || i + n != t.size()) return std::nullopt;
  long v = 0;
  const char* first = after_plus(t);
  const auto r = std::from_chars(first, t.c_str() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.c_str() + t.size()) return std::nullopt;
  return v;
}

std::optional<double> parse_real_number(const std::string& t) {
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  const std::size_t whole = digits_at(t, i);
  i += whole;
  std::size_t fraction = 0;
  if (i < t.size() && t[i] == '.') {
    fraction = digits_at(t, i + 1);
    i += 1 + fraction;
  }
  if (whole + fraction == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    const std::size_t exponent = digits_at(t, j);
    if (exponent == 0) return std::nullopt;
    i = j + exponent;
  }
  if (i != t.size()) return std::nullopt;
  double v = 0.0;
  const auto r = std::from_chars(after_plus(t), t.c_str() + t.size(), v);
  if (r.ec != std::errc() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<long> int_key(const StepKeys& keys, const std::string& key, long lo, long hi,
                            std::optional<long> fallback, std::string& error) {
  auto it = keys.find(key);
  if (it == keys.end()) {
    if (!fallback) error = "missing key '" + key + "'";
    return fallback;
  }
  const std::string& text = it->second;
  const auto parsed = parse_whole_number(text);
  if (!parsed) {
    error = "key '" + key + "' needs a whole number, not '" + text + "'";
    return std::nullopt;
  }
  const long v = *parsed;
  if (v < lo || v > hi) {
    error = "key '" + key + "' must lie in " + std::to_string(lo) + ".." + std::to_string(hi) +
            ", not " + text;
    return std::nullopt;
  }
  return v;
}

std::optional<double> double_key(const StepKeys& keys, const std::string& key, double lo, double hi,
                                 std::optional<double> fallback, std::string& error) {
  auto it = keys.find(key);
  if (it == keys.end()) {
    if (!fallback) error = "missing key '" + key + "'";
    return fallback;
  }
  const std::string& text = it->second;
  const auto parsed = parse_real_number(text);
  if (!parsed) {
    error = "key '" + key + "' needs a number, not '" + text + "'";
    return std::nullopt;
  }
  const double v = *parsed;
  if (v < lo || v > hi) {
    error = "key '" + key + "' must lie in " + std::to_string(lo) + ".." + std::to_string(hi) +
            ", not " + text;
    return std::nullopt;
  }
  return v;
}

std::optional<bool> bool_key(const StepKeys& keys, const std::string& key,
                             std::optional<bool> fallback, std::string& error) {
  auto it = keys.find(key);
  if (it == keys.end()) {
    if (!fallback) error = "missing key '" + key + "'";
    return fallback;
  }
  const std::string& v = it->second;
  if (v == "y" || v == "yes" || v == "on" || v == "1" || v == "true") return true;
  if (v == "n" || v == "no" || v == "off" || v == "0" || v == "false") return false;
  error = "key '" + key + "' needs y or n, not '" + v + "'";
  return std::nullopt;
}

bool only_keys(const StepKeys& keys, const std::vector<std::string>& allowed, std::string& error) {
  for (const auto& [k, v] : keys) {
    bool ok = false;
    for (const auto& a : allowed) ok = ok || a == k;
    if (!ok) {
      error = "unknown key '" + k + "'";
      return false;
    }
  }
  return true;
}

bool parse_step(const std::string& text, std::string& name, StepKeys& keys, std::string& error) {
  keys.clear();
  const auto colon = text.find(':');
  name = text.substr(0, colon);
  if (name.empty()) {
    error = "empty step name";
    return false;
  }
  if (colon == std::string::npos) return true;
  std::string rest = text.substr(colon + 1);
  std::size_t start = 0;
  while (start <= rest.size()) {
    const auto comma = rest.find(',', start);
    const std::string item =
        rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!item.empty()) {
      const auto eq = item.find('=');
      if (eq == std::string::npos || eq == 0) {
        error = "step '" + name + "': '" + item + "' is not key=value";
        return false;
      }
      keys[item.substr(0, eq)] = item.substr(eq + 1);
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

}  // namespace tarvex::cli
