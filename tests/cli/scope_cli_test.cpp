// tarvex-cli scope and mount-sim, on the simulated mount and the virtual
// clock.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "files/settings.h"
#include "platform/basic_ports.h"

namespace tarvex::testing {
namespace {

struct ScopeCli : CliFixture {
  int scope(std::vector<std::string> args) {
    args.insert(args.begin(), {"--simulator", "--virtual-time", "scope"});
    return run(args);
  }
  void write_settings(const Settings& s) {
    const FitsText fits;
    ASSERT_EQ(save_settings(dir / "data" / "autosave" / "Tarvex.ini", s, fits), FileSave::Ok);
  }
  Settings read_settings() {
    Settings s;
    FitsText fits;
    RecordingMessages m;
    EXPECT_EQ(load_settings(dir / "data" / "autosave" / "Tarvex.ini", s, fits, m),
              SettingsLoad::Read);
    return s;
  }
};

TEST_F(ScopeCli, GotoPrintsTheReplyAndTheObject) {
  EXPECT_EQ(scope({"--link", "l", "goto-messier", "31"}), 0) << err.str();
  EXPECT_NE(out.str().find("reply: 0\n"), std::string::npos);
  EXPECT_NE(out.str().find("object: M31     GX MAG  3.4 Andromeda\n"), std::string::npos);
  EXPECT_EQ(scope({"--link", "l", "goto-planet", "Saturn"}), 0) << err.str();
  EXPECT_NE(out.str().find("object: SATURN"), std::string::npos);
  // A leading '-' is the declination's sign, and -0 stays south.
  EXPECT_EQ(scope({"--link", "l", "goto", "05:35", "-00:30"}), 0) << err.str();
  EXPECT_NE(out.str().find("object: TARGET 05:35.0 -00*30"), std::string::npos);
  // Refused by the mount: the reply and its reason, exit 1.
  EXPECT_EQ(scope({"--link", "l", "goto", "12:00", "-60:00"}), 1);
  EXPECT_NE(out.str().find("reply: 1\nreason: Object Below Horizon\n"), std::string::npos);
  EXPECT_EQ(scope({"--link", "l", "info"}), 0);
  EXPECT_NE(out.str().find("object: TARGET"), std::string::npos);
}

TEST_F(ScopeCli, TheWindowsRangesAndOtherUsageErrors) {
  EXPECT_EQ(scope({"goto-messier", "0"}), 2);
  EXPECT_EQ(scope({"goto-messier", "111"}), 2);
  EXPECT_NE(scope({"--link", "l", "goto-ngc", "7815"}), 2);  // sent; the mount decides
  EXPECT_NE(out.str().find("object: NGC7815"), std::string::npos);
  EXPECT_EQ(scope({"goto-ngc", "7816"}), 2);
  EXPECT_EQ(scope({"goto", "24:00", "10:00"}), 2);
  EXPECT_EQ(scope({"goto", "05:35", "-90:00"}), 2);
  EXPECT_EQ(scope({"goto", "05:35"}), 2);
  EXPECT_EQ(scope({"goto-planet", "earth"}), 2);
  EXPECT_EQ(scope({"move", "x", "10"}), 2);
  EXPECT_EQ(scope({"move", "e", "10", "--rate", "warp"}), 2);
  EXPECT_EQ(scope({"pulse", "e", "-5"}), 2);
  EXPECT_EQ(scope({"--link", "z", "info"}), 2);
  EXPECT_EQ(scope({"--port", "6", "info"}), 2);
  EXPECT_EQ(scope({"park"}), 2);
  EXPECT_NE(err.str().find("unknown scope subcommand park"), std::string::npos);
}

TEST_F(ScopeCli, MovesGoThroughTheDirectionBlockAndOverridesAreNeverWritten) {
  Settings s;
  s.telescope_type = 'n';
  s.drive_directions = {'n', 's', 'w', 'e'};  // Swap e/w
  write_settings(s);
  EXPECT_EQ(scope({"--link", "l", "--port", "3", "move", "e", "500", "--rate", "guide"}), 0)
      << err.str();
  EXPECT_EQ(out.str(), "move e 500 ms (mount letter w): done\n");
  EXPECT_EQ(scope({"--link", "b", "pulse", "n", "100"}), 0) << err.str();
  EXPECT_EQ(out.str(), "pulse n 100 ms (mount letter n): done\n");
  EXPECT_EQ(scope({"--link", "l", "focus", "in", "200", "--fast"}), 0) << err.str();
  EXPECT_EQ(out.str(), "focus in 200 ms: done\n");
  EXPECT_EQ(scope({"--link", "b", "reset-box"}), 0) << err.str();
  const Settings after = read_settings();
  EXPECT_EQ(after.telescope_type, 'n');
  EXPECT_EQ(after.com_port, 1);
  EXPECT_EQ(after.drive_directions, s.drive_directions);
}

TEST_F(ScopeCli, APortThatIsNoSerialPortFailsWithItsMessages) {
  // "Com Port 2" points at a plain file.
  std::filesystem::create_directories(dir / "data");
  write_bytes(dir / "data" / "com2", {1, 2, 3});
  EXPECT_EQ(run({"--virtual-time", "scope", "--link", "l", "--port", "2", "info"}), 1);
  EXPECT_NE(err.str().find("message 50: ERROR -25 \n"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("message 36: Unable to open the LX200"), std::string::npos);
  EXPECT_NE(err.str().find("com2: Inappropriate ioctl"), std::string::npos);
}

TEST_F(ScopeCli, MountSimPrintsItsPseudoTerminal) {
  EXPECT_EQ(run({"--simulator", "mount-sim", "--for", "20"}), 0);
  EXPECT_EQ(out.str().rfind("/dev/pts/", 0), 0u) << out.str();
  EXPECT_EQ(run({"--simulator", "mount-sim", "--loud"}), 2);
}

}  // namespace
}  // namespace tarvex::testing
