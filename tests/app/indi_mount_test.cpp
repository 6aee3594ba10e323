// The INDI mount against a private indiserver running the INDI telescope
// simulator: on a free port, with its own local socket and home folder in a
// temporary folder, so that it meets no other server on the machine.
#include "app/indi_mount.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "app/mounts.h"
#include "app/program_defaults.h"
#include "app/telescope.h"
#include "files/more_settings.h"
#include "files/settings.h"
#include "test_context.h"

extern char** environ;

namespace tarvex {
namespace {

using testing::TempDir;
using testing::TestContext;
using Steady = std::chrono::steady_clock;

constexpr const char* kDevice = "Telescope Simulator";

bool find_program(const char* name, std::string& path) {
  const char* env = std::getenv("PATH");
  std::string dirs = env != nullptr ? env : "/usr/bin:/bin";
  std::size_t at = 0;
  while (at <= dirs.size()) {
    std::size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = dirs.substr(at, end - at) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) {
      path = candidate;
      return true;
    }
    at = end + 1;
  }
  return false;
}

int free_port() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(s);
  return port;
}

bool accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

// indiserver with the telescope simulator, ended with the test.
class IndiServer {
 public:
  ~IndiServer() { stop(); }

  bool start(const std::filesystem::path& folder) {
    std::string server;
    if (!find_program("indiserver", server)) return false;
    port_ = free_port();
    const std::string port = std::to_string(port_);
    const std::string socket = (folder / "indiserver.sock").string();
    const std::string home = "HOME=" + folder.string();
    std::vector<std::string> env{home, "PATH=" + std::string(std::getenv("PATH"))};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args{server, "-p", port, "-u",
                                  socket, "-r", "0",  "indi_simulator_telescope"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (folder / "indiserver.log").string();
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that the driver it starts ends with it.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    const int r = ::posix_spawn(&pid_, server.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (r != 0) return false;
    const auto deadline = Steady::now() + std::chrono::seconds(10);
    while (Steady::now() < deadline) {
      if (accepts(port_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  // Ends the server and its driver at once, as a lost network does.
  void stop() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  std::string address() const { return "localhost:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// An event pump that runs an action once a chosen time has passed: the
// server lost while the program waits on it.
class TimedPump : public NullPump {
 public:
  void pump() override {
    NullPump::pump();
    if (action && Steady::now() >= when) {
      auto a = std::move(action);
      action = nullptr;
      a();
    }
  }
  Steady::time_point when;
  std::function<void()> action;
};

struct Rig {
  TempDir dir;
  RecordingMessages messages;
  VirtualClock clock;
  TimedPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  std::unique_ptr<Tarvex> app;
  IndiServer server;
  Rig() {
    app = std::make_unique<Tarvex>(Paths(dir / "data"),
                                   Ports{messages, clock, pump, progress, launcher, display});
  }
};

class IndiMountServer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string found;
    if (!find_program("indiserver", found) || !find_program("indi_simulator_telescope", found))
      GTEST_SKIP() << "indiserver or indi_simulator_telescope is not installed (apt-get install "
                      "indi-bin): the INDI mount is not tried against a server";
    ASSERT_TRUE(rig_.server.start(rig_.dir.path())) << "indiserver did not start";
  }
  IndiMount make_mount(IndiWaits waits = {}) {
    return IndiMount(*rig_.app, {rig_.server.address(), kDevice}, waits);
  }
  Rig rig_;
};

double seconds_since(Steady::time_point t) {
  return std::chrono::duration<double>(Steady::now() - t).count();
}

// Sync, go-to, the position read back, moves, abort and guide pulses, with
// nothing reported on the way.
TEST_F(IndiMountServer, GoToSyncMovesAndPulsesAreAcknowledged) {
  IndiMount mount = make_mount();
  ASSERT_EQ(mount.open(), ScopeResult::Done);

  const MountPosition synced{5.5, 20.0};
  ASSERT_EQ(mount.sync_position(synced), ScopeResult::Done);
  MountPosition at;
  ASSERT_EQ(mount.read_position(at), ScopeResult::Done);
  EXPECT_NEAR(at.ra_hours, synced.ra_hours, 2.0 / 3600);
  EXPECT_NEAR(at.dec_degrees, synced.dec_degrees, 10.0 / 3600);

  // A go-to half a degree away ends on the target.
  const MountPosition target{5.52, 20.5};
  const auto start = Steady::now();
  const GotoResult slew = mount.goto_position(target);
  const double took = seconds_since(start);
  ASSERT_EQ(slew.status, ScopeResult::Done);
  ASSERT_EQ(mount.read_position(at), ScopeResult::Done);
  const double ra_error_arcsec =
      (at.ra_hours - target.ra_hours) * 15 * 3600 * std::cos(target.dec_degrees * M_PI / 180);
  const double dec_error_arcsec = (at.dec_degrees - target.dec_degrees) * 3600;
  std::printf("go-to: %.2f s, final error RA %.2f\" Dec %.2f\"\n", took, ra_error_arcsec,
              dec_error_arcsec);
  EXPECT_LT(std::hypot(ra_error_arcsec, dec_error_arcsec), 30.0);
  EXPECT_LT(took, 60.0);

  // A typed target goes the same way: 05h 31m, +20 deg 15'.
  const GotoResult typed = mount.goto_coordinates({5, 31, false, 20, 15});
  ASSERT_EQ(typed.status, ScopeResult::Done);
  ASSERT_EQ(mount.read_position(at), ScopeResult::Done);
  EXPECT_NEAR(at.ra_hours, 5 + 31 / 60.0, 30.0 / 3600);
  EXPECT_NEAR(at.dec_degrees, 20.25, 30.0 / 3600);

  // A move runs until it is stopped; a second press is ignored meanwhile.
  mount.set_rate(MoveRate::Guide);
  ASSERT_EQ(mount.move(Direction::North), ScopeResult::Done);
  EXPECT_TRUE(mount.moving());
  EXPECT_EQ(mount.move(Direction::East), ScopeResult::Ignored);
  EXPECT_EQ(mount.stop(), ScopeResult::Done);
  EXPECT_FALSE(mount.moving());
  EXPECT_EQ(mount.abort(), ScopeResult::Done);

  // Ten guide pulses, each acknowledged and each lasting its length.
  const Direction directions[] = {Direction::North, Direction::South, Direction::East,
                                  Direction::West};
  const auto pulses_start = Steady::now();
  for (int i = 0; i < 10; ++i) {
    const auto t = Steady::now();
    ASSERT_EQ(mount.pulse(directions[i % 4], 200, PulseEnd::Timed), ScopeResult::Done) << i;
    EXPECT_GE(seconds_since(t), 0.18) << "pulse " << i << " returned before its end";
  }
  EXPECT_EQ(mount.pulses_acknowledged(), 10u);
  std::printf("ten 200 ms guide pulses acknowledged in %.2f s\n", seconds_since(pulses_start));
  EXPECT_TRUE(rig_.messages.shown.empty());
}

// A server that goes away in the middle of a slew: the go-to returns within
// its reply wait with the telescope message, and the next command finds no
// server and says so at once; nothing waits on.
TEST_F(IndiMountServer, ServerLostMidSlewGivesTheTelescopeMessage) {
  IndiMount mount = make_mount({2000, 4000, 2000, 120000});
  ASSERT_EQ(mount.open(), ScopeResult::Done);
  ASSERT_EQ(mount.sync_position({1.0, 10.0}), ScopeResult::Done);
  rig_.pump.when = Steady::now() + std::chrono::milliseconds(1500);
  rig_.pump.action = [this] { rig_.server.stop(); };
  const auto start = Steady::now();
  const GotoResult slew = mount.goto_position({13.0, -60.0});
  EXPECT_EQ(slew.status, ScopeResult::NoReply);
  EXPECT_LT(seconds_since(start), 10.0);
  EXPECT_EQ(rig_.messages.codes(), std::vector<unsigned>{54});

  MountPosition at;
  const auto again = Steady::now();
  EXPECT_EQ(mount.read_position(at), ScopeResult::LinkFailed);
  EXPECT_EQ(mount.pulse(Direction::North, 100, PulseEnd::Timed), ScopeResult::LinkFailed);
  EXPECT_LT(seconds_since(again), 10.0);
  EXPECT_EQ(rig_.messages.codes(), (std::vector<unsigned>{54, 54, 54}));
}

// A device the server does not have stays silent: the wait for its
// properties ends, with the telescope message.
TEST_F(IndiMountServer, SilentDeviceGivesTheTelescopeMessage) {
  IndiMount mount(*rig_.app, {rig_.server.address(), "No Such Mount"}, {2000, 1500, 1000, 5000});
  const auto start = Steady::now();
  EXPECT_EQ(mount.open(), ScopeResult::LinkFailed);
  EXPECT_LT(seconds_since(start), 5.0);
  EXPECT_EQ(rig_.messages.codes(), std::vector<unsigned>{54});
}

// Without a server nothing connects until the mount is used, and then the
// refusal is the telescope message.
TEST(IndiMount, NoServerIsReportedWhenUsedOnly) {
  TestContext ctx;
  IndiMount mount(*ctx, {"localhost:" + std::to_string(free_port()), kDevice},
                  {1000, 1000, 1000, 1000});
  EXPECT_TRUE(ctx.messages.shown.empty());
  EXPECT_EQ(mount.goto_position({1, 1}).status, ScopeResult::LinkFailed);
  EXPECT_EQ(ctx.messages.codes(), std::vector<unsigned>{54});
  EXPECT_TRUE(mount.capabilities().go_to && mount.capabilities().read_position);
  EXPECT_FALSE(mount.capabilities().focus || mount.capabilities().relays);
}

TEST(IndiMount, ServerAddressIsHostAndPort) {
  std::string host;
  int port = 0;
  EXPECT_TRUE(parse_indi_server("observatory.local:7625", host, port));
  EXPECT_EQ(host, "observatory.local");
  EXPECT_EQ(port, 7625);
  EXPECT_TRUE(parse_indi_server("pi", host, port));
  EXPECT_EQ(port, 7624);
  for (const char* bad : {"", ":7624", "host:", "host:0", "host:65536", "host:76x", "a b:1"})
    EXPECT_FALSE(parse_indi_server(bad, host, port)) << bad;
}

// The INDI choice lives in the small settings file; the settings file keeps
// its link letter, and a serial link named for the run wins over it.
TEST(IndiMount, ChoiceIsStoredBesideTheSettingsFileWhoseLinkLetterStays) {
  TestContext ctx;
  Tarvex& app = *ctx;
  app.settings.telescope_type = LinkType::Lx200;
  ASSERT_EQ(save_settings(app.paths.settings_file(), app.settings, app.fits), FileSave::Ok);
  const auto letter_in_file = [&] {
    const auto bytes = settings_bytes(app.settings, app.fits);
    Settings read;
    FitsText fits;
    EXPECT_FALSE(
        settings_load_failed(load_settings(app.paths.settings_file(), read, fits, ctx.messages)));
    return std::pair(bytes, read.telescope_type);
  };

  ProgramDefaultsModel model(app.settings, app.fits, app.paths.settings_file(), ctx.messages,
                             app.paths.more_settings_file());
  ASSERT_TRUE(model.open().ok());
  model.set_telescope_type(LinkType::Indi);
  model.set_indi_server("observatory.local:7625");
  model.set_indi_device("EQMod Mount");
  ASSERT_TRUE(model.save_changes().ok());
  EXPECT_EQ(letter_in_file().second, LinkType::Lx200);

  const MoreSettingsLoad more = load_more_settings(app.paths.more_settings_file());
  EXPECT_TRUE(indi_chosen_in(more.settings));
  EXPECT_EQ(indi_choice_in(more.settings).server, "observatory.local:7625");
  EXPECT_EQ(link_type(app), LinkType::Indi);
  EXPECT_NE(dynamic_cast<IndiMount*>(&current_mount(app)), nullptr);
  EXPECT_EQ(dynamic_cast<IndiMount*>(&current_mount(app))->choice().device, "EQMod Mount");

  // A record that holds the INDI choice writes "none" in the letter's place,
  // never a byte the file does not know.
  Settings s = app.settings;
  s.telescope_type = LinkType::Indi;
  EXPECT_EQ(settings_bytes(s, app.fits), [&] {
    Settings none = app.settings;
    none.telescope_type = LinkType::None;
    return settings_bytes(none, app.fits);
  }());

  app.telescope.link_type_override = LinkType::ControlBox;
  EXPECT_EQ(link_type(app), LinkType::ControlBox);
  app.telescope.link_type_override.reset();

  // Chosen back: the LX200 again, the server and device kept for next time.
  ProgramDefaultsModel back(app.settings, app.fits, app.paths.settings_file(), ctx.messages,
                            app.paths.more_settings_file());
  ASSERT_TRUE(back.open().ok());
  EXPECT_EQ(back.telescope_type(), LinkType::Indi);
  back.set_telescope_type(LinkType::Lx200);
  ASSERT_TRUE(back.save_changes().ok());
  EXPECT_EQ(link_type(app), LinkType::Lx200);
  EXPECT_EQ(back.indi_device(), "EQMod Mount");
}

}  // namespace
}  // namespace tarvex
