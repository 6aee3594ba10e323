// The telescope operations end to end: real termios on a pseudo-terminal,
// the simulated mount at the other end recording what arrives and when, on
// the virtual clock. Every byte stream is compared with bytes written out
// by hand.
#include "app/telescope.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/telescope_ports.h"
#include "platform/basic_ports.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "scope_rig.h"
#include "sim/sim_camera.h"
#include "sim/sim_mount.h"
#include "test_support.h"

namespace tarvex {
namespace {

using testing::read_bytes;
using testing::TempDir;

using Texts = std::vector<std::string>;

TEST_F(ScopeRig, OpeningSetsTheLineForTheLinkType) {
  EXPECT_EQ(ensure_link_open(*app), ScopeResult::Done);
  clock.now_ms();
  EXPECT_EQ(mount.baud(), 9600);
  EXPECT_TRUE(app->telescope.link_open);
  EXPECT_TRUE(app->settings.controlbox_present);
  EXPECT_TRUE(messages.shown.empty());  // no modem lines on a pseudo-terminal: not an error
  EXPECT_EQ(ports_named, std::vector<int>{1});

  app->telescope = SerialLink{};
  app->telescope.port = faulty.get();
  use_link(LinkType::ControlBox);
  EXPECT_EQ(ensure_link_open(*app), ScopeResult::Done);
  clock.now_ms();
  EXPECT_EQ(mount.baud(), 300);
  EXPECT_TRUE(mount.received().empty());  // opening sends nothing
}

TEST_F(ScopeRig, Lx200GuidePulseRateMoveWaitStop) {
  open_link();
  const std::uint32_t start = now();
  ASSERT_EQ(guide_pulse(*app, Direction::East, 500), ScopeResult::Done);
  const std::uint32_t took = now() - start;
  const auto c = chunks();
  ASSERT_EQ(texts(), (Texts{"#:RG#", "#:Me#", "#:Qe#"}));
  EXPECT_GE(c[1].at - c[0].at, 19u);  // 20 ms after the pulse began
  EXPECT_LE(c[1].at - c[0].at, 21u);
  EXPECT_GE(c[2].at - c[1].at, 500u);
  EXPECT_LE(c[2].at - c[1].at, 503u);
  EXPECT_GE(took, 524u);  // 20 ms + the pulse + 4 ms
  EXPECT_LE(took, 530u);
  EXPECT_EQ(app->telescope.directions.current_move(), 'e');
  EXPECT_EQ(app->telescope.pulse_ms, 500u);
  // Half a second east at the guide rate moved the stars that far towards -x.
  EXPECT_NEAR(mount.pointing_x(), -0.5 * mount.config().guide_rate_ra, 0.1);
}

TEST_F(ScopeRig, ControlBoxPulseEvenOfZeroAndForLinkTypeNone) {
  use_link(LinkType::ControlBox);
  open_link();
  ASSERT_EQ(guide_pulse(*app, Direction::North, 300), ScopeResult::Done);
  auto c = chunks();
  ASSERT_EQ(texts(), (Texts{"\x02", "\x12", std::string(1, '\0')}));
  EXPECT_GE(c[1].at - c[0].at, 1u);
  EXPECT_LE(c[1].at - c[0].at, 3u);
  EXPECT_GE(c[2].at - c[1].at, 300u);
  EXPECT_LE(c[2].at - c[1].at, 303u);
  // A pulse of 0 ms still sends its three bytes.
  mount.clear_received();
  ASSERT_EQ(guide_pulse(*app, Direction::South, 0), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"\x04", "\x14", std::string(1, '\0')}));
  // Only link type LX200 pulses the LX200 way; none pulses like the box.
  app->telescope = SerialLink{};
  app->telescope.port = faulty.get();
  use_link(LinkType::None);
  open_link();
  ASSERT_EQ(guide_pulse(*app, Direction::West, 10), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"\x08", "\x18", std::string(1, '\0')}));
}

