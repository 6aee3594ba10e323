#include "platform/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <string>

#include "test_support.h"

namespace tarvex {
namespace {

using testing::file_mode;
using testing::read_bytes;
using testing::TempDir;
using testing::UmaskScope;
using testing::write_bytes;

bool save_text(const std::filesystem::path& path, const std::string& text) {
  AtomicFile out;
  return out.open(path) && out.write(text.data(), text.size()) && out.commit(false);
}

TEST(AtomicFile, NewFilesGetTheUsualPermissions) {
  TempDir dir;
  {
    UmaskScope mask(022);
    ASSERT_TRUE(save_text(dir / "a", "one"));
    EXPECT_EQ(file_mode(dir / "a"), 0644u);
  }
  {
    UmaskScope mask(027);
    ASSERT_TRUE(save_text(dir / "b", "two"));
    EXPECT_EQ(file_mode(dir / "b"), 0640u);
  }
  {
    UmaskScope mask(0);
    ASSERT_TRUE(save_text(dir / "c", "three"));
    EXPECT_EQ(file_mode(dir / "c"), 0666u);
  }
}

TEST(AtomicFile, AReplacedFileKeepsItsMode) {
  TempDir dir;
  UmaskScope mask(022);
  for (unsigned mode : {0600u, 0664u, 0640u, 0444u}) {
    const auto path = dir / ("kept" + std::to_string(mode));
    write_bytes(path, {1, 2, 3});
    std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode));
    ASSERT_TRUE(save_text(path, "new"));
    EXPECT_EQ(file_mode(path), mode);
    EXPECT_EQ(read_bytes(path), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  }
}

}  // namespace
}  // namespace tarvex

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::TempDir;
using testing::write_bytes;

std::vector<std::filesystem::path> temporary_files(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> found;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().rfind(TEMPORARY_FILE_PREFIX, 0) == 0)
      found.push_back(e.path());
  return found;
}

TEST(InputFile, RefusesAFifoWithoutWaitingForAWriter) {
  TempDir dir;
  const auto fifo = dir / "f";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Opened the blocking way this would never return; the test would hang.
  InputFile in;
  EXPECT_FALSE(in.open(fifo));
  EXPECT_FALSE(in.open(dir.path()));       // a folder
  EXPECT_FALSE(in.open("/dev/null"));      // a device
  EXPECT_FALSE(in.open(dir / "missing"));  // nothing
  write_bytes(dir / "plain", {1, 2, 3});
  ASSERT_TRUE(in.open(dir / "plain"));
  std::uint8_t b[3] = {};
  EXPECT_TRUE(in.read(b, 3));
  EXPECT_EQ(b[2], 3);
}

