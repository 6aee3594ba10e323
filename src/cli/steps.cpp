#include "cli/steps.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tarvex::cli {

void StepRegistry::add(std::string name, std::string help, StepFunction run) {
  steps_.push_back({std::move(name), std::move(help), std::move(run)});
}

const StepInfo* StepRegistry::find(const std::string& name) const {
  for (const auto& s : steps_)
    if (s.name == name) return &s;
  return nullptr;
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

std::optional<long> int_key(const StepKeys& keys, const std::string& key, long lo, long hi,
                            std::optional<long> fallback, std::string& error) {
  auto it = keys.find(key);
  if (it == keys.end()) {
    if (!fallback) error = "missing key '" + key + "'";
    return fallback;
  }
  const std::string& text = it->second;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE) {
    error = "key '" + key + "' needs a whole number, not '" + text + "'";
    return std::nullopt;
  }
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
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v)) {
    error = "key '" + key + "' needs a number, not '" + text + "'";
    return std::nullopt;
  }
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