TEST_F(ScopeRig, SwappedDirectionsReverseMovesAndPulsesAlike) {
  app->settings.drive_directions = DriveDirections{false, true};  // Swap e/w
  ASSERT_EQ(save_settings(app->paths.settings_file(), app->settings, app->fits), FileSave::Ok);
  open_link();
  ASSERT_EQ(press_move(*app, Direction::East), ScopeResult::Done);  // "Right"
  ASSERT_EQ(release_move(*app), ScopeResult::Done);
  ASSERT_EQ(guide_pulse(*app, Direction::East, 5), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"#:RS#", "#:Mw#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#", "#:RG#", "#:Mw#",
                            "#:Qw#"}));
  // Swapping in the defaults applies at once, without reopening.
  app->settings.drive_directions = DriveDirections{true, false};
  mount.clear_received();
  ASSERT_EQ(press_move(*app, Direction::North), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"#:RS#", "#:Ms#"}));
}

TEST_F(ScopeRig, PressAndHoldLx200AndASecondPressSendsNothing) {
  open_link();
  set_move_rate(*app, MoveRate::Centre);
  ASSERT_EQ(press_lx200_move(*app, Direction::North), ScopeResult::Done);
  EXPECT_EQ(press_lx200_move(*app, Direction::South), ScopeResult::Ignored);
  EXPECT_EQ(texts(), (Texts{"#:RC#", "#:Mn#"}));
  mount.clear_received();
  ASSERT_EQ(release_lx200_move(*app), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
  EXPECT_FALSE(app->telescope.move_running);
}

TEST_F(ScopeRig, PressAndHoldControlBox) {
  use_link(LinkType::ControlBox);
  open_link();
  ASSERT_EQ(press_move(*app, Direction::West), ScopeResult::Done);
  EXPECT_EQ(press_move(*app, Direction::East), ScopeResult::Ignored);
  EXPECT_EQ(app->telescope.directions.current_move(), 'w');
  ASSERT_EQ(release_move(*app), ScopeResult::Done);
  const auto c = chunks();
  ASSERT_EQ(texts(), (Texts{"\x08", "\x18", std::string(1, '\0')}));
  EXPECT_GE(c[1].at - c[0].at, 1u);
}

TEST_F(ScopeRig, FocusMoves) {
  open_link();
  ASSERT_EQ(press_focus(*app, true), ScopeResult::Done);
  EXPECT_EQ(press_focus(*app, false), ScopeResult::Ignored);
  ASSERT_EQ(release_focus(*app), ScopeResult::Done);
  set_focus_speed(*app, true);
  ASSERT_EQ(press_focus(*app, false), ScopeResult::Done);
  ASSERT_EQ(release_focus(*app), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"#:FS#", "#:F+#", "#:FQ#", "#:FF#", "#:F-#", "#:FQ#"}));
}

TEST_F(ScopeRig, GotoMessierReadsTheObjectAndTheReply) {
  open_link();
  const std::uint32_t start = now();
  const GotoResult r = goto_object(*app, Catalogue::Messier, 31);
  const std::uint32_t took = now() - start;
  EXPECT_EQ(r.status, ScopeResult::Done);
  EXPECT_EQ(r.reply, '0');
  EXPECT_EQ(texts(), (Texts{"#:LM 0031#", "#:LI#", "#:MS#", "#:LI#"}));
  const auto c = chunks();
  EXPECT_GE(c[2].at - c[1].at, 1u);  // 1 ms, the beep, then the slew
  EXPECT_EQ(base.beeps, 1);
  EXPECT_EQ(app->telescope.object_info, "M31     GX MAG  3.4 Andromeda    ");
  EXPECT_TRUE(mount.slewing());
  EXPECT_TRUE(messages.shown.empty());
  // The information is read again 200 ms after asking.
  EXPECT_GE(took, 200u);
  EXPECT_LE(took, 280u);  // and the character gaps after the two texts
}

