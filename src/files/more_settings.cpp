#include "files/more_settings.h"

#include <array>
#include <charconv>
#include <cmath>

#include "platform/file_io.h"

namespace tarvex {

namespace {

// The file is a few hundred bytes; anything far larger is not ours.
constexpr std::uint64_t kMaxFileBytes = 64 * 1024;

constexpr std::array kKnown = {
    // Where an INDI server runs and which of its devices is the mount.
    KnownSetting{"indi.server", SettingKind::Text, "localhost:7624", 0, 0, ""},
    KnownSetting{"indi.mount", SettingKind::Text, "", 0, 0, ""},
    // Which mount the telescope commands drive: the one of the settings'
    // link (LX200 or control box) or an INDI mount.
    KnownSetting{"mount.link", SettingKind::Choice, "settings", 0, 0, "settings|indi"},
    // How guiding corrects (classic: the whole error every frame;
    // predictive: learns the drift and periodic error and corrects ahead of
    // them), and for how long the predictive algorithm keeps correcting the
    // learned drift while the star is lost.
    KnownSetting{"guide.algorithm", SettingKind::Choice, "classic", 0, 0, "classic|predictive"},
    KnownSetting{"guide.lost-star-seconds", SettingKind::Integer, "60", 0, 600, ""},
    // Dithering between the exposures of a self-guided run: how far the
    // reference moves at most (pixels, on both axes or RA only), and when
    // the guider counts as settled after it: within a distance for a
    // number of frames in a row, given up after a time.
    KnownSetting{"guide.dither-pixels", SettingKind::Number, "3", 0.1, 20, ""},
    KnownSetting{"guide.dither-axes", SettingKind::Choice, "both", 0, 0, "both|ra"},
    KnownSetting{"guide.settle-pixels", SettingKind::Number, "0.3", 0.05, 5, ""},
    KnownSetting{"guide.settle-frames", SettingKind::Integer, "3", 1, 50, ""},
    KnownSetting{"guide.settle-seconds", SettingKind::Integer, "60", 5, 600, ""},
    // astrometry.net's solver and how long a solve may take.
    KnownSetting{"solver.program", SettingKind::Text, "solve-field", 0, 0, ""},
    KnownSetting{"solver.seconds", SettingKind::Integer, "60", 5, 3600, ""},
    KnownSetting{"autosave.standard-fits", SettingKind::OnOff, "on", 0, 0, ""},
};

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool parse_number(std::string_view s, double& out) {
  const char* end = s.data() + s.size();
  const auto r = std::from_chars(s.data(), end, out);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

bool parse_integer(std::string_view s, long long& out) {
  const char* end = s.data() + s.size();
  const auto r = std::from_chars(s.data(), end, out);
  return r.ec == std::errc() && r.ptr == end;
}

bool one_of(std::string_view choices, std::string_view value) {
  while (!choices.empty()) {
    const std::size_t bar = choices.find('|');
    if (choices.substr(0, bar) == value) return true;
    if (bar == std::string_view::npos) break;
    choices.remove_prefix(bar + 1);
  }
  return false;
}

// A value must stay on its line and survive the trim of the next read.
bool writable(std::string_view value) {
  for (char c : value)
    if (c == '\n' || c == '\r' || c == '\0') return false;
  return trim(value) == value;
}

}  // namespace

std::span<const KnownSetting> known_settings() {
  return kKnown;
}

const KnownSetting* find_setting(std::string_view key) {
  for (const auto& known : kKnown)
    if (known.key == key) return &known;
  return nullptr;
}

bool setting_value_ok(const KnownSetting& known, std::string_view value) {
  if (!writable(value)) return false;
  switch (known.kind) {
    case SettingKind::Text: return true;
    case SettingKind::Integer: {
      long long v = 0;
      return parse_integer(value, v) && v >= known.min && v <= known.max;
    }
    case SettingKind::Number: {
      double v = 0;
      return parse_number(value, v) && v >= known.min && v <= known.max;
    }
    case SettingKind::Choice: return one_of(known.choices, value);
    case SettingKind::OnOff: return value == "on" || value == "off";
  }
  return false;
}

const MoreSettings::Entry* MoreSettings::entry(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.key == key) return &e;
  return nullptr;
}

void MoreSettings::put(std::string_view key, std::string_view value) {
  for (auto& e : entries_)
    if (e.key == key) {
      e.value = value;
      return;
    }
  entries_.push_back({std::string(key), std::string(value)});
}

std::string MoreSettings::text(std::string_view key) const {
  if (const Entry* e = entry(key); e && find_setting(key)) return e->value;
  const KnownSetting* known = find_setting(key);
  return known ? std::string(known->fallback) : std::string();
}

long long MoreSettings::integer(std::string_view key) const {
  long long v = 0;
  parse_integer(text(key), v);
  return v;
}

double MoreSettings::number(std::string_view key) const {
  double v = 0;
  parse_number(text(key), v);
  return v;
}

bool MoreSettings::on(std::string_view key) const {
  return text(key) == "on";
}

SettingChange MoreSettings::set(std::string_view key, std::string_view value) {
  const KnownSetting* known = find_setting(key);
  if (!known) return SettingChange::UnknownKey;
  if (!setting_value_ok(*known, value)) return SettingChange::BadValue;
  put(key, value);
  return SettingChange::Set;
}

void MoreSettings::keep_unknown(std::string_view key, std::string_view value) {
  if (!find_setting(key) && writable(value) && writable(key)) put(key, value);
}

MoreSettingsLoad load_more_settings(const std::filesystem::path& file) {
  MoreSettingsLoad load;
  InputFile in;
  if (!in.open(file)) return load;
  if (in.size() > kMaxFileBytes) {
    load.refused.push_back("the file is larger than a settings file can be; the defaults are used");
    return load;
  }
  std::string text(static_cast<std::size_t>(in.size()), '\0');
  if (!text.empty() && !in.read(text.data(), text.size())) return load;
  std::size_t at = 0;
  for (int number = 1; at < text.size(); ++number) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = trim(std::string_view(text).substr(at, end - at));
    at = end + 1;
    if (line.empty() || line.front() == '#') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      load.refused.push_back("line " + std::to_string(number) + ": no '=' in it");
      continue;
    }
    const std::string_view key = trim(line.substr(0, eq));
    const std::string_view value = trim(line.substr(eq + 1));
    const KnownSetting* known = find_setting(key);
    if (!known) {
      load.settings.keep_unknown(key, value);
    } else if (load.settings.set(key, value) != SettingChange::Set) {
      load.refused.push_back(std::string(key) + ": bad value '" + std::string(value) +
                             "', the default '" + std::string(known->fallback) + "' is used");
    }
  }
  return load;
}

FileSave save_more_settings(const std::filesystem::path& file, const MoreSettings& settings) {
  std::string text = "# Tarvex settings beyond the settings file: key = value\n";
  for (const auto& e : settings.entries()) text += e.key + " = " + e.value + "\n";
  AtomicFile out;
  return saved_if(out.open(file) && out.write(text.data(), text.size()) && out.commit(false));
}

}  // namespace tarvex
