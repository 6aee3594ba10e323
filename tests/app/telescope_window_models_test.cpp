// The models of the telescope windows against the simulated mount: what each
// control sends (compared with bytes written out by hand), the range boxes,
// the one-operation-at-a-time rule and the release that is never lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/telescope_windows.h"
#include "scope_rig.h"

namespace tarvex {
namespace {

using Texts = std::vector<std::string>;

struct WindowRig : ScopeRig {
  std::vector<RecordingMessages::Shown> boxes() const {
    std::vector<RecordingMessages::Shown> b;
    for (const auto& m : messages.shown)
      if (m.code == 0) b.push_back(m);
    return b;
  }
};

TEST(TelescopeWindowBoxes, NumberBoxesKeepTheTypedSign) {
  BoxNumber n;
  ASSERT_TRUE(read_box_number("-0", n));
  EXPECT_TRUE(n.negative);
  EXPECT_EQ(n.value, 0);
  ASSERT_TRUE(read_box_number(" -89 ", n));
  EXPECT_EQ(n.value, -89);
  ASSERT_TRUE(read_box_number("+7", n));
  EXPECT_FALSE(n.negative);
  EXPECT_EQ(n.value, 7);
  ASSERT_TRUE(read_box_number("", n));  // an empty box is 0
  EXPECT_EQ(n.value, 0);
  EXPECT_FALSE(n.negative);
  for (const char* bad : {"-", "1a", "3.5", "M31", "1234567890", "1 2"})
    EXPECT_FALSE(read_box_number(bad, n)) << bad;
}

TEST_F(WindowRig, TheCommandOpensTheWindowOfTheLinkType) {
  EXPECT_EQ(telescope_control(*app), TelescopeWindow::Lx200);
  EXPECT_TRUE(mount.received().empty());  // opening the LX200 window sends nothing

  // For the control box the box is reset first; the port follows the change
  // of link type to the box's rate.
  use_link(LinkType::ControlBox);
  EXPECT_EQ(telescope_control(*app), TelescopeWindow::ControlBox);
  clock.now_ms();
  EXPECT_EQ(mount.baud(), 300);
  EXPECT_EQ(mount.received_text(), std::string("\x0d\0\0", 3));
  EXPECT_EQ(mount.control_box_resets(), 1);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowRig, TheCommandStopsWhenTheLinkCannotBeOpened) {
  testing::write_bytes(app->paths.settings_file(), std::vector<std::uint8_t>(7, 0));
  device = (dir.path() / "no-such-port").string();
  EXPECT_EQ(telescope_control(*app), TelescopeWindow::None);
  // The unreadable settings are message 27 here; then the port error and the
  // LX200 that could not be reached.
  const auto codes = messages.codes();
  ASSERT_GE(codes.size(), 3u);
  EXPECT_EQ(std::vector<unsigned>(codes.end() - 3, codes.end()),
            (std::vector<unsigned>{27, 50, 36}));
}

TEST_F(WindowRig, GotoObjectFavoursMessierThenCngcElseTheBox) {
  open_link();
  MoveTelescopeModel m(*app);
  struct Case {
    const char* messier;
    const char* ngc;
    const char* sent;  // nullptr: the range box, nothing sent
  } cases[] = {
      {"0", "224", "#:LC 0224#"},    {"31", "224", "#:LM 0031#"}, {"110", "", "#:LM 0110#"},
      {"111", "7815", "#:LC 7815#"}, {"M31", "1", "#:LC 0001#"},  {"", "7816", nullptr},
      {"0", "0", nullptr},           {"-5", "-5", nullptr},
  };
  for (const Case& c : cases) {
    mount.clear_received();
    messages.shown.clear();
    m.messier = c.messier;
    m.ngc = c.ngc;
    const ScopeResult r = m.goto_object();
    if (c.sent != nullptr) {
      // Sent: the slew starts, or the mount finds the object below the horizon.
      EXPECT_TRUE(r == ScopeResult::Done || r == ScopeResult::Refused) << c.messier << "/" << c.ngc;
      ASSERT_FALSE(texts().empty());
      EXPECT_EQ(texts()[0], c.sent);
      EXPECT_TRUE(messages.shown.empty());
    } else {
      EXPECT_EQ(r, ScopeResult::OutOfRange);
      EXPECT_TRUE(mount.received().empty());
      ASSERT_EQ(boxes().size(), 1u);
      EXPECT_EQ(boxes()[0].caption, "Tarvex - Control Telescope");
      EXPECT_EQ(boxes()[0].text, "Object out of range - try again");
    }
  }
  EXPECT_FALSE(app->busy);
}

TEST_F(WindowRig, GotoCoordinatesRangesAndTheSignOfMinusZero) {
  open_link();
  MoveTelescopeModel m(*app);
  struct Case {
    const char *h, *min, *d, *dm;
    const char* sent;  // the two target texts, or nullptr for the box
  } cases[] = {
      {"5", "35", "-0", "30", "#:Sr 05:35.0#:Sd -00*30"},
      {"23", "59", "-89", "59", "#:Sr 23:59.0#:Sd -89*59"},
      {"0", "0", "+89", "59", "#:Sr 00:00.0#:Sd +89*59"},
      {"12", "", "0", "", "#:Sr 12:00.0#:Sd +00*00"},
      {"24", "0", "0", "0", nullptr},
      {"0", "60", "0", "0", nullptr},
      {"0", "0", "-90", "0", nullptr},
      {"0", "0", "90", "0", nullptr},
      {"0", "0", "10", "60", nullptr},
      {"0", "0", "10", "-1", nullptr},
      {"1h", "0", "10", "0", nullptr},
  };
  for (const Case& c : cases) {
    mount.clear_received();
    messages.shown.clear();
    m.ra_hours = c.h;
    m.ra_minutes = c.min;
    m.dec_degrees = c.d;
    m.dec_minutes = c.dm;
    const ScopeResult r = m.goto_coordinates();
    const std::string label = std::string(c.h) + " " + c.min + " " + c.d + " " + c.dm;
    if (c.sent != nullptr) {
      EXPECT_NE(r, ScopeResult::OutOfRange) << label;
      EXPECT_EQ(mount.received_text().substr(0, 23), c.sent) << label;
      EXPECT_TRUE(boxes().empty()) << label;
    } else {
      EXPECT_EQ(r, ScopeResult::OutOfRange) << label;
      EXPECT_TRUE(mount.received().empty()) << label;
      ASSERT_EQ(boxes().size(), 1u) << label;
      EXPECT_EQ(boxes()[0].caption, "Brisca - Control Telescope");
      EXPECT_EQ(boxes()[0].text,
                "Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min, to 23hr 59mins\n"
                "        Dec  -89deg 00min, to +89deg 59mins");
    }
  }
}

TEST_F(WindowRig, PlanetButtonsAndTheInformationShown) {
  open_link();
  MoveTelescopeModel m(*app);
  // What the mount sent, up to its '#', its degree sign shown as one and
  // other bytes escaped as tarvex-cli shows them.
  app->telescope.object_info = std::string(
      "M42  \xDF"
      "5 NB\x01  #junk",
      14);
  EXPECT_EQ(m.info_text(),
            "M42  \xC2\xB0"
            "5 NB\\x01");
  // A refused slew puts the mount's reason first, until the next go-to.
  m.ra_hours = "12";
  m.dec_degrees = "-60";
  EXPECT_EQ(m.goto_coordinates(), ScopeResult::Refused);
  EXPECT_EQ(m.info_text(), "Object Below Horizon\nTARGET 12:00.0 -60*00");
  m.messier = "31";
  EXPECT_EQ(m.goto_object(), ScopeResult::Done);
  EXPECT_EQ(m.info_text(), "M31     GX MAG  3.4 Andromeda");

  const char* sent[] = {"#:LS 0901#", "#:LS 0902#", "#:LS 0904#", "#:LS 0905#",
                        "#:LS 0906#", "#:LS 0907#", "#:LS 0908#", "#:LS 0909#"};
  for (int i = 0; i < 8; ++i) {
    mount.clear_received();
    m.goto_planet(i);
    ASSERT_FALSE(texts().empty());
    EXPECT_EQ(texts()[0], sent[i]);
  }
  EXPECT_EQ(m.goto_planet(8), ScopeResult::OutOfRange);
}

TEST_F(WindowRig, RateAndFocusSpeedAreReadBackFromTheCommandBuffers) {
  MoveTelescopeModel m(*app);
  EXPECT_EQ(m.rate(), MoveRate::Slew);  // "#:RS#" at start
  EXPECT_FALSE(m.focus_fast());         // "#:FS#" at start
  m.set_rate(MoveRate::Find);
  EXPECT_EQ(app->telescope.rate_command, "#:RM#");
  EXPECT_EQ(m.rate(), MoveRate::Find);
  // Whatever put the text there, its fourth character decides.
  app->telescope.rate_command = "#:RC#";
  EXPECT_EQ(m.rate(), MoveRate::Centre);
  app->telescope.rate_command = "#:RX#";
  EXPECT_EQ(m.rate(), MoveRate::Guide);
  app->telescope.rate_command.clear();
  EXPECT_EQ(m.rate(), MoveRate::Guide);
  m.set_focus_fast(true);
  EXPECT_EQ(app->telescope.focus_speed, "#:FF#");
  EXPECT_TRUE(m.focus_fast());
  app->telescope.focus_speed = "#:FX#";
  EXPECT_FALSE(m.focus_fast());
}

TEST_F(WindowRig, HeldMovesASecondPressSendsNothingAndAFailedPressHoldsNothing) {
  open_link();
  MoveTelescopeModel m(*app);
  m.set_rate(MoveRate::Centre);
  EXPECT_EQ(m.press_move(Direction::West), ScopeResult::Done);
  EXPECT_EQ(m.press_move(Direction::North), ScopeResult::Ignored);
  EXPECT_EQ(m.press_focus(true), ScopeResult::Done);  // focus has its own mark
  EXPECT_EQ(m.release_move(), ScopeResult::Done);
  EXPECT_EQ(m.release_move(), ScopeResult::Ignored);  // nothing held: nothing sent
  EXPECT_EQ(m.release_focus(), ScopeResult::Done);
  EXPECT_EQ(texts(), (Texts{"#:RC#", "#:Mw#", "#:FS#", "#:F+#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#",
                            "#:FQ#"}));

  // A press the port refuses gives its one message; its release adds none.
  faulty->fail_puts_after = 0;
  mount.clear_received();
  EXPECT_EQ(m.press_move(Direction::East), ScopeResult::SerialError);
  EXPECT_EQ(m.release_move(), ScopeResult::Ignored);
  EXPECT_EQ(messages.codes(), std::vector<unsigned>{50});
  EXPECT_TRUE(mount.received().empty());

  // The control box window: Up, Down, Left, Right are positions 2, 3, 1, 0.
  use_link(LinkType::ControlBox);
  messages.shown.clear();
  ControlBoxMoveModel box(*app);
  const Direction arrows[] = {Direction::North, Direction::South, Direction::West, Direction::East};
  const char bits[] = {2, 4, 8, 1};
  for (int i = 0; i < 4; ++i) {
    mount.clear_received();
    EXPECT_EQ(box.press(arrows[i]), ScopeResult::Done);
    EXPECT_EQ(box.press(Direction::East), ScopeResult::Ignored);
    EXPECT_EQ(box.release(), ScopeResult::Done);
    EXPECT_EQ(texts(),
              (Texts{std::string(1, bits[i]), std::string(1, static_cast<char>(bits[i] + 16)),
                     std::string(1, '\0')}))
        << i;
  }
  EXPECT_TRUE(messages.shown.empty());
}

// While a go-to waits on the mount, the program's events are handled: a
// press then is refused, and a release is held back until the go-to ends,
// so nothing goes out in the middle of it and no move is left running.
TEST_F(WindowRig, OneOperationAtATimeAndTheReleaseIsNeverLost) {
  open_link();
  MoveTelescopeModel m(*app);
  ASSERT_EQ(m.press_move(Direction::North), ScopeResult::Done);
  mount.clear_received();
  ScopeResult during_press = ScopeResult::Done, during_release = ScopeResult::Done;
  bool was_running = false;
  pump.run_on_pass(1, [&] {
    was_running = m.running();
    during_press = m.press_focus(true);
    during_release = m.release_move();
  });
  m.messier = "31";
  EXPECT_EQ(m.goto_object(), ScopeResult::Done);
  EXPECT_TRUE(was_running);
  EXPECT_EQ(during_press, ScopeResult::Ignored);
  EXPECT_EQ(during_release, ScopeResult::Ignored);  // held back
  EXPECT_EQ(texts(),
            (Texts{"#:LM 0031#", "#:LI#", "#:MS#", "#:LI#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
  EXPECT_FALSE(app->telescope.move_running);
  EXPECT_FALSE(app->busy);
  EXPECT_EQ(progress.busy_depth, 0);

  // Another command of the program is busy: no press starts, but a release
  // still stops the mount.
  ASSERT_EQ(m.press_move(Direction::South), ScopeResult::Done);
  app->busy = true;
  EXPECT_EQ(m.press_focus(false), ScopeResult::Ignored);
  EXPECT_EQ(m.goto_object(), ScopeResult::Ignored);
  mount.clear_received();
  m.release_all();
  EXPECT_EQ(texts(), (Texts{"#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
  EXPECT_TRUE(app->busy);  // left as the other command has it
}

// A mount that never answers: one message per go-to, bounded time, and the
// waits keep handling events; the next operation works as before.
TEST_F(WindowRig, ASilentMountGivesOneMessageAndTheWaitsHandleEvents) {
  serial->set_pump(&pump);
  open_link();
  MoveTelescopeModel m(*app);
  mount.set_behaviour(MountBehaviour::Silent);
  m.messier = "57";
  const std::uint32_t start = now();
  EXPECT_EQ(m.goto_object(), ScopeResult::NoReply);
  EXPECT_LE(now() - start, 300u);
  EXPECT_EQ(messages.codes(), std::vector<unsigned>{54});
  // Most of the wait was spent handling events.
  EXPECT_GT(pump.pumps, 150);
  EXPECT_FALSE(app->busy);

  mount.set_behaviour(MountBehaviour::Normal);
  messages.shown.clear();
  EXPECT_EQ(m.goto_object(), ScopeResult::Done);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(m.info_text().substr(0, 3), "M57");
}

}  // namespace
}  // namespace tarvex
