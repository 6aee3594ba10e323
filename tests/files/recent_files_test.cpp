#include "files/recent_files.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace tarvex {
namespace {

using testing::TempDir;

TEST(RecentFiles, NewestFirstWithoutRepeatsAndAtMostEight) {
  RecentFiles r;
  for (int i = 0; i < 10; ++i) r.add("/obs/img" + std::to_string(i) + ".fit");
  ASSERT_EQ(r.files().size(), RECENT_FILES_MAX);
  EXPECT_EQ(r.files().front(), "/obs/img9.fit");
  EXPECT_EQ(r.files().back(), "/obs/img2.fit");
  // Opening a listed file again moves it to the top; the same file under
  // another spelling of its path is the same entry.
  r.add("/obs/sub/../img5.fit");
  EXPECT_EQ(r.files().front(), "/obs/img5.fit");
  EXPECT_EQ(r.files().size(), RECENT_FILES_MAX);
  // A name with a line break cannot be kept in the list file.
  r.add("/obs/two\nlines.fit");
  EXPECT_EQ(r.files().front(), "/obs/img5.fit");
  r.remove("/obs/img5.fit");
  EXPECT_EQ(r.files().front(), "/obs/img9.fit");
}

TEST(RecentFiles, KeptInAFileOfTheirOwn) {
  TempDir dir;
  const auto list = dir / "recent-files";
  // No list yet: empty.
  EXPECT_TRUE(load_recent_files(list).files().empty());
  RecentFiles r;
  r.add("/obs/m42.fit");
  r.add("/obs/~m31");
  ASSERT_EQ(save_recent_files(list, r), FileSave::Ok);
  const auto bytes = testing::read_bytes(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "/obs/~m31\n/obs/m42.fit\n");
  EXPECT_EQ(load_recent_files(list).files(), r.files());
  // Lines that are not full paths (a hand edit, a damaged file) are passed over.
  testing::write_bytes(list, {'r', 'e', 'l', '\n', '\n', '/', 'a', '\n', '/', 'b'});
  const auto loaded = load_recent_files(list).files();
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[0], "/a");
  EXPECT_EQ(loaded[1], "/b");
  // A list that cannot be written reports it.
  EXPECT_EQ(save_recent_files(dir / "none" / "recent-files", r), FileSave::Failed);
}

}  // namespace
}  // namespace tarvex
