#include "platform/file_io.h"

#include <gtest/gtest.h>

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