// A mount that answers a go-to the way mounts in the field do: the object
// text for ":LI#" (in chunks, as a USB-serial adapter hands it on), and the
// reply to ":MS#" `gap` ms after the text's last byte. Each answer is on the
// line before the clock moves on, so the times are clock times however
// slowly the system hands bytes across the pseudo-terminal.
class GotoMount : public ClockListener {
 public:
  GotoMount(std::vector<std::string> object_chunks, std::uint32_t chunk_ms, std::uint32_t gap)
      : chunks_(std::move(object_chunks)), chunk_ms_(chunk_ms), gap_(gap) {
    char name[256] = {};
    EXPECT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    path = name;
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
  }
  ~GotoMount() override {
    ::close(master_);
    ::close(slave_);
  }
  void on_clock(std::uint32_t now) override {
    char buf[256];
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0) {
      received.append(buf, static_cast<std::size_t>(n));
      for (; scanned_ < received.size(); ++scanned_) {
        if (received.compare(scanned_, 5, "#:LI#") == 0) {
          std::uint32_t at = now + 2;
          for (const std::string& c : chunks_) {
            due_.push_back({at, c});
            at += chunk_ms_;
          }
          text_end_ = at - chunk_ms_;
        } else if (received.compare(scanned_, 5, "#:MS#") == 0) {
          due_.push_back({text_end_ + gap_, "0"});
        }
      }
    }
    while (!due_.empty() && static_cast<std::int32_t>(now - due_.front().first) >= 0) {
      send(due_.front().second);
      due_.erase(due_.begin());
    }
  }
  std::string path, received;

 private:
  // Writes and waits until the bytes can be read at the program's end.
  void send(const std::string& text) {
    int before = 0, queued = 0;
    ::ioctl(slave_, FIONREAD, &before);
    ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    for (int k = 0; k < 10000 && queued < before + static_cast<int>(text.size()); ++k) {
      ::ioctl(slave_, FIONREAD, &queued);
      if (queued < before + static_cast<int>(text.size())) ::usleep(100);
    }
  }
  std::vector<std::string> chunks_;
  std::uint32_t chunk_ms_, gap_;
  std::uint32_t text_end_ = 0;
  std::size_t scanned_ = 0;
  std::vector<std::pair<std::uint32_t, std::string>> due_;
  int master_ = -1, slave_ = -1;
};

TEST_F(ScopeRig, AStartedSlewIsReportedAsStartedHoweverLateItsReplyComes) {
  // The object text as 33 characters, as text closed by '#', and as 33
  // characters and a '#' handed on in chunks 16 ms apart; the reply to the
  // slew right after the text or 15, 50 or 150 ms later.
  const std::string full = "M31     GX MAG  3.4 Andromeda    ";
  const struct {
    std::vector<std::string> chunks;
    std::string object;
  } texts[] = {{{full}, full},
               {{"M31 EXT GAL MAG 3.5#"}, "M31 EXT GAL MAG 3.5#"},
               {{full.substr(0, 16), full.substr(16) + "#"}, full}};
  for (const auto& t : texts) {
    for (const std::uint32_t gap : {0u, 15u, 50u, 150u}) {
      SCOPED_TRACE(t.object + " with the reply " + std::to_string(gap) + " ms after it");
      GotoMount goto_mount(t.chunks, 16, gap);
      device = goto_mount.path;
      clock.add_listener(goto_mount);
      app->telescope = SerialLink{};
      app->telescope.port = faulty.get();
      messages.shown.clear();
      ASSERT_EQ(ensure_link_open(*app), ScopeResult::Done);
      const GotoResult r = goto_object(*app, Catalogue::Messier, 31);
      clock.remove_listener(goto_mount);
      EXPECT_EQ(r.status, ScopeResult::Done);
      EXPECT_EQ(r.reply, '0');
      EXPECT_TRUE(messages.shown.empty());
      EXPECT_EQ(app->telescope.object_info, t.object);
      EXPECT_EQ(goto_mount.received, "#:LM 0031##:LI##:MS##:LI#");
    }
  }
}

TEST_F(ScopeRig, GotoCoordinatesTakesTheTwoAcknowledgementsAndKeepsTheTypedSign) {
  open_link();
  Coordinates target;
  target.ra_hours = 5;
  target.ra_minutes = 35;
  target.dec_negative = true;  // typed "-0"
  target.dec_degrees = 0;
  target.dec_minutes = 30;
  const GotoResult r = goto_coordinates(*app, target);
  EXPECT_EQ(r.status, ScopeResult::Done);
  EXPECT_EQ(r.reply, '0');
  EXPECT_EQ(mount.received_text(), "#:Sr 05:35.0#:Sd -00*30#:LI##:MS##:LI#");
  // Neither "11" nor a shifted reply in the object text.
  EXPECT_EQ(app->telescope.object_info, "TARGET 05:35.0 -00*30            ");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScopeRig, AGotoTheMountRefusesKeepsItsReplyAndReason) {
  open_link();
  Coordinates south;
  south.ra_hours = 12;
  south.dec_negative = true;
  south.dec_degrees = 60;
  const GotoResult r = goto_coordinates(*app, south);
  EXPECT_EQ(r.status, ScopeResult::Refused);
  EXPECT_EQ(r.reply, '1');
  EXPECT_EQ(r.reason, "Object Below Horizon");
  EXPECT_EQ(app->telescope.object_info, "TARGET 12:00.0 -60*00            ");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(mount.slewing());
}

