// Where the program's fixed file names live on Linux. Every fixed name hangs
// off one data root: $XDG_DATA_HOME/tarvex, or ~/.local/share/tarvex.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvex {

class Paths {
 public:
  explicit Paths(std::filesystem::path data_root);

  // The data root from XDG_DATA_HOME (or HOME/.local/share) plus "tarvex".
  static Paths from_environment();

  const std::filesystem::path& data_root() const { return root_; }

  // The automatic-save folder, shared by every spelling of its name.
  std::filesystem::path autosave_root() const;
  // The automatic-save folder with the settings' sub-folder, when one is set
  // and stays inside it (no absolute path, no ".." step).
  std::filesystem::path autosave_dir(std::string_view subdir) const;
  std::filesystem::path settings_file() const;
  std::filesystem::path bitmap_file(bool small_frame) const;
  std::filesystem::path dark_definition_file() const;
  std::filesystem::path flat_definition_file() const;
  // The list of File > Recent Files, a file of its own beside the others.
  std::filesystem::path recent_files_file() const;
  // The small `key = value` file of the settings the settings file has no
  // room for.
  std::filesystem::path more_settings_file() const;
  // The device behind "Com Port n": <root>/com<n> when it exists, else
  // /dev/ttyUSB<n-1> when that exists, else /dev/ttyS<n-1>.
  std::filesystem::path com_port(int n) const;

 private:
  std::filesystem::path root_;
};

// The entry of `parent` whose name equals `name` without regard to case, or
// parent / name when there is none. Folder and file names on the original
// platform compare without regard to case; this keeps "AUTOSAVE" and
// "autosave" one folder.
std::filesystem::path child_ignoring_case(const std::filesystem::path& parent,
                                          std::string_view name);

}  // namespace tarvex
