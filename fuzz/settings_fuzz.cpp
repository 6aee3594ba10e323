// Fuzz target: the settings file, Tarvex.ini, of any length and content.
// A file read whole is saved and read again: the copy must be read whole and
// give the same record. A file the loader rewrote must then be read whole.
#include "files/settings.h"
#include "fuzz_support.h"
#include "platform/basic_ports.h"

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4 * SETTINGS_FILE_SIZE) return 0;
  const auto file = fuzz::work_file("Tarvex.ini");
  fuzz::write_file(file, fuzz::Bytes(data, data + size));
  RecordingMessages messages;
  Settings s;
  FitsText f;
  const SettingsLoad r = load_settings(file, s, f, messages);
  fuzz::check(r != SettingsLoad::Created && r != SettingsLoad::NotSaved,
              "the settings folder exists and can be written");
  if (r == SettingsLoad::Incomplete) return 0;
  if (r == SettingsLoad::Read)
    fuzz::check(save_settings(file, s, f) == FileSave::Ok, "the settings could not be saved");
  Settings s2;
  FitsText f2;
  fuzz::check(load_settings(file, s2, f2, messages) == SettingsLoad::Read,
              "a settings file this program wrote was not read whole");
  fuzz::check(settings_bytes(s2, f2) == settings_bytes(s, f),
              "the settings changed in a save and reload");
  return 0;
}
