#include "platform/paths.h"

#include <cstdlib>
#include <system_error>

namespace tarvex {

namespace fs = std::filesystem;

namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool exists_quietly(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

}  // namespace

fs::path child_ignoring_case(const fs::path& parent, std::string_view name) {
  fs::path exact = parent / std::string(name);
  if (exists_quietly(exact)) return exact;
  std::error_code ec;
  fs::directory_iterator it(parent, ec);
  if (!ec) {
    for (const auto& entry : it) {
      if (equal_ignoring_case(entry.path().filename().string(), name)) return entry.path();
    }
  }
  return exact;
}

Paths::Paths(fs::path data_root) : root_(std::move(data_root)) {}

Paths Paths::from_environment() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && *xdg != '\0') return Paths(fs::path(xdg) / "tarvex");
  const char* home = std::getenv("HOME");
  fs::path base = (home != nullptr && *home != '\0') ? fs::path(home) : fs::path("/tmp");
  return Paths(base / ".local" / "share" / "tarvex");
}

fs::path Paths::autosave_root() const {
  return child_ignoring_case(root_, "autosave");
}

fs::path Paths::autosave_dir(std::string_view subdir) const {
  fs::path base = autosave_root();
  if (subdir.empty()) return base;
  // The sub-folder comes from the settings file: one that would lead out of
  // the automatic-save folder (an absolute path, a ".." step) is not used,
  // and the images go into the automatic-save folder itself.
  const fs::path sub(subdir);
  if (sub.is_absolute() || sub.has_root_name()) return base;
  for (const fs::path& part : sub)
    if (part == "..") return base;
  return child_ignoring_case(base, subdir);
}

fs::path Paths::settings_file() const {
  return child_ignoring_case(autosave_root(), "Tarvex.ini");
}

fs::path Paths::bitmap_file(bool small_frame) const {
  return child_ignoring_case(root_, small_frame ? "tvximgf.bmp" : "tvximg.bmp");
}

fs::path Paths::dark_definition_file() const {
  return child_ignoring_case(root_, "dark.def");
}

fs::path Paths::flat_definition_file() const {
  return child_ignoring_case(root_, "flat.def");
}

fs::path Paths::recent_files_file() const {
  return root_ / "recent-files";
}

fs::path Paths::more_settings_file() const {
  return root_ / "tarvex.conf";
}

fs::path Paths::com_port(int n) const {
  fs::path link = root_ / ("com" + std::to_string(n));
  if (exists_quietly(link)) return link;
  fs::path usb = "/dev/ttyUSB" + std::to_string(n - 1);
  if (exists_quietly(usb)) return usb;
  return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace tarvex
