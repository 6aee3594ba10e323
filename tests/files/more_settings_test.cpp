#include "files/more_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "test_support.h"

namespace tarvex {
namespace {

using testing::TempDir;

std::string read_text(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A file written by hand, as a user or a newer Tarvex might leave it: known
// keys good and bad, a key this program does not know, comments, spaces,
// a line without '='.
TEST(MoreSettings, ReadsKeepsUnknownKeysAndRefusesBadValuesByName) {
  TempDir dir;
  std::ofstream(dir / "tarvex.conf") << "# written by hand\n"
                                        "indi.server =  observatory.local:7625 \r\n"
                                        "solver.seconds = 99999\n"
                                        "future.feature = keep me = as is\n"
                                        "guide.algorithm = fuzzy\n"
                                        "\n"
                                        "just words\n"
                                        "autosave.standard-fits = off\n";
  const MoreSettingsLoad load = load_more_settings(dir / "tarvex.conf");
  const MoreSettings& s = load.settings;
  EXPECT_EQ(s.text("indi.server"), "observatory.local:7625");
  EXPECT_FALSE(s.on("autosave.standard-fits"));
  // Refused values leave the defaults in force, and each refusal names its key.
  EXPECT_EQ(s.integer("solver.seconds"), 60);
  EXPECT_EQ(s.text("guide.algorithm"), "classic");
  ASSERT_EQ(load.refused.size(), 3u);
  EXPECT_EQ(load.refused[0], "solver.seconds: bad value '99999', the default '60' is used");
  EXPECT_EQ(load.refused[1], "guide.algorithm: bad value 'fuzzy', the default 'classic' is used");
  EXPECT_EQ(load.refused[2], "line 7: no '=' in it");

  // Saved again: the unknown key survives with its value, the refused ones
  // are not written back.
  MoreSettings changed = s;
  EXPECT_EQ(changed.set("solver.seconds", "120"), SettingChange::Set);
  EXPECT_EQ(changed.set("solver.seconds", "1.5"), SettingChange::BadValue);
  EXPECT_EQ(changed.set("indi.server", "two\nlines"), SettingChange::BadValue);
  EXPECT_EQ(changed.set("no.such.key", "1"), SettingChange::UnknownKey);
  ASSERT_EQ(save_more_settings(dir / "tarvex.conf", changed), FileSave::Ok);
  EXPECT_EQ(read_text(dir / "tarvex.conf"),
            "# Tarvex settings beyond the settings file: key = value\n"
            "indi.server = observatory.local:7625\n"
            "future.feature = keep me = as is\n"
            "autosave.standard-fits = off\n"
            "solver.seconds = 120\n");
  const MoreSettingsLoad again = load_more_settings(dir / "tarvex.conf");
  EXPECT_TRUE(again.refused.empty());
  EXPECT_EQ(again.settings.entries().size(), changed.entries().size());
  EXPECT_EQ(again.settings.integer("solver.seconds"), 120);
}

TEST(MoreSettings, MissingFileGivesDefaultsWithoutComplaint) {
  TempDir dir;
  const MoreSettingsLoad load = load_more_settings(dir / "tarvex.conf");
  EXPECT_TRUE(load.refused.empty());
  for (const KnownSetting& known : known_settings()) {
    EXPECT_EQ(load.settings.text(known.key), known.fallback);
    EXPECT_TRUE(setting_value_ok(known, known.fallback)) << known.key;
  }
}

}  // namespace
}  // namespace tarvex