TEST_F(ScopeRig, ObjectInformationAndControlBoxReset) {
  open_link();
  ASSERT_EQ(read_object_info(*app), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"#:LI#"}));
  EXPECT_EQ(app->telescope.object_info.size(), 33u);

  use_link(LinkType::ControlBox);
  app->telescope = SerialLink{};
  app->telescope.port = faulty.get();
  open_link();
  const std::uint32_t start = now();
  ASSERT_EQ(reset_control_box(*app), ScopeResult::Done);
  const auto c = chunks();
  ASSERT_EQ(mount.received_text(), std::string("\x0d\0\0", 3));
  EXPECT_GE(c[0].at - start, 500u);  // lines cleared 200 ms, set 300 ms
  EXPECT_EQ(mount.control_box_resets(), 1);
}

// Every operation against a mount that says nothing, a slow one and one
// that talks nonsense: bounded time, one message at most, nothing kept
// without bound.
TEST_F(ScopeRig, SilentSlowAndGarbageMountsCostABoundedTimeAndOneMessage) {
  open_link();
  const std::uint32_t bound = TermiosSerialPort::REPLY_WAIT_MS + 20;
  Coordinates target;
  target.ra_hours = 1;
  target.dec_degrees = 40;
  struct Case {
    const char* name;
    std::function<bool()> run;  // true when it succeeded
    std::uint32_t bound;
    std::size_t messages;
  };
  const std::vector<Case> cases = {
      {"goto object",
       [&] { return goto_object(*app, Catalogue::Ngc, 7000).status == ScopeResult::Done; }, bound,
       1},
      {"goto coordinates",
       [&] { return goto_coordinates(*app, target).status == ScopeResult::Done; }, bound, 1},
      {"object info", [&] { return read_object_info(*app) == ScopeResult::Done; }, bound, 1},
      {"pulse", [&] { return guide_pulse(*app, Direction::North, 100) == ScopeResult::Done; }, 130,
       0},
      {"move",
       [&] {
         return press_move(*app, Direction::East) == ScopeResult::Done &&
                release_move(*app) == ScopeResult::Done;
       },
       10, 0},
      {"focus",
       [&] {
         return press_focus(*app, true) == ScopeResult::Done &&
                release_focus(*app) == ScopeResult::Done;
       },
       10, 0},
  };
  mount.set_behaviour(MountBehaviour::Silent);
  for (const Case& k : cases) {
    messages.shown.clear();
    const std::uint32_t start = now();
    const bool ok = k.run();
    const std::uint32_t took = now() - start;
    EXPECT_LE(took, k.bound) << k.name;
    EXPECT_EQ(messages.shown.size(), k.messages) << k.name;
    EXPECT_EQ(ok, k.messages == 0) << k.name;
    for (const auto& m : messages.shown) EXPECT_EQ(m.code, 54u) << k.name;
  }

  // Slow but within the reply wait: answered.
  mount.set_behaviour(MountBehaviour::Normal);
  mount.set_reply_delay(150);
  messages.shown.clear();
  EXPECT_EQ(goto_object(*app, Catalogue::Messier, 42).status, ScopeResult::Done);
  EXPECT_TRUE(messages.shown.empty());
  // Slower than that: as good as silent.
  mount.set_reply_delay(400);
  EXPECT_EQ(goto_object(*app, Catalogue::Messier, 42).status, ScopeResult::NoReply);
  EXPECT_EQ(messages.codes(), std::vector<unsigned>{54});
  mount.set_reply_delay(0);
  // Let the late answers go by.
  const std::uint32_t settle = now() + 1000;
  while (static_cast<std::int32_t>(clock.now_ms() - settle) < 0) {
  }

  mount.set_behaviour(MountBehaviour::Garbage);
  for (const Case& k : cases) {
    messages.shown.clear();
    const std::uint32_t start = now();
    k.run();
    EXPECT_LE(now() - start, 1000u) << k.name;
    EXPECT_LE(messages.shown.size(), 1u) << k.name;
    for (const auto& m : messages.shown) EXPECT_EQ(m.code, 54u) << k.name;
    EXPECT_LE(app->telescope.object_info.size(), 33u);
  }
  EXPECT_LE(mount.queued_reply_bytes(), SimMount::MAX_QUEUED);
}

