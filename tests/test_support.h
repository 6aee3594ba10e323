// Shared helpers of the tests: temporary folders, file bytes and a context
// with recording ports.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/tarvex.h"
#include "platform/basic_ports.h"

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

// A frame pattern whose samples all differ in both bytes, so any misplaced
// byte in a file layout shows.
inline std::uint16_t pattern(int i, int salt) {
  return static_cast<std::uint16_t>(i * 7 + salt * 1013 + (i >> 9));
}

inline void fill_frame(Frame& f, int salt) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) f[i] = pattern(i, salt);
}

// A context whose ports record what they were asked to do, with its data
// root in a temporary folder.
struct TestApp {
  TempDir dir;
  RecordingMessages messages;
  VirtualClock clock;
  NullPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  std::unique_ptr<Tarvex> app;

  TestApp() {
    app = std::make_unique<Tarvex>(Paths(dir.path() / "data"),
                                   Ports{messages, clock, pump, progress, launcher, display});
  }
  Tarvex& operator*() { return *app; }
  Tarvex* operator->() { return app.get(); }
};

}  // namespace tarvex::testing
