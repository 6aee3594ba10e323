// Shared helpers of the tests: temporary folders, file bytes and frame
// patterns.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/frame_store.h"

namespace tarvex::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-test-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    path_ = made != nullptr ? std::filesystem::path(made) : std::filesystem::path(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// PATH set to `value` for a scope.
class PathSetting {
 public:
  explicit PathSetting(const std::string& value) : old_(std::getenv("PATH")) {
    ::setenv("PATH", value.c_str(), 1);
  }
  ~PathSetting() { ::setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void write_bytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline void append_u16le(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(static_cast<std::uint8_t>(x & 0xFF));
  v.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
}

inline void append_text(std::vector<std::uint8_t>& v, const std::string& s) {
  v.insert(v.end(), s.begin(), s.end());
}

// The permission bits of a file, as `ls -l` shows them.
inline unsigned file_mode(const std::filesystem::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return 0;
  return static_cast<unsigned>(st.st_mode & 07777);
}

// Sets the umask for the life of the scope.
class UmaskScope {
 public:
  explicit UmaskScope(mode_t mask) : old_(::umask(mask)) {}
  ~UmaskScope() { ::umask(old_); }
  UmaskScope(const UmaskScope&) = delete;
  UmaskScope& operator=(const UmaskScope&) = delete;

 private:
  mode_t old_;
};

// A frame pattern whose samples all differ in both bytes, so any misplaced
// byte in a file layout shows.
inline std::uint16_t pattern(int i, int salt) {
  return static_cast<std::uint16_t>(i * 7 + salt * 1013 + (i >> 9));
}

inline void fill_frame(Frame& f, int salt) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) f[i] = pattern(i, salt);
}

}  // namespace tarvex::testing
