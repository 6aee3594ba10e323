#include "files/recent_files.h"

#include <algorithm>
#include <string>

#include "platform/file_io.h"

namespace tarvex {

namespace {

// A list file is a few hundred bytes; anything far larger is not ours.
constexpr std::uint64_t kMaxListBytes = 64 * 1024;

bool keepable(const std::filesystem::path& p) {
  const std::string& s = p.native();
  return p.is_absolute() && s.find('\n') == std::string::npos && s.find('\r') == std::string::npos;
}

}  // namespace

void RecentFiles::add(const std::filesystem::path& file) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(file, ec).lexically_normal();
  if (ec) return;
  if (!keepable(full)) return;
  remove(full);
  files_.insert(files_.begin(), full);
  if (files_.size() > RECENT_FILES_MAX) files_.resize(RECENT_FILES_MAX);
}

void RecentFiles::remove(const std::filesystem::path& file) {
  files_.erase(std::remove(files_.begin(), files_.end(), file), files_.end());
}

RecentFiles load_recent_files(const std::filesystem::path& list_file) {
  RecentFiles recent;
  InputFile in;
  if (!in.open(list_file) || in.size() > kMaxListBytes) return recent;
  std::string text(static_cast<std::size_t>(in.size()), '\0');
  if (!text.empty() && !in.read(text.data(), text.size())) return recent;
  std::vector<std::filesystem::path> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::filesystem::path p(text.substr(at, end - at));
    if (keepable(p)) lines.push_back(p);
    at = end + 1;
  }
  // Oldest first, so the first line ends up first again.
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) recent.add(*it);
  return recent;
}

FileSave save_recent_files(const std::filesystem::path& list_file, const RecentFiles& recent) {
  std::string text;
  for (const auto& f : recent.files()) text += f.native() + "\n";
  AtomicFile out;
  return saved_if(out.open(list_file) && out.write(text.data(), text.size()) && out.commit(false));
}

}  // namespace tarvex
