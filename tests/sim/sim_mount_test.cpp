// The simulated mount on its pseudo-terminal, driven the way other LX200
// programs drive a mount, and its motion model: rate times time, backlash
// on reversal, drift.
#include "sim/sim_mount.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/basic_ports.h"
#include "sim/sky_renderer.h"

namespace tarvex {
namespace {

// A client on the program's side of the line, stepping the mount itself on
// a clock that moves only when told, so durations are exact.
struct Client : ::testing::Test {
  VirtualClock clock{0};
  SimMountConfig config;
  std::unique_ptr<SimMount> mount;
  int fd = -1;

  void start(int speed = B9600) {
    config.drift_x = 0;
    config.drift_y = 0;
    mount = std::make_unique<SimMount>(config);
    ASSERT_TRUE(mount->open());
    fd = ::open(mount->device_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    ::tcsetattr(fd, TCSANOW, &t);
    mount->step(clock.now_ms());
  }
  void SetUp() override { start(); }
  void TearDown() override {
    if (fd >= 0) ::close(fd);
  }
  void run_for(std::uint32_t ms) {
    for (std::uint32_t i = 0; i < ms; ++i) {
      clock.advance(1);
      mount->step(clock.now_ms());
    }
  }
  void send(const std::string& text) {
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    mount->step(clock.now_ms());
  }
  // Everything the mount answers within `ms`.
  std::string answer(std::uint32_t ms = 100) {
    run_for(ms);
    std::string all;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) all.append(buf, static_cast<std::size_t>(n));
    return all;
  }
  std::string ask(const std::string& text, std::uint32_t ms = 100) {
    send(text);
    return answer(ms);
  }
};

TEST_F(Client, AnswersTheQueriesOfAConnectingClient) {
  EXPECT_EQ(ask("\x06"), "P");
  EXPECT_EQ(ask(":GVP#"), "Tarvex Sim#");
  EXPECT_EQ(ask(":GR#"), "00:00:00#");
  EXPECT_EQ(ask(":GD#"), "+45*00'00#");
  EXPECT_EQ(ask(":Gt#"), "+52*00#");
  EXPECT_EQ(ask(":Gg#"), "+001*30#");  // west positive
  EXPECT_EQ(ask(":GC#"), "01/15/24#");
  EXPECT_EQ(ask(":GL#"), "20:00:00#");
  EXPECT_EQ(ask(":GG#"), "+00#");
  EXPECT_EQ(ask(":Gc#"), "24#");
  EXPECT_EQ(ask(":GM#"), "Tarvex#");
  EXPECT_EQ(ask(":GT#"), "60.1#");
  EXPECT_EQ(ask(":D#"), "#");
  // ":U#" toggles the precision of the coordinates.
  EXPECT_EQ(ask(":U#:GR#:GD#"), "00:00.0#+45*00#");
}

// The rest of the command set, one command at a time, with the replies a
// client sees byte for byte: commands that answer with nothing answer with
// nothing, and near misses of a known command are not taken for it.
TEST_F(Client, EveryCommandAnswersAsRecorded) {
  const std::vector<std::pair<std::string, std::string>> recorded = {
      {":GVN#", "1.0#"},
      {":GVD#", "Jan 15 2024#"},
      {":GVT#", "20:00:00#"},
      {":GVF#", "Tarvex simulated LX200#"},
      {":Ga#", "08:00:00#"},
      {":GN#:GO#:GP#", "Tarvex#Tarvex#Tarvex#"},
      {":GS#", "03:33:06#"},
      {":GA#", "+54*50'15#"},
      {":GZ#", "180*00'00#"},
      {":SC 01/15/24#", "1Updating Planetary Data#                                #"},
      {":SG+00#:St+52*00#", "11"},
      {":S#", ""},  // no letter after the S: not a setting
      {":MA#", "0"},
      {":Mgx0100#:Mge#:Mg#", ""},  // no direction or no time: no pulse
      {":P#", "LOW PRECISION"},
      {":GR#", "00:00.0#"},
      {":P#", "HIGH PRECISION"},
      {":RS#:RM#:RC#:RG#:Qn#:Q#", ""},
      {":F+#:F-#:FQ#:FF#:FS#:U#:U#", ""},
      {":AL#:AP#:hP#:X#:GRR#:gr#", ""},  // alignment, parking and unknowns
      {":LM 99999#:LIX#:LI#", "TARGET 00:00.0 +45*00            "},
  };
  for (const auto& [command, reply] : recorded) EXPECT_EQ(ask(command), reply) << command;
}

TEST_F(Client, TakesTargetsInLongAndShortFormsWithOrWithoutASpace) {
  EXPECT_EQ(ask(":Sr 05:35:24#"), "1");
  EXPECT_EQ(ask(":Sr05:35:24#"), "1");
  EXPECT_EQ(ask(":Sd -05*27:00#"), "1");
  EXPECT_EQ(ask(":Sd-05\xDF"
                "27:00#"),
            "1");
  EXPECT_EQ(ask(":Sr 25:00:00#"), "0");
  EXPECT_EQ(ask(":Sd +95*00:00#"), "0");
  // The program's own short forms, each closed by the next command's '#'.
  EXPECT_EQ(ask("#:Sr 01:30.0#:Sd +38*15#:LI#"), "11TARGET 01:30.0 +38*15            ");
  EXPECT_EQ(ask(":Gr#:Gd#"), "01:30:00#+38*15'00#");
}

TEST_F(Client, SlewsToACatalogueObjectAndReportsWhileSlewing) {
  send("#:LM 0031#");
  const std::string info = ask("#:LI#");
  ASSERT_EQ(info.size(), 33u);
  EXPECT_EQ(info.substr(0, 3), "M31");
  EXPECT_EQ(ask("#:MS#", 5), "0");
  EXPECT_TRUE(mount->slewing());
  EXPECT_EQ(ask(":D#", 5), "|#");
  run_for(20000);
  EXPECT_FALSE(mount->slewing());
  // The catalogue's J2000 00:42.7 +41*16 precessed to the site's date,
  // 2024-01-15 (about 3.3 s of time and 20" a year here): the mount answers
  // coordinates of date.
  EXPECT_EQ(ask(":GR#:GD#"), "00:44:01#+41*23'53#");
  // Below the horizon from latitude +52: refused with a reason.
  EXPECT_EQ(ask(":Sr 12:00:00#:Sd -60*00:00#:MS#"), "111Object Below Horizon#");
  EXPECT_FALSE(mount->slewing());
  // The Earth (star number 903) is no target.
  send("#:LS 0903#");
  EXPECT_EQ(ask("#:MS#"), "1Object Below Horizon#");
  EXPECT_EQ(ask(":Q#:CM#"), "Coordinates     matched.        #");
}

TEST_F(Client, HeldMovesAndPulsesMoveThePointingByRateTimesTime) {
  SkyRenderer sky;
  mount->attach_sky(&sky);
  send(":RG#:Me#");
  run_for(1000);
  send(":Qe#");
  // East at the RA guide rate for one second: the stars move towards -x.
  EXPECT_NEAR(mount->pointing_x(), -config.guide_rate_ra, 0.01);
  EXPECT_NEAR(sky.pointing_x(), mount->pointing_x(), 1e-9);
  send(":RC#:Mn#");
  run_for(500);
  send(":Q#");
  EXPECT_NEAR(mount->pointing_y(), -config.centre_rate * 0.5, 0.01);
  // A timed pulse (":Mg") in the same direction: no backlash.
  send(":Mgn0250#");
  run_for(1000);
  EXPECT_NEAR(mount->pointing_y(), -config.centre_rate * 0.5 - config.guide_rate_dec * 0.25, 0.01);
}

TEST_F(Client, ReversingAnAxisFirstTakesUpItsBacklash) {
  send(":RG#:Mn#");
  run_for(1000);
  send(":Qn#");
  const double y = mount->pointing_y();
  EXPECT_NEAR(y, -config.guide_rate_dec, 0.01);
  send(":Ms#");
  run_for(2000);
  send(":Qs#");
  // Two seconds south, less the backlash.
  EXPECT_NEAR(mount->pointing_y() - y, 2 * config.guide_rate_dec - config.dec_backlash, 0.01);
  // Going on south costs nothing more.
  send(":Ms#");
  run_for(1000);
  send(":Qs#");
  EXPECT_NEAR(mount->pointing_y() - y, 3 * config.guide_rate_dec - config.dec_backlash, 0.01);
}

TEST_F(Client, TheCameraTurnedTheOtherWayTurnsTheMotionOnTheSensor) {
  TearDown();
  config.east_shifts_stars_left = false;
  config.north_shifts_stars_up = false;
  start();
  // East and north now move the stars towards +x and +y; the backlash of a
  // reversal is taken up as before.
  send(":Mge0500#:Mgn1000#");
  run_for(1500);
  EXPECT_NEAR(mount->pointing_x(), config.guide_rate_ra * 0.5, 0.01);
  EXPECT_NEAR(mount->pointing_y(), config.guide_rate_dec, 0.01);
  send(":Mgs2000#");
  run_for(2500);
  EXPECT_NEAR(mount->pointing_y(),
              config.guide_rate_dec - (2 * config.guide_rate_dec - config.dec_backlash), 0.01);
}

TEST(SimMountDrift, DriftsSlowly) {
  SimMountConfig config;
  config.drift_x = 0.5;
  config.drift_y = -0.25;
  SimMount mount(config);
  ASSERT_TRUE(mount.open());
  mount.step(1000);
  mount.step(5000);
  EXPECT_NEAR(mount.pointing_x(), 2.0, 1e-9);
  EXPECT_NEAR(mount.pointing_y(), -1.0, 1e-9);
}

TEST_F(Client, AtThreeHundredBaudItIsAControlBox) {
  TearDown();
  start(B300);
  EXPECT_EQ(mount->baud(), 300);
  send(std::string("\x01\x11", 2));
  run_for(1000);
  send(std::string("\0", 1));
  EXPECT_NEAR(mount->pointing_x(), -config.guide_rate_ra, 0.01);
  send(std::string("\x0d\0\0", 3));
  EXPECT_EQ(mount->control_box_resets(), 1);
  // LX200 text at 300 baud is just bytes to a control box; nothing answers.
  EXPECT_EQ(ask(":GR#"), "");
}

TEST_F(Client, TextAtTheWrongLineSettingsIsGarbled) {
  TearDown();
  start(B4800);
  EXPECT_EQ(ask(":GR#"), "");
  EXPECT_EQ(mount->garbled_bytes(), 4);
}

TEST_F(Client, SilentSlowAndGarbageMounts) {
  mount->set_behaviour(MountBehaviour::Silent);
  EXPECT_EQ(ask(":GR#", 500), "");
  mount->set_behaviour(MountBehaviour::Normal);
  mount->set_reply_delay(300);
  EXPECT_EQ(ask(":GR#", 250), "");
  EXPECT_EQ(answer(100), "00:00:00#");
  mount->set_reply_delay(0);
  mount->set_behaviour(MountBehaviour::Garbage);
  const std::string noise = ask("#:LI#", 500);
  EXPECT_GT(noise.size(), 33u);
  EXPECT_EQ(noise.find_first_of("0123456789#"), std::string::npos);
  // A program that never reads cannot make the mount hoard replies.
  for (int i = 0; i < 400; ++i) send("#:LI#");
  EXPECT_LE(mount->queued_reply_bytes(), SimMount::MAX_QUEUED);
}

TEST_F(Client, ReplyCharactersAreOneCharacterTimeApart) {
  send(":GR#");
  std::string got;
  std::vector<std::uint32_t> at;
  char c;
  for (std::uint32_t t = 0; t < 100 && got.size() < 9; ++t) {
    if (::read(fd, &c, 1) == 1) {
      got.push_back(c);
      at.push_back(t);
    }
    run_for(1);
  }
  EXPECT_EQ(got, "00:00:00#");
  ASSERT_EQ(at.size(), 9u);
  EXPECT_GE(at.front(), 1u);  // not there the moment it was asked
  // Nine characters at 9600 baud take a little over nine milliseconds.
  EXPECT_GE(at.back() - at.front(), 8u);
  EXPECT_LE(at.back() - at.front(), 9u);
}

}  // namespace
}  // namespace tarvex
