#include "platform/subprocess.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "test_support.h"

namespace tarvex {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// The process whose number a helper wrote into `file` has ended: it no
// longer exists, or is a zombie waiting for whoever adopted it to reap it.
bool process_gone(const std::filesystem::path& file) {
  std::ifstream in(file);
  pid_t pid = 0;
  if (!(in >> pid) || pid <= 0) return false;
  for (int i = 0; i < 100; ++i) {
    if (::kill(pid, 0) != 0) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto paren = line.rfind(')');
    if (paren != std::string::npos && line.size() > paren + 2 && line[paren + 2] == 'Z')
      return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST(Subprocess, RunsWithoutShellCollectingOutputAndExitStatus) {
  TempDir dir;
  // The argument reaches the program as one word, quotes and all: no shell
  // reads it on the way.
  const RunOutcome r =
      run_program("sh", {"-c", "printf '%s|' \"$0\" \"$(pwd)\"; echo oops >&2; exit 3", "a 'b' $c"},
                  dir.path(), 10s);
  EXPECT_EQ(r.result, RunResult::Exited);
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_EQ(r.output, "a 'b' $c|" + std::filesystem::canonical(dir.path()).string() + "|oops\n");
}

TEST(Subprocess, TellsAMissingProgramApart) {
  EXPECT_EQ(run_program("tarvex-no-such-program", {}, {}, 1s).result, RunResult::NotFound);
  EXPECT_TRUE(find_program("tarvex-no-such-program").empty());
  EXPECT_FALSE(find_program("sh").empty());
}

TEST(Subprocess, TimeLimitAndCancelEndTheWholeGroup) {
  TempDir dir;
  // A child that leaves a grandchild running: both must go.
  const std::string script = "sleep 30 & echo $! > grandchild; sleep 30";
  auto start = std::chrono::steady_clock::now();
  RunOutcome r = run_program("sh", {"-c", script}, dir.path(), 300ms);
  EXPECT_EQ(r.result, RunResult::TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(process_gone(dir / "grandchild"));

  std::atomic<bool> cancel{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(200ms);
    cancel = true;
  });
  start = std::chrono::steady_clock::now();
  r = run_program("sh", {"-c", script}, dir.path(), 0ms, &cancel);
  stopper.join();
  EXPECT_EQ(r.result, RunResult::Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(process_gone(dir / "grandchild"));
}

TEST(Subprocess, TemporaryFolderGoesWithItsContents) {
  std::filesystem::path kept;
  {
    TemporaryFolder folder("tarvex-test");
    ASSERT_TRUE(folder.ok());
    kept = folder.path();
    std::filesystem::create_directory(kept / "inner");
    std::ofstream(kept / "inner" / "file") << "x";
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
}  // namespace tarvex
