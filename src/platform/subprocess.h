// Running another program and waiting for it: the program is started
// directly (no shell reads its arguments), in a process group of its own, with
// its standard output and error collected. It is ended, with every process it
// started, when a cancel flag turns true or a wall-time bound passes, so a
// stuck or abandoned helper never outlives the command that started it.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvex {

enum class RunResult {
  Exited,       // it ran to its end; exit_status says how
  NotFound,     // no such program on the PATH (or not executable)
  StartFailed,  // the system refused to start it (out of processes, memory)
  TimedOut,     // the wall-time bound passed; it was killed
  Cancelled,    // the cancel flag turned true; it was killed
  Signalled,    // a signal it did not send itself ended it
};

struct RunOutcome {
  RunResult result = RunResult::StartFailed;
  int exit_status = -1;  // for Exited
  std::string output;    // standard output and error together, cut at 1 MB
};

// Runs `program` (a name looked up on the PATH, or a path) with `args` in
// `working_folder` (the current one when empty). A zero `limit` waits as long
// as it takes.
RunOutcome run_program(const std::string& program, const std::vector<std::string>& args,
                       const std::filesystem::path& working_folder, std::chrono::milliseconds limit,
                       const std::atomic<bool>* cancel = nullptr);

// The executable file `program` names on the PATH (or the path itself when
// it has a '/'), empty when there is none.
std::filesystem::path find_program(const std::string& program);

// A fresh private folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::string& prefix = "tarvex");
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  // False when no folder could be made.
  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tarvex
