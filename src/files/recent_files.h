// The list behind File > Recent Files: the last few files opened or saved,
// newest first. It is kept in a small text file of its own in the data
// folder (one full path to a line), never in the settings file, whose layout
// is fixed.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "files/file_save.h"

namespace tarvex {

inline constexpr std::size_t RECENT_FILES_MAX = 8;

class RecentFiles {
 public:
  // Puts the file first (its full path), dropping an older entry of the same
  // path and the oldest beyond RECENT_FILES_MAX. A name that cannot be kept
  // on one line (a line break in it) is not added.
  void add(const std::filesystem::path& file);
  void remove(const std::filesystem::path& file);
  const std::vector<std::filesystem::path>& files() const { return files_; }

 private:
  std::vector<std::filesystem::path> files_;
};

// Reads the list; a missing or unreadable file gives an empty list, and lines
// that are not full paths are passed over.
RecentFiles load_recent_files(const std::filesystem::path& list_file);
FileSave save_recent_files(const std::filesystem::path& list_file, const RecentFiles& recent);

}  // namespace tarvex
