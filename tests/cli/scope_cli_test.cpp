// tarvex-cli scope and mount-sim, on the simulated mount and the virtual
// clock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

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
  s.telescope_type = LinkType::None;
  s.drive_directions = DriveDirections{false, true};  // Swap e/w
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
  EXPECT_EQ(after.telescope_type, LinkType::None);
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

// A pseudo-terminal that records what a tarvex-cli child sends to "Com
// Port 1", with the time each byte arrived.
struct RecordingLine {
  int master = -1, slave = -1;
  std::string path;
  std::string bytes;
  std::vector<std::chrono::steady_clock::time_point> at;  // one per byte

  RecordingLine() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    path = ptsname(master);
    slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);  // the line outlives the child's close
  }
  ~RecordingLine() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  // Reads until `text` has arrived or `ms` have passed; true when it came.
  bool read_until(const std::string& text, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (bytes.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return false;
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      for (ssize_t i = 0; i < n; ++i) {
        bytes.push_back(buffer[i]);
        at.push_back(std::chrono::steady_clock::now());
      }
    }
    return true;
  }
  // When the first byte of `text` arrived.
  std::chrono::steady_clock::time_point when(const std::string& text) const {
    return at[bytes.find(text)];
  }
};

TEST_F(ScopeCli, AnInterruptedHoldSendsItsStopAtOnce) {
  // A move, a focus move and a guide pulse on the real clock, each ended
  // after a moment by a signal to the child running it: the stop is on the
  // line within 100 ms of the signal, and the command ends as stopped.
  struct Case {
    int signal;
    std::vector<std::string> args;
    std::string started, stop;
  };
  const Case cases[] = {
      {SIGINT, {"move", "n", "60000", "--rate", "slew"}, "#:RS##:Mn#", "#:Qn##:Qs##:Qe##:Qw#"},
      {SIGTERM, {"move", "e", "60000"}, "#:RS##:Me#", "#:Qn##:Qs##:Qe##:Qw#"},
      {SIGHUP, {"focus", "in", "60000"}, "#:FS##:F+#", "#:FQ#"},
      {SIGTERM, {"pulse", "w", "60000"}, "#:RG##:Mw#", "#:Qw#"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " ended by signal " + std::to_string(c.signal));
    RecordingLine line;
    ASSERT_GE(line.slave, 0);
    std::filesystem::create_directories(dir / "data");
    std::filesystem::remove(dir / "data" / "com1");
    std::filesystem::create_symlink(line.path, dir / "data" / "com1");
    std::vector<std::string> args = {"scope", "--link", "l", "--port", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(run(args));
    const bool started = line.read_until(c.started, 5000);
    EXPECT_TRUE(started) << line.bytes;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto signalled = std::chrono::steady_clock::now();
    kill(child, c.signal);
    EXPECT_TRUE(line.read_until(c.stop, 2000)) << line.bytes;
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the program, not by the signal";
    EXPECT_EQ(WEXITSTATUS(status), 130);
    if (!started || line.bytes.find(c.stop) == std::string::npos) continue;
    EXPECT_EQ(line.bytes, c.started + c.stop);
    EXPECT_LT(line.when(c.stop) - signalled, std::chrono::milliseconds(100));
  }
}

TEST_F(ScopeCli, WhatAMountSendsIsPrintedEscaped) {
  // A mount answering every control byte, DEL, escape sequences and bytes
  // that are no UTF-8: one answer for each ":LI#" in turn (closed by its
  // "#"), and a refusal
  // with such a reason for ":MS#".
  const std::vector<std::string> answers = {
      std::string("\0\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f", 16),
      "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x7f",
      "\x1b[2J\x1b[31mred\x1b]0;title\x07\x9b"
      "1m\\",
      "\xff\xfe\xc3\x28\xe2\x82\xed\xa0\x80\xc0\xaf\xdf"
      "5",
  };
  RecordingLine line;
  ASSERT_GE(line.slave, 0);
  std::filesystem::create_directories(dir / "data");
  std::filesystem::create_symlink(line.path, dir / "data" / "com1");
  std::atomic<bool> done{false};
  std::thread mount([&] {
    std::string heard;
    std::size_t scanned = 0, next = 0;
    while (!done) {
      pollfd p{line.master, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(line.master, buffer, sizeof buffer);
      if (n > 0) heard.append(buffer, static_cast<std::size_t>(n));
      for (; scanned + 5 <= heard.size(); ++scanned) {
        std::string answer;
        if (heard.compare(scanned, 5, "#:LI#") == 0)
          answer = answers[next++ % answers.size()] + "#";
        if (heard.compare(scanned, 5, "#:MS#") == 0) answer = "1" + answers[1] + answers[2] + "#";
        if (!answer.empty()) {
          EXPECT_GT(::write(line.master, answer.data(), answer.size()), 0);
        }
      }
    }
  });
  std::string printed;
  for (std::size_t k = 0; k < answers.size(); ++k) {
    EXPECT_EQ(run({"scope", "--link", "l", "info"}), 0) << err.str();
    printed += out.str() + err.str();
  }
  EXPECT_EQ(run({"scope", "--link", "l", "goto-messier", "1"}), 1);
  printed += out.str() + err.str();
  done = true;
  mount.join();
  // Nothing but printable ASCII, line ends and the degree sign the mount
  // spells as 0xDF.
  std::string rest = printed;
  for (std::size_t at; (at = rest.find("\xC2\xB0")) != std::string::npos;) rest.erase(at, 2);
  for (char c : rest)
    EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F))
        << "byte " << int(static_cast<unsigned char>(c));
  for (const char* shown :
       {"object: \\x00\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08\\x09\\x0a\\x0b\\x0c\\x0d"
        "\\x0e\\x0f\n",
        "object: \\x10\\x11\\x12\\x13\\x14\\x15\\x16\\x17\\x18\\x19\\x1a\\x1b\\x1c\\x1d"
        "\\x1e\\x1f\\x7f\n",
        "object: \\x1b[2J\\x1b[31mred\\x1b]0;title\\x07\\x9b1m\\\\\n",
        "object: \\xff\\xfe\\xc3(\\xe2\\x82\\xed\\xa0\\x80\\xc0\\xaf\xC2\xB0"
        "5\n",
        "reply: 1\nreason: \\x10\\x11"})
    EXPECT_NE(printed.find(shown), std::string::npos) << shown << "\nin\n" << printed;
}

}  // namespace
}  // namespace tarvex::testing
