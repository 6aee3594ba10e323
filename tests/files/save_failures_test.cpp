// Saves that cannot finish: a process killed at a random moment while it
// writes, a full disk, and a file-size limit (RLIMIT_FSIZE). For every kind
// of file the program writes (KR File, flat field, FITS, settings, TIFF and
// the display bitmap) the target must afterwards be the complete old file or
// the complete new one, and a save that failed cleanly leaves no temporary
// file behind.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/display_pipeline.h"
#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/file_messages.h"
#include "app/fits_commands.h"
#include "cli/cli.h"
#include "files/fits.h"
#include "files/raw_file.h"
#include "files/settings.h"
#include "files/tiff.h"
#include "image/display.h"
#include "platform/file_io.h"
#include "platform/messages.h"
#include "test_context.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using testing::fill_frame;
using testing::read_bytes;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

// One kind of file: how to write version `v` of it (v changes every byte of
// the picture, or the settings' numbers).
struct Kind {
  const char* name;
  std::function<bool(const fs::path&, FrameStore&, int v)> save;
};

void prepare(FrameStore& f, int v) {
  fill_frame(f.CurrentFrame, v);
  fill_frame(f.RedPlane, v + 1);
  fill_frame(f.GreenPlane, v + 2);
  fill_frame(f.BluePlane, v + 3);
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    f.DisplayBytes[i] = static_cast<std::uint8_t>(i * 3 + v);
    f.RgbBitmap[3 * i] = static_cast<std::uint8_t>(i + v);
    f.RgbBitmap[3 * i + 1] = static_cast<std::uint8_t>(i * 5 + v);
    f.RgbBitmap[3 * i + 2] = static_cast<std::uint8_t>(i * 7 + v);
  }
}

const std::vector<Kind>& kinds() {
  static const std::vector<Kind> all = {
      {"KR File",
       [](const fs::path& p, FrameStore& f, int v) {
         prepare(f, v);
         f.IsColour = true;
         return save_raw(p, f) == RawSave::Ok;
       }},
      {"flat field",
       [](const fs::path& p, FrameStore& f, int v) {
         prepare(f, v);
         f.IsColour = false;
         return save_flat_field(p, f) == FileSave::Ok;
       }},
      {"FITS",
       [](const fs::path& p, FrameStore& f, int v) {
         prepare(f, v);
         FitsText text;
         text.fits_object = std::to_string(v) + " Orionis";
         return save_fits(p, true, f, text, ProcessingHistory{}) == FileSave::Ok;
       }},
      {"settings",
       [](const fs::path& p, FrameStore&, int v) {
         Settings s;
         s.autosave_number = static_cast<std::int16_t>(v);
         FitsText text;
         text.fits_comment = std::string(200, static_cast<char>('a' + v % 26));
         return save_settings(p, s, text) == FileSave::Ok;
       }},
      {"TIFF",
       [](const fs::path& p, FrameStore& f, int v) {
         prepare(f, v);
         f.IsColour = true;
         return save_tiff(p, f) == FileSave::Ok;
       }},
      {"bitmap",
       [](const fs::path& p, FrameStore& f, int v) {
         prepare(f, v);
         return write_colour_bitmap(p, f) == BitmapWrite::Ok;
       }},
  };
  return all;
}

std::vector<fs::path> temporary_files(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().rfind(TEMPORARY_FILE_PREFIX, 0) == 0)
      found.push_back(e.path());
  return found;
}

int kill_rounds() {
  const char* env = std::getenv("TARVEX_KILL_ROUNDS");
  const int n = env != nullptr ? std::atoi(env) : 0;
  return n > 0 ? n : 30;
}

