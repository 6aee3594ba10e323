#include "platform/file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>

namespace tarvex {

namespace fs = std::filesystem;

namespace {

// The process's file mode creation mask, read without changing it (the
// status file of the process shows it); where that file has no such line,
// it is set and put back at once.
mode_t current_umask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr)
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask & 0777);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

}  // namespace

AtomicFile::~AtomicFile() {
  discard();
}

bool AtomicFile::fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  return false;
}

bool AtomicFile::open(const fs::path& target) {
  discard();
  error_ = 0;
  finished_ = false;
  target_ = save_destination(target);
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target_, ec))) return fail(ELOOP);  // a loop of links
  const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
  // A fresh random name for every try; a name that exists already (a file,
  // or a link someone placed there) is passed over, never opened. The
  // process number at the end tells a later start whether the file's writer
  // is still alive.
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const std::string pid = std::to_string(::getpid());
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    unsigned char random[TEMPORARY_FILE_RANDOM];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
      return fail(errno);
    std::string name = TEMPORARY_FILE_PREFIX;
    for (unsigned char r : random) name.push_back(kLetters[r % (sizeof kLetters - 1)]);
    name.push_back('-');
    name.append(pid);
    const fs::path candidate = folder / name;
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      temp_ = candidate;
    } else if (errno != EEXIST) {
      return fail(errno);
    }
  }
  if (fd_ < 0) return fail(EEXIST);
  // The temporary file becomes the target, so it gets the target's mode now:
  // that of the file it replaces, or for a new file the permissions of any
  // new file, 0666 less the umask (0644 normally).
  struct stat existing {};
  const bool replaces = ::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  ::fchmod(fd_, replaces ? (existing.st_mode & 0777) : (0666 & ~current_umask()));
  return true;
}

bool AtomicFile::write(const void* data, std::size_t n) {
  if (fd_ < 0) return false;
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return fail(errno);
    if (w == 0) return fail(ENOSPC);  // nothing more goes in
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool AtomicFile::write_rows_bottom_up(const std::uint8_t* data, std::size_t row_bytes,
                                      std::size_t rows) {
  if (fd_ < 0) return false;
  // Gather the rows into one writev call per IOV_MAX rows, so a whole bitmap
  // goes out in a single system call without copying it first.
  constexpr std::size_t kBatch = IOV_MAX < 1024 ? IOV_MAX : 1024;
  iovec iov[kBatch];
  std::size_t row = rows;
  while (row > 0) {
    std::size_t n = 0;
    std::size_t total = 0;
    while (row > 0 && n < kBatch) {
      --row;
      iov[n].iov_base = const_cast<std::uint8_t*>(data + row * row_bytes);
      iov[n].iov_len = row_bytes;
      total += row_bytes;
      ++n;
    }
    ssize_t w = ::writev(fd_, iov, static_cast<int>(n));
    while (w < 0 && errno == EINTR) w = ::writev(fd_, iov, static_cast<int>(n));
    if (w < 0) return fail(errno);
    if (static_cast<std::size_t>(w) != total) {
      // Finish a partial gather write row by row.
      std::size_t done = static_cast<std::size_t>(w);
      for (std::size_t k = 0; k < n; ++k) {
        if (done >= iov[k].iov_len) {
          done -= iov[k].iov_len;
          continue;
        }
        if (!write(static_cast<const char*>(iov[k].iov_base) + done, iov[k].iov_len - done))
          return false;
        done = 0;
      }
    }
  }
  return true;
}

namespace {

// Makes a new name in `folder` durable: it is on the disk only once the
// folder is.
void sync_folder(const fs::path& file) {
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// Gives `from` the name `to` only when no file of that name exists; errno
// is EEXIST when one does. Where the file system cannot rename without
// replacing, the name is first reserved with an empty file created
// exclusively, which the finished file then replaces.
bool rename_no_replace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  const int reserved =
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (reserved < 0) return false;
  ::close(reserved);
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  const int error = errno;
  ::unlink(to.c_str());
  errno = error;
  return false;
}

}  // namespace

bool AtomicFile::finish(bool durable) {
  if (finished_) return true;
  if (fd_ < 0) return fail(EBADF);
  bool ok = true;
  if (durable && ::fsync(fd_) != 0) ok = fail(errno);
  if (::close(fd_) != 0 && ok) ok = fail(errno);
  fd_ = -1;
  finished_ = ok;
  return ok;
}

bool AtomicFile::commit(bool durable) {
  if (temp_.empty()) return fail(EBADF);
  bool ok = finish(durable);
  if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = fail(errno);
  if (!ok) {
    ::unlink(temp_.c_str());
  } else if (durable) {
    sync_folder(target_);
  }
  temp_.clear();
  finished_ = false;
  return ok;
}

bool AtomicFile::commit_new(const fs::path& target, bool durable) {
  if (temp_.empty()) return fail(EBADF);
  if (error_ == EEXIST) error_ = 0;  // a name taken before is no failure
  bool ok = finish(durable);
  if (ok && !rename_no_replace(temp_, target)) {
    const int error = errno;
    // The name is taken: the finished file stays for the next name tried.
    if (error == EEXIST) {
      error_ = EEXIST;
      return false;
    }
    ok = fail(error);
  }
  if (!ok) {
    ::unlink(temp_.c_str());
  } else if (durable) {
    sync_folder(target);
  }
  temp_.clear();
  finished_ = false;
  return ok;
}

void AtomicFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  finished_ = false;
}

