// A Tarvex context with recording ports and its own data folder, for tests.
#pragma once

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "app/tarvex.h"
#include "platform/basic_ports.h"

namespace tarvex::testing {

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("tarvex-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct FolderTestApp {
  TempFolder folder;
  RecordingMessages messages;
  VirtualClock clock;
  NullPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  std::unique_ptr<Tarvex> app;

  FolderTestApp() {
    app = std::make_unique<Tarvex>(Paths(folder.path()),
                                   Ports{messages, clock, pump, progress, launcher, display});
  }
  Tarvex& operator*() { return *app; }
  Tarvex* operator->() { return app.get(); }
};

}  // namespace tarvex::testing