TEST(InterruptedSave, AKilledWriterLeavesTheOldFileOrTheNewOneNeverAPartOfEither) {
  auto store = std::make_unique<FrameStore>();
  init_frame_store(*store);
  std::mt19937 rng(20240309);
  int total = 0, mid_write = 0;
  for (const Kind& kind : kinds()) {
    TempDir dir;
    const fs::path target = dir / "target";
    ASSERT_TRUE(kind.save(dir / "old", *store, 1)) << kind.name;
    ASSERT_TRUE(kind.save(dir / "new", *store, 2)) << kind.name;
    const Bytes old_bytes = read_bytes(dir / "old"), new_bytes = read_bytes(dir / "new");
    ASSERT_NE(old_bytes, new_bytes) << kind.name;

    // How long one save takes here, so the kills spread over whole saves.
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(kind.save(target, *store, 1));
    const auto save_us = std::max<long>(200, std::chrono::duration_cast<std::chrono::microseconds>(
                                                 std::chrono::steady_clock::now() - t0)
                                                 .count());
    std::uniform_int_distribution<long> when(0, 2 * save_us);

    for (int round = 0; round < kill_rounds(); ++round) {
      // The kill is timed from the child's first save, not from the fork,
      // which takes as long as a save itself on a loaded machine.
      int started[2];
      ASSERT_EQ(::pipe(started), 0);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ::close(started[0]);
        const char go = 1;
        if (::write(started[1], &go, 1) != 1) ::_exit(1);
        // Writes the new and the old version in turn until it is killed.
        for (int v = 2;; v = 3 - v) kind.save(target, *store, v);
      }
      ::close(started[1]);
      char go = 0;
      ASSERT_EQ(::read(started[0], &go, 1), 1);
      ::close(started[0]);
      std::this_thread::sleep_for(std::chrono::microseconds(when(rng)));
      ::kill(child, SIGKILL);
      int status = 0;
      ::waitpid(child, &status, 0);
      ++total;
      const Bytes now = read_bytes(target);
      ASSERT_TRUE(now == old_bytes || now == new_bytes)
          << kind.name << ": a partial file of " << now.size() << " bytes after round " << round;
      // A killed save cannot clean up after itself; its temporary file is
      // the evidence that the kill came in the middle of a write.
      const auto left = temporary_files(dir.path());
      if (!left.empty()) ++mid_write;
      for (const auto& p : left) fs::remove(p);
    }
  }
  std::printf("interrupted saves: %d kills, %d in the middle of a write\n", total, mid_write);
  EXPECT_GT(mid_write, 0);
}

