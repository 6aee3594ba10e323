// File access used by every reader and writer of the program.
//
// Writers go through AtomicFile: the bytes are written to a temporary file
// beside the target, which replaces the target only when every byte was
// written. A failed save therefore leaves the previous file as it was, and
// removes its temporary file.
//
// The temporary file has a short unpredictable name (".tvxtmp", six random
// characters and the writer's process number, so it fits whatever name the
// target has) and is created
// with O_CREAT | O_EXCL | O_NOFOLLOW: a link planted in the folder under a
// guessed name can never redirect a save. A target that is a symbolic link
// is followed: the file the link points to is replaced, the link stays.
//
// A file of a numbered series is never replaced: commit_new gives the
// finished file its name only while no file of that name exists, in one
// step, so two programs saving into one folder can never take the same name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tarvex {

class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();  // discards the temporary file unless committed

  // Creates the temporary file: with the mode of the target when it exists,
  // else 0666 less the umask. False when it cannot.
  bool open(const std::filesystem::path& target);
  // The temporary file being written (empty when none), for tests.
  const std::filesystem::path& temporary_path() const { return temp_; }
  // Writes all n bytes; false on a short write.
  bool write(const void* data, std::size_t n);
  // Writes `rows` rows of `row_bytes` bytes each, the last row of `data`
  // first (the order of device-independent bitmaps); false on a short write.
  bool write_rows_bottom_up(const std::uint8_t* data, std::size_t row_bytes, std::size_t rows);
  // Closes the temporary file and renames it over the target. With durable
  // set the data is flushed to the disk first. False when that fails (the
  // target is then left as it was).
  bool commit(bool durable);
  // Closes the temporary file (flushed to the disk first with durable set)
  // and gives it the name `target` only when no file of that name exists;
  // the check and the naming are one step. False when that fails: error()
  // is EEXIST when the name was taken, and the temporary file is then kept,
  // so another name can be tried with a further call; on any other failure
  // it is removed. `target` must be in the folder open() was given.
  bool commit_new(const std::filesystem::path& target, bool durable);
  // Drops the temporary file.
  void discard();
  // The system's error number of the step that failed (0 when none did).
  int error() const { return error_; }

 private:
  bool fail(int error);
  bool finish(bool durable);

  int fd_ = -1;
  int error_ = 0;
  bool finished_ = false;
  std::filesystem::path target_;
  std::filesystem::path temp_;
};

// A file opened for reading with its length known up front, so readers can
// check lengths before they read.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens a regular file. Anything else (a folder, a device, a FIFO) is
  // refused at once: the file is opened without blocking, so a FIFO without
  // a writer cannot hold the program up.
  bool open(const std::filesystem::path& path);
  bool is_open() const { return fd_ >= 0; }
  std::uint64_t size() const { return size_; }
  // Reads exactly n bytes from the current position; false when fewer came.
  bool read(void* data, std::size_t n);
  bool seek(std::uint64_t offset);
  void close();

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Creates a folder and its parents; true when it exists afterwards. When
// false, errno says why (ENOTDIR when a file has the name of the folder or
// of one of its parents).
bool make_folder(const std::filesystem::path& folder);

// The temporary file of a save is named ".tvxtmp", six random letters or
// digits, "-" and the number of the process writing it.
inline constexpr const char* TEMPORARY_FILE_PREFIX = ".tvxtmp";
inline constexpr std::size_t TEMPORARY_FILE_RANDOM = 6;

// Removes the temporary files that saves of this program left in `folder`
// when they were killed before they could clean up: regular files of this
// user named as the program names them, whose writing process (of this
// machine) is no longer alive, or that nobody has written to for a minute.
// Nothing else in the folder is touched, nor the file of a save still going
// on in this process. Returns the number removed.
int remove_stale_temporary_files(const std::filesystem::path& folder);

// The file a save to `target` replaces: the target itself, or where the
// chain of symbolic links it names ends (a link to a file not yet there
// gives that file's path).
std::filesystem::path save_destination(const std::filesystem::path& target);

// Ignores SIGXFSZ, so a write past the file-size limit (RLIMIT_FSIZE) fails
// with EFBIG and the save reports it, instead of the signal ending the
// program without a word. Each front end calls it once at start.
void ignore_file_size_signal();

}  // namespace tarvex
