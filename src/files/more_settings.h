// Settings that the fixed-layout settings file has no room for (the INDI
// server, the guide algorithm, the solver, ...) live in one small text file
// in the data folder, one `key = value` to a line, `#` starting a comment.
//
// Every key the program knows is listed once, in the table behind
// known_settings(), with its kind, its default and the values it accepts.
// A value the program cannot use is refused with the key named, and the
// default serves instead; a key the program does not know is kept as it was
// written and saved again, so a newer program's settings survive an older
// one.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_save.h"

namespace tarvex {

enum class SettingKind { Text, Integer, Number, Choice, OnOff };

struct KnownSetting {
  std::string_view key;
  SettingKind kind;
  std::string_view fallback;  // the default, as it is written in the file
  double min = 0;             // Integer and Number: the accepted range
  double max = 0;
  std::string_view choices;  // Choice: the accepted words, separated by '|'
};

std::span<const KnownSetting> known_settings();
// The entry of `key`, or nullptr for a key the program does not know.
const KnownSetting* find_setting(std::string_view key);

enum class SettingChange { Set, UnknownKey, BadValue };

class MoreSettings {
 public:
  // The value of a known key: the one set, else its default. Unknown keys
  // give an empty text.
  std::string text(std::string_view key) const;
  long long integer(std::string_view key) const;
  double number(std::string_view key) const;
  bool on(std::string_view key) const;

  // Sets a known key when the value suits it; the settings stay as they were
  // otherwise.
  SettingChange set(std::string_view key, std::string_view value);
  // Keeps a key the program does not know, exactly as read.
  void keep_unknown(std::string_view key, std::string_view value);

  struct Entry {
    std::string key;
    std::string value;
  };
  // Every key set or kept, in the order first seen.
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  const Entry* entry(std::string_view key) const;
  void put(std::string_view key, std::string_view value);

  std::vector<Entry> entries_;
};

// Whether `value` is acceptable for `known`.
bool setting_value_ok(const KnownSetting& known, std::string_view value);

struct MoreSettingsLoad {
  MoreSettings settings;
  // One line per refused line: "KEY: bad value 'VALUE', the default
  // 'DEFAULT' is used" or "line N: no '=' in it".
  std::vector<std::string> refused;
};

// Reads the file; a missing file gives the defaults and no complaint.
MoreSettingsLoad load_more_settings(const std::filesystem::path& file);
FileSave save_more_settings(const std::filesystem::path& file, const MoreSettings& settings);

}  // namespace tarvex