InputFile::~InputFile() {
  close();
}

bool InputFile::open(const fs::path& path) {
  close();
  // O_NONBLOCK: opening a FIFO without a writer (or a device) would block
  // for ever; the check below refuses it before anything is read.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    close();
    return false;
  }
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  size_ = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool InputFile::read(void* data, std::size_t n) {
  if (fd_ < 0) return false;
  auto* p = static_cast<char*>(data);
  while (n > 0) {
    ssize_t r = ::read(fd_, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

bool InputFile::seek(std::uint64_t offset) {
  if (fd_ < 0) return false;
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

fs::path save_destination(const fs::path& target) {
  fs::path p = target;
  // At most 40 links, as the kernel follows; a longer chain (or a loop) is
  // left for open to refuse.
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    const fs::path link = fs::read_symlink(p, ec);
    if (ec) break;
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  return p;
}

namespace {

// The process number in a temporary file's name: ".tvxtmp", the random
// letters and digits, then "-" and the number (0 when the name has none, as
// earlier versions made them). False for any other name.
bool temporary_file_name(const std::string& name, long& pid) {
  const std::string prefix = TEMPORARY_FILE_PREFIX;
  if (name.size() < prefix.size() + TEMPORARY_FILE_RANDOM || name.compare(0, prefix.size(), prefix))
    return false;
  std::size_t at = prefix.size();
  for (std::size_t end = at + TEMPORARY_FILE_RANDOM; at < end; ++at)
    if (std::isalnum(static_cast<unsigned char>(name[at])) == 0) return false;
  pid = 0;
  if (at == name.size()) return true;
  if (name[at] != '-' || at + 1 == name.size() || name.size() - at > 11) return false;
  for (++at; at < name.size(); ++at) {
    if (std::isdigit(static_cast<unsigned char>(name[at])) == 0) return false;
    pid = pid * 10 + (name[at] - '0');
  }
  return pid > 0;
}

}  // namespace

int remove_stale_temporary_files(const fs::path& folder) {
  constexpr std::time_t kUntouchedSeconds = 60;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return 0;
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  for (const fs::directory_entry& entry : it) {
    long pid = 0;
    if (!temporary_file_name(entry.path().filename().string(), pid)) continue;
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
      continue;
    // A process number that no process has any more: its writer was killed.
    // One still alive (this process too) may be writing it. A name without
    // a number goes once nobody has written to it for a minute.
    const bool writer_gone =
        pid > 0 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    const bool untouched = now - st.st_mtime > kUntouchedSeconds;
    if ((writer_gone || (untouched && pid != ::getpid())) && ::unlink(entry.path().c_str()) == 0)
      ++removed;
  }
  return removed;
}

void ignore_file_size_signal() {
  std::signal(SIGXFSZ, SIG_IGN);
}

bool make_folder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  const int error = ec.value();
  std::error_code ec2;
  if (fs::is_directory(folder, ec2)) return true;
  // Something that is no folder already has the name (or a step of it).
  errno = error != 0 && error != EEXIST ? error : ENOTDIR;
  return false;
}

}  // namespace tarvex