TEST_F(ScopeRig, ASerialErrorGivesOneBoxAndTheNextOperationReopens) {
  open_link();
  faulty->fail_puts_after = 0;  // the first write of the next operation fails
  EXPECT_EQ(goto_object(*app, Catalogue::Messier, 13).status, ScopeResult::SerialError);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].code, 50u);
  EXPECT_EQ(messages.shown[0].text, "ERROR -5 ");
  EXPECT_EQ(faulty->writes, 1);  // stopped at the failed call
  EXPECT_FALSE(app->telescope.port_open);
  EXPECT_TRUE(app->telescope.link_open);
  EXPECT_EQ(faulty->dones, 1);

  messages.shown.clear();
  const int resets = faulty->resets;
  EXPECT_EQ(press_move(*app, Direction::North), ScopeResult::Done);
  EXPECT_EQ(faulty->resets, resets + 1);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(texts(), (Texts{"#:RS#", "#:Mn#"}));
}

TEST_F(ScopeRig, AFailedLx200OpenCountsAsNoLinkForThisRunOnly) {
  device = (dir.path() / "no-such-port").string();
  EXPECT_EQ(ensure_link_open(*app), ScopeResult::LinkFailed);
  ASSERT_EQ(messages.codes(), (std::vector<unsigned>{50, 36}));
  EXPECT_EQ(messages.shown[0].text, "ERROR -2 ");
  EXPECT_FALSE(messages.shown[1].text.empty());
  EXPECT_EQ(link_type(*app), LinkType::None);
  EXPECT_FALSE(app->telescope.link_open);
  // The astronomer's choice stays in the settings and in the file.
  EXPECT_EQ(app->settings.telescope_type, LinkType::Lx200);
  ASSERT_EQ(save_settings(app->paths.settings_file(), app->settings, app->fits), FileSave::Ok);
  Settings reread;
  FitsText fits;
  ASSERT_EQ(load_settings(app->paths.settings_file(), reread, fits, messages), SettingsLoad::Read);
  EXPECT_EQ(reread.telescope_type, LinkType::Lx200);
  // Plugged in: the next operation tries the LX200 again.
  device = mount.device_path();
  messages.shown.clear();
  EXPECT_EQ(goto_object(*app, Catalogue::Messier, 1).status, ScopeResult::Done);
  EXPECT_EQ(link_type(*app), LinkType::Lx200);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScopeRig, AControlBoxThatCannotBeOpenedStillMarksTheLinkOpen) {
  use_link(LinkType::ControlBox);
  device = (dir.path() / "no-such-port").string();
  EXPECT_EQ(ensure_link_open(*app), ScopeResult::LinkFailed);
  EXPECT_EQ(messages.codes(), std::vector<unsigned>{50});
  EXPECT_TRUE(app->telescope.link_open);
  EXPECT_TRUE(app->settings.controlbox_present);
  device = mount.device_path();
  EXPECT_EQ(reset_control_box(*app), ScopeResult::Done);
}

TEST_F(ScopeRig, RefusedLineSettingsAreOpenCommunicationsFailed) {
  faulty->fail_parms = true;
  EXPECT_EQ(ensure_link_open(*app), ScopeResult::LinkFailed);
  ASSERT_EQ(messages.codes(), (std::vector<unsigned>{50, 36}));
  EXPECT_EQ(messages.shown[0].text, "Open Communications Failed");
  EXPECT_FALSE(app->telescope.port_open);
}