// Runs `body` in a child process and returns its exit status; the child
// prints what went wrong to the error stream.
int in_child(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

constexpr int kSkip = 77;

// Checks, in the child, that a failed save of every kind reported its
// message and left the previous file and no temporary file. Returns the
// number of faults found.
int check_failed_saves(testing::TestContext& t, const fs::path& folder,
                       const std::function<void()>& before_saving) {
  int faults = 0;
  auto fault = [&](const std::string& what) {
    std::fprintf(stderr, "fault: %s\n", what.c_str());
    ++faults;
  };
  FrameStore& f = t->store();
  struct AppSave {
    const char* name;
    std::function<Reported(const fs::path&)> save;
    Msg message;
  };
  const std::vector<AppSave> saves = {
      {"KR File", [&](const fs::path& p) { return save_image(*t, p); }, Msg::KrFrameNotWritten},
      {"flat field", [&](const fs::path& p) { return save_flat_image(*t, p); },
       IMAGE_NOT_SAVED_MESSAGE},
      {"FITS", [&](const fs::path& p) { return save_fits_image(*t, p); }, IMAGE_NOT_SAVED_MESSAGE},
      {"TIFF", [&](const fs::path& p) { return save_tiff_command(*t, p); },
       IMAGE_NOT_SAVED_MESSAGE},
  };
  // Every previous file is written first, then the disk is made to fail.
  prepare(f, 1);
  for (const auto& s : saves)
    if (!s.save(folder / s.name).ok()) fault(std::string("first save of ") + s.name);
  if (!refresh_display(*t).ok()) fault("first display bitmap");
  Settings settings;
  if (save_settings(t->paths.settings_file(), settings, t->fits) != FileSave::Ok)
    fault("first settings");
  std::vector<std::pair<fs::path, Bytes>> before;
  for (const auto& s : saves) before.emplace_back(folder / s.name, read_bytes(folder / s.name));
  before.emplace_back(t->paths.bitmap_file(false), read_bytes(t->paths.bitmap_file(false)));
  before.emplace_back(t->paths.settings_file(), read_bytes(t->paths.settings_file()));
  t.messages.shown.clear();

  before_saving();
  prepare(f, 2);
  for (const auto& s : saves) {
    t.messages.shown.clear();
    if (s.save(folder / s.name).ok()) fault(std::string(s.name) + " saved");
    const unsigned code = message_number(s.message);
    if (t.messages.shown.size() != 1 || t.messages.shown[0].code != code)
      fault(std::string(s.name) + ": not its message " + std::to_string(code));
  }
  t.messages.shown.clear();
  if (refresh_display(*t).ok()) fault("display bitmap written");
  if (t.messages.shown.empty() || t.messages.shown[0].code < 8 || t.messages.shown[0].code > 10)
    fault("display bitmap: no message 8, 9 or 10");
  settings.autosave_number = 7;
  if (save_settings(t->paths.settings_file(), settings, t->fits) != FileSave::Failed)
    fault("settings saved");

  for (const auto& [path, bytes] : before)
    if (read_bytes(path) != bytes) fault(path.string() + " changed");
  for (const fs::path& d : {folder, t->paths.data_root(), t->paths.settings_file().parent_path()})
    if (!temporary_files(d).empty()) fault("temporary file left in " + d.string());
  return faults;
}

TEST(FailedSave, AFileSizeLimitFailsEverySaveWithItsMessage) {
  const int faults = in_child([] {
    testing::TestContext t;
    const fs::path folder = t.dir / "images";
    fs::create_directories(folder);
    ignore_file_size_signal();
    return check_failed_saves(t, folder, [] {
      // Below every file the program writes, the 1184-byte settings file too.
      rlimit limit{1000, 1000};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    });
  });
  EXPECT_EQ(faults, 0) << "see the faults printed above";
}

TEST(FailedSave, AFullDiskFailsEverySaveWithItsMessage) {
  const int faults = in_child([] {
    testing::TestContext t;
    // A small file system of its own over the test folder: a private mount
    // namespace (as root, or as this user inside a user namespace).
    const bool root = ::geteuid() == 0;
    if (::unshare(CLONE_NEWNS | (root ? 0 : CLONE_NEWUSER)) != 0) return kSkip;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kSkip;
    if (::mount("tarvex-test", t.dir.path().c_str(), "tmpfs", 0, "size=16m") != 0) return kSkip;
    const fs::path folder = t.dir / "images";
    fs::create_directories(folder);
    const int found = check_failed_saves(t, folder, [&] {
      // Fill the disk to the last block.
      std::FILE* filler = std::fopen((t.dir / "filler").c_str(), "wb");
      static char block[4096] = {};
      while (filler != nullptr && std::fwrite(block, 1, sizeof block, filler) == sizeof block) {
      }
      if (filler != nullptr) std::fclose(filler);
    });
    ::umount2(t.dir.path().c_str(), MNT_DETACH);
    return found;
  });
  if (faults == kSkip) GTEST_SKIP() << "no private tmpfs can be mounted here";
  EXPECT_EQ(faults, 0) << "see the faults printed above";
}

// A continuous run with automatic saving on a disk that cannot take the
// files: the run ends at the first failed save with the reason, exit status
// 1 and the count of exposures and of files saved; nothing is left behind.
TEST(FailedSave, AContinuousRunEndsAtTheFirstFailedAutosave) {
  const int faults = in_child([] {
    TempDir dir;
    const bool root = ::geteuid() == 0;
    if (::unshare(CLONE_NEWNS | (root ? 0 : CLONE_NEWUSER)) != 0) return kSkip;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kSkip;
    if (::mount("tarvex-test", dir.path().c_str(), "tmpfs", 0, "size=16m") != 0) return kSkip;
    int found = 0;
    const fs::path autosave = dir / "data" / "autosave";
    auto run_until_failure = [&](const std::string& what, Msg m, const char* reason) {
      const unsigned code = message_number(m);
      std::ostringstream out, err;
      const int status =
          cli::run({"--data-root", (dir / "data").string(), "--simulator", "--virtual-time",
                    "capture", "--range", "t", "--value", "5", "--continuous", "--autosave"},
                   out, err);
      const std::string e = err.str();
      auto fault = [&](const std::string& f) {
        std::fprintf(stderr, "fault (%s): %s\n%s\n", what.c_str(), f.c_str(), e.c_str());
        ++found;
      };
      if (status != 1) fault("exit status " + std::to_string(status));
      if (e.find("capture: 1 exposure taken, 0 saved\n") == std::string::npos)
        fault("no count line");
      const std::string message = "message " + std::to_string(code) + ": " + message_text(code) +
                                  "\n\n" + (autosave / "IMG1.FIT").string() + ": " + reason;
      if (e.find(message) == std::string::npos) fault("not: " + message);
      if (!out.str().empty()) fault("a file reported: " + out.str());
      if (!temporary_files(autosave).empty()) fault("temporary file left");
    };
    // The first start writes its settings; then the disk fills up.
    fs::create_directories(autosave);
    Settings settings;
    FitsText text;
    RecordingMessages messages;
    load_settings(autosave / "Tarvex.ini", settings, text, messages);
    std::FILE* filler = std::fopen((dir / "filler").c_str(), "wb");
    static char block[4096] = {};
    while (filler != nullptr && std::fwrite(block, 1, sizeof block, filler) == sizeof block) {
    }
    if (filler != nullptr) std::fclose(filler);
    run_until_failure("full disk", Msg::CannotCreateFile, std::strerror(ENOSPC));
    // Room again, but the folder read-only: its own words, not disk space.
    fs::remove(dir / "filler");
    if (::mount(nullptr, dir.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
      return kSkip;
    run_until_failure("read-only", Msg::FolderReadOnly, std::strerror(EROFS));
    ::umount2(dir.path().c_str(), MNT_DETACH);
    return found;
  });
  if (faults == kSkip) GTEST_SKIP() << "no private tmpfs can be mounted here";
  EXPECT_EQ(faults, 0) << "see the faults printed above";
}

}  // namespace
}  // namespace tarvex