TEST(AtomicFile, TheTemporaryFileHasAnUnpredictableNameAndIsGoneAfterADiscard) {
  TempDir dir;
  AtomicFile a, b;
  ASSERT_TRUE(a.open(dir / "x"));
  ASSERT_TRUE(b.open(dir / "x"));
  EXPECT_NE(a.temporary_path(), b.temporary_path());
  EXPECT_EQ(a.temporary_path().parent_path(), dir.path());
  EXPECT_EQ(temporary_files(dir.path()).size(), 2u);
  a.discard();
  b.discard();
  EXPECT_TRUE(temporary_files(dir.path()).empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

TEST(AtomicFile, ALinkPlantedUnderTheOldTemporaryNameIsNeverFollowed) {
  TempDir dir;
  write_bytes(dir / "victim", {'v'});
  // The names a save used to write through, beside the target.
  const std::string old_name = "out.kr.tvxtmp" + std::to_string(::getpid());
  std::filesystem::create_symlink(dir / "victim", dir / old_name);
  ASSERT_TRUE(save_text(dir / "out.kr", "data"));
  EXPECT_EQ(read_bytes(dir / "victim"), (std::vector<std::uint8_t>{'v'}));
  EXPECT_EQ(read_bytes(dir / "out.kr"), (std::vector<std::uint8_t>{'d', 'a', 't', 'a'}));
}

TEST(AtomicFile, SavingThroughALinkReplacesTheFileItPointsTo) {
  TempDir dir;
  std::filesystem::create_directory(dir / "real");
  write_bytes(dir / "real" / "img.fit", {'o', 'l', 'd'});
  std::filesystem::permissions(dir / "real" / "img.fit", std::filesystem::perms(0640));
  std::filesystem::create_symlink("real/img.fit", dir / "link.fit");
  ASSERT_TRUE(save_text(dir / "link.fit", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.fit"));
  EXPECT_EQ(read_bytes(dir / "real" / "img.fit"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(testing::file_mode(dir / "real" / "img.fit"), 0640u);
  EXPECT_TRUE(temporary_files(dir.path()).empty());
  EXPECT_TRUE(temporary_files(dir / "real").empty());

  // A link to a file not there yet creates that file; a loop of links is refused.
  std::filesystem::create_symlink("real/later.fit", dir / "dangling");
  ASSERT_TRUE(save_text(dir / "dangling", "x"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling"));
  EXPECT_EQ(read_bytes(dir / "real" / "later.fit"), (std::vector<std::uint8_t>{'x'}));
  std::filesystem::create_symlink("loop2", dir / "loop1");
  std::filesystem::create_symlink("loop1", dir / "loop2");
  EXPECT_FALSE(save_text(dir / "loop1", "y"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "loop1"));
}

TEST(AtomicFile, ALongValidNameCanBeSaved) {
  TempDir dir;
  const std::string name(250, 'n');
  ASSERT_TRUE(save_text(dir / name, "long"));
  EXPECT_EQ(read_bytes(dir / name).size(), 4u);
  EXPECT_TRUE(temporary_files(dir.path()).empty());
}

TEST(AtomicFile, ANewFileNeverReplacesOneOfItsName) {
  TempDir dir;
  write_bytes(dir / "IMG1.FIT", {'o', 'l', 'd'});
  AtomicFile out;
  ASSERT_TRUE(out.open(dir / "IMG1.FIT"));
  ASSERT_TRUE(out.write("new", 3));
  EXPECT_FALSE(out.commit_new(dir / "IMG1.FIT", true));
  EXPECT_EQ(out.error(), EEXIST);
  EXPECT_EQ(read_bytes(dir / "IMG1.FIT"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  // The finished file waits for the next name.
  ASSERT_TRUE(out.commit_new(dir / "IMG2.FIT", true));
  EXPECT_EQ(out.error(), 0);
  EXPECT_EQ(read_bytes(dir / "IMG2.FIT"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_TRUE(temporary_files(dir.path()).empty());
}

TEST(StaleTemporaryFiles, OnlyTheProgramsOwnWhoseWriterIsGoneOrLongIdle) {
  TempDir dir;
  // A save killed while it wrote.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicFile out;
    if (out.open(dir / "IMG1.FIT")) out.write("partial", 7);
    ::kill(::getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(temporary_files(dir.path()).size(), 1u);
  const std::filesystem::path killed = temporary_files(dir.path())[0];
  // A save of this process still under way, and one of a live process.
  AtomicFile live;
  ASSERT_TRUE(live.open(dir / "IMG2.FIT"));
  write_bytes(dir / ".tvxtmpAbCd12-1", {1});
  // Earlier names without a process number: one idle for two minutes, one
  // just written.
  write_bytes(dir / ".tvxtmpOld123", {1});
  const timespec old[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir / ".tvxtmpOld123").c_str(), old, 0), 0);
  write_bytes(dir / ".tvxtmpNew123", {1});
  // Not the program's: other names, a link, a folder.
  write_bytes(dir / ".tvxtmp", {1});
  write_bytes(dir / ".tvxtmpshort", {1});
  write_bytes(dir / "IMG3.FIT", {1});
  std::filesystem::create_symlink("IMG3.FIT", dir / (killed.filename().string() + "9"));
  std::filesystem::create_directory(dir / ".tvxtmpDir123-999999999");

  EXPECT_EQ(remove_stale_temporary_files(dir.path()), 2);
  EXPECT_FALSE(std::filesystem::exists(killed));
  EXPECT_FALSE(std::filesystem::exists(dir / ".tvxtmpOld123"));
  for (const std::filesystem::path& kept :
       {live.temporary_path(), dir / ".tvxtmpAbCd12-1", dir / ".tvxtmpNew123", dir / ".tvxtmp",
        dir / ".tvxtmpshort", dir / "IMG3.FIT", dir / ".tvxtmpDir123-999999999"})
    EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
  EXPECT_TRUE(std::filesystem::is_symlink(dir / (killed.filename().string() + "9")));
  ASSERT_TRUE(live.commit(false));
}

}  // namespace
}  // namespace tarvex
