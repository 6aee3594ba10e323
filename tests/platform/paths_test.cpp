#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "test_support.h"

namespace tarvex {
namespace {

using testing::TempDir;

TEST(Paths, DataRootFromTheEnvironment) {
  const char* old_xdg = std::getenv("XDG_DATA_HOME");
  const std::string saved = old_xdg ? old_xdg : "";
  const char* old_home = std::getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";
  ::setenv("XDG_DATA_HOME", "/srv/obs", 1);
  EXPECT_EQ(Paths::from_environment().data_root(), "/srv/obs/tarvex");
  ::setenv("XDG_DATA_HOME", "", 1);
  ::setenv("HOME", "/home/astro", 1);
  EXPECT_EQ(Paths::from_environment().data_root(), "/home/astro/.local/share/tarvex");
  if (old_xdg)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
  if (old_home)
    ::setenv("HOME", saved_home.c_str(), 1);
  else
    ::unsetenv("HOME");
}

TEST(Paths, FixedNamesAndFolderNamesWithoutRegardToCase) {
  TempDir dir;
  Paths p(dir.path());
  EXPECT_EQ(p.settings_file(), dir / "autosave" / "Tarvex.ini");
  EXPECT_EQ(p.bitmap_file(false), dir / "tvximg.bmp");
  EXPECT_EQ(p.bitmap_file(true), dir / "tvximgf.bmp");
  EXPECT_EQ(p.dark_definition_file(), dir / "dark.def");
  EXPECT_EQ(p.autosave_dir(""), dir / "autosave");
  // An existing folder spelt in capitals is the same folder.
  std::filesystem::create_directories(dir / "AUTOSAVE" / "Orion");
  EXPECT_EQ(p.autosave_root(), dir / "AUTOSAVE");
  EXPECT_EQ(p.autosave_dir("orion"), dir / "AUTOSAVE" / "Orion");
  EXPECT_EQ(p.autosave_dir("Lyra"), dir / "AUTOSAVE" / "Lyra");
  EXPECT_EQ(p.settings_file(), dir / "AUTOSAVE" / "Tarvex.ini");
  // A sub-folder from the settings file never leads out of the folder.
  EXPECT_EQ(p.autosave_dir("/etc"), dir / "AUTOSAVE");
  EXPECT_EQ(p.autosave_dir("../.."), dir / "AUTOSAVE");
  EXPECT_EQ(p.autosave_dir("orion/../../x"), dir / "AUTOSAVE");
  EXPECT_EQ(p.autosave_dir("a..b"), dir / "AUTOSAVE" / "a..b");
}

TEST(Paths, ComPortsPreferTheUsersLink) {
  TempDir dir;
  Paths p(dir.path());
  std::filesystem::create_directories(dir.path());
  testing::write_bytes(dir / "com2", {});
  EXPECT_EQ(p.com_port(2), dir / "com2");
  const auto three = p.com_port(3);
  EXPECT_TRUE(three == "/dev/ttyUSB2" || three == "/dev/ttyS2") << three;
}

}  // namespace
}  // namespace tarvex