TEST_F(ScopeRig, AnUnreadableSettingsFileIsReportedAndWrittenAgain) {
  testing::write_bytes(app->paths.settings_file(), std::vector<std::uint8_t>(10, 0));
  EXPECT_EQ(ensure_link_open(*app, Msg::FitsSettingsLoadFailed), ScopeResult::Done);
  const auto codes = messages.codes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), 27u);
  EXPECT_EQ(read_bytes(app->paths.settings_file()).size(), SETTINGS_FILE_SIZE);
}

TEST_F(ScopeRig, CommandLineChoicesAreNeverWrittenAndAPortChangeIsFollowed) {
  use_link(LinkType::None);
  app->telescope.link_type_override = LinkType::ControlBox;
  app->telescope.com_port_override = 3;
  open_link();
  clock.now_ms();
  EXPECT_EQ(mount.baud(), 300);
  EXPECT_EQ(ports_named, std::vector<int>{3});
  ASSERT_EQ(save_settings(app->paths.settings_file(), app->settings, app->fits), FileSave::Ok);
  Settings reread;
  FitsText fits;
  ASSERT_EQ(load_settings(app->paths.settings_file(), reread, fits, messages), SettingsLoad::Read);
  EXPECT_EQ(reread.telescope_type, LinkType::None);
  EXPECT_EQ(reread.com_port, 1);
  // The port changes while the link is open: the next operation moves over.
  app->telescope.com_port_override = 4;
  EXPECT_EQ(guide_pulse(*app, Direction::East, 0), ScopeResult::Done);
  EXPECT_EQ(ports_named, (std::vector<int>{3, 4}));
  EXPECT_EQ(app->telescope.directions.port_digit(), '4');
}

TEST(TelescopePorts, UnderTheSimulatorEveryComPortIsTheMountOnTheCamerasSky) {
  TempDir dir;
  VirtualClock base;
  SteppingClock clock(base);
  TelescopePorts ports;
  std::string error;
  ASSERT_TRUE(make_telescope_ports(true, clock, Paths(dir.path()), ports, error)) << error;
  SimCamera camera(clock);
  attach_simulated_sky(camera, ports);
  for (int port = 0; port < 5; ++port) {
    EXPECT_EQ(ports.serial->reset(port, 1024, 1024), 0);
    EXPECT_EQ(ports.serial->device(port), ports.mount->device_path());
  }
  // Nothing of it lands in the data folder.
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  // The mount drifts as the clock is read, and the camera's sky with it.
  for (int i = 0; i < 5000; ++i) clock.now_ms();
  EXPECT_NE(ports.mount->pointing_x(), 0.0);
  EXPECT_DOUBLE_EQ(camera.sky().pointing_x(), ports.mount->pointing_x());
  EXPECT_DOUBLE_EQ(camera.sky().pointing_y(), ports.mount->pointing_y());
}

TEST(TelescopeRanges, TheTelescopeWindowsRanges) {
  EXPECT_FALSE(messier_in_range(0));
  EXPECT_TRUE(messier_in_range(1));
  EXPECT_TRUE(messier_in_range(110));
  EXPECT_FALSE(messier_in_range(111));
  EXPECT_FALSE(ngc_in_range(0));
  EXPECT_TRUE(ngc_in_range(7815));
  EXPECT_FALSE(ngc_in_range(7816));
  Coordinates c;
  c.ra_hours = 23;
  c.ra_minutes = 59;
  c.dec_negative = true;
  c.dec_degrees = 89;
  c.dec_minutes = 59;
  EXPECT_TRUE(coordinates_in_range(c));  // Dec -89 59 accepted
  c.dec_degrees = 90;
  c.dec_minutes = 0;
  EXPECT_FALSE(coordinates_in_range(c));  // -90 refused
  c.dec_degrees = 0;
  c.ra_hours = 24;
  c.ra_minutes = 0;
  EXPECT_FALSE(coordinates_in_range(c));  // RA 24 h refused
  c.ra_hours = 0;
  c.ra_minutes = 60;
  EXPECT_FALSE(coordinates_in_range(c));
  EXPECT_EQ(planet_number("Mercury"), 901);
  EXPECT_EQ(planet_number("MARS"), 904);
  EXPECT_EQ(planet_number("pluto"), 909);
  EXPECT_EQ(planet_number("earth"), 0);
}

}  // namespace
}  // namespace tarvex
