#include "platform/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace tarvex {

namespace {

constexpr std::size_t kMaxOutput = 1 << 20;

bool executable_file(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Ends the whole process group: politely first, then for certain.
void end_group(pid_t pid) {
  ::kill(-pid, SIGTERM);
  for (int i = 0; i < 20; ++i) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      ::kill(-pid, SIGKILL);  // whatever it started and left behind
      return;
    }
    ::usleep(10000);
  }
  ::kill(-pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::filesystem::path find_program(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos)
    return executable_file(program) ? std::filesystem::path(program) : std::filesystem::path();
  const char* path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::filesystem::path candidate = std::filesystem::path(dir) / program;
    if (executable_file(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

RunOutcome run_program(const std::string& program, const std::vector<std::string>& args,
                       const std::filesystem::path& working_folder, std::chrono::milliseconds limit,
                       const std::atomic<bool>* cancel) {
  RunOutcome outcome;
  const std::filesystem::path exe = find_program(program);
  if (exe.empty()) {
    outcome.result = RunResult::NotFound;
    return outcome;
  }
  // Everything the child needs is made before the fork: between fork and
  // exec only system calls are made, as is safe in a program with threads.
  std::vector<std::string> words;
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const std::string exe_text = exe.string();
  const std::string folder_text = working_folder.string();

  int out_pipe[2] = {-1, -1};
  int err_pipe[2] = {-1, -1};  // tells the parent why exec failed
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) return outcome;
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
    close_fd(out_pipe[0]);
    close_fd(out_pipe[1]);
    return outcome;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    for (int* fd : {&out_pipe[0], &out_pipe[1], &err_pipe[0], &err_pipe[1]}) close_fd(*fd);
    return outcome;
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    const int null_in = ::open("/dev/null", O_RDONLY);
    if (null_in >= 0) ::dup2(null_in, 0);
    ::dup2(out_pipe[1], 1);
    ::dup2(out_pipe[1], 2);
    int error = 0;
    if (!folder_text.empty() && ::chdir(folder_text.c_str()) != 0) error = errno;
    if (error == 0) {
      // The handlers of the parent do not pass an exec; dispositions set to
      // ignore would, so the defaults are put back.
      for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) ::signal(s, SIG_DFL);
      ::execv(exe_text.c_str(), argv.data());
      error = errno;
    }
    [[maybe_unused]] const ssize_t n = ::write(err_pipe[1], &error, sizeof error);
    ::_exit(127);
  }
  ::setpgid(pid, pid);  // also here, so the group exists whichever runs first
  close_fd(out_pipe[1]);
  close_fd(err_pipe[1]);
  int exec_error = 0;
  ssize_t got = 0;
  do {
    got = ::read(err_pipe[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  close_fd(err_pipe[0]);
  if (got == static_cast<ssize_t>(sizeof exec_error)) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    close_fd(out_pipe[0]);
    outcome.result = exec_error == ENOENT || exec_error == EACCES || exec_error == ENOEXEC
                         ? RunResult::NotFound
                         : RunResult::StartFailed;
    return outcome;
  }

  const auto start = std::chrono::steady_clock::now();
  bool reading = true;
  for (;;) {
    if (cancel != nullptr && cancel->load()) {
      end_group(pid);
      outcome.result = RunResult::Cancelled;
      break;
    }
    if (limit.count() > 0 && std::chrono::steady_clock::now() - start >= limit) {
      end_group(pid);
      outcome.result = RunResult::TimedOut;
      break;
    }
    if (reading) {
      pollfd p{out_pipe[0], POLLIN, 0};
      const int ready = ::poll(&p, 1, 50);
      if (ready > 0) {
        char buffer[4096];
        const ssize_t n = ::read(out_pipe[0], buffer, sizeof buffer);
        if (n > 0) {
          if (outcome.output.size() < kMaxOutput)
            outcome.output.append(buffer, static_cast<std::size_t>(n));
          continue;
        }
        if (n == 0) reading = false;  // every writer has closed it
      }
    } else {
      ::usleep(20000);
    }
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      // Whatever it left running in its group goes with it.
      ::kill(-pid, SIGKILL);
      if (WIFEXITED(status)) {
        outcome.result = RunResult::Exited;
        outcome.exit_status = WEXITSTATUS(status);
      } else {
        outcome.result = RunResult::Signalled;
      }
      break;
    }
  }
  // What is left in the pipe, without waiting.
  if (out_pipe[0] >= 0) {
    ::fcntl(out_pipe[0], F_SETFL, O_NONBLOCK);
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(out_pipe[0], buffer, sizeof buffer)) > 0 &&
           outcome.output.size() < kMaxOutput)
      outcome.output.append(buffer, static_cast<std::size_t>(n));
  }
  close_fd(out_pipe[0]);
  return outcome;
}

TemporaryFolder::TemporaryFolder(const std::string& prefix) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace tarvex
