// The mount port's contract, run alike against the LX200 on the simulated
// mount, the control box on the same pseudo-terminal, and the fake: the
// same cases, and for the two serial mounts the bytes on the wire.
#include <gtest/gtest.h>

#include "app/mounts.h"
#include "app/telescope.h"
#include "fake_mount.h"
#include "scope_rig.h"

namespace tarvex {
namespace {

enum class Kind { Lx200, Box, Fake };

struct MountContract : ScopeRig, ::testing::WithParamInterface<Kind> {
  FakeMount fake;
  Mount& port() {
    switch (GetParam()) {
      case Kind::Lx200: return lx200_mount(*app);
      case Kind::Box: return control_box_mount(*app);
      case Kind::Fake: break;
    }
    return fake;
  }
  void SetUp() override {
    ScopeRig::SetUp();
    if (GetParam() == Kind::Box) use_link(LinkType::ControlBox);
    if (GetParam() != Kind::Fake) open_link();
  }
  // Everything the mount read since the link opened, as one stream.
  std::string wire() const {
    std::string all;
    for (const std::string& t : texts()) all += t;
    return all;
  }
};

TEST_P(MountContract, MovesStopsAndPulsesWithTheBytesOfTheLink) {
  Mount& m = port();
  m.set_rate(MoveRate::Guide);
  EXPECT_EQ(m.move(Direction::East), ScopeResult::Done);
  EXPECT_EQ(m.move(Direction::North), ScopeResult::Ignored);  // one move at a time
  EXPECT_EQ(m.stop(), ScopeResult::Done);
  EXPECT_EQ(m.pulse(Direction::North, 100, PulseEnd::Timed), ScopeResult::Done);
  EXPECT_EQ(m.abort(), ScopeResult::Done);
  EXPECT_TRUE(messages.codes().empty());
  switch (GetParam()) {
    case Kind::Lx200: EXPECT_EQ(wire(), "#:RG##:Me##:Qn##:Qs##:Qe##:Qw##:RG##:Mn##:Qn##:Q#"); break;
    case Kind::Box: EXPECT_EQ(wire(), std::string("\x01\x11\x00\x02\x12\x00\x00", 7)); break;
    case Kind::Fake:
      EXPECT_EQ(fake.log, (std::vector<std::string>{"move", "stop", "pulse 100", "abort"}));
      break;
  }
}

TEST_P(MountContract, WhatItCannotDoSendsNothingAndWhatItCanDoWorks) {
  Mount& m = port();
  const MountCapabilities can = m.capabilities();
  const Coordinates target{5, 35, true, 0, 30};
  const ScopeResult synced = m.sync(target);
  MountPosition p;
  const ScopeResult read = m.read_position(p);
  const ScopeResult focused = m.focus(true);
  if (focused == ScopeResult::Done) {
    EXPECT_EQ(m.focus_stop(), ScopeResult::Done);
  }
  EXPECT_EQ(synced == ScopeResult::Done, can.sync);
  EXPECT_EQ(read == ScopeResult::Done, can.read_position);
  EXPECT_EQ(focused == ScopeResult::Done, can.focus);
  if (!can.go_to) {
    EXPECT_EQ(m.goto_coordinates(target).status, ScopeResult::Unsupported);
    EXPECT_EQ(m.goto_object(Catalogue::Messier, 31).status, ScopeResult::Unsupported);
  }
  if (can.sync && can.read_position) {
    // A synced mount reports the target, to the step it takes targets in.
    EXPECT_NEAR(p.ra_hours, 5 + 35 / 60.0, can.ra_step_seconds / 3600.0);
    EXPECT_NEAR(p.dec_degrees, -0.5, can.dec_step_arcsec / 3600.0);
  }
  EXPECT_TRUE(messages.codes().empty());
  if (GetParam() == Kind::Lx200) {
    EXPECT_EQ(wire(), "#:Sr 05:35.0#:Sd -00*30##:CM##:GR##:GD##:FS##:F+##:FQ#");
  }
  if (GetParam() == Kind::Box) {
    EXPECT_EQ(wire(), "");
  }
}

TEST_P(MountContract, OpensResetsAndTellsWhatRuns) {
  Mount& m = port();
  const MountCapabilities can = m.capabilities();
  EXPECT_TRUE(can.autoguide);
  EXPECT_EQ(m.open(), ScopeResult::Done);
  EXPECT_EQ(m.reset(), ScopeResult::Done);
  m.set_rate(MoveRate::Centre);
  // Only a mount that takes go-tos has rates to choose; the box has one.
  EXPECT_EQ(m.rate(), can.go_to ? MoveRate::Centre : MoveRate::Guide);
  EXPECT_FALSE(m.moving());
  EXPECT_EQ(m.move(Direction::West), ScopeResult::Done);
  EXPECT_TRUE(m.moving());
  EXPECT_EQ(m.stop(), ScopeResult::Done);
  EXPECT_FALSE(m.moving());
  m.set_focus_speed(true);
  EXPECT_EQ(m.focus_fast(), can.focus);
  EXPECT_FALSE(m.focusing());
  EXPECT_TRUE(messages.codes().empty());
  switch (GetParam()) {
    case Kind::Lx200: EXPECT_EQ(wire(), "#:RC##:Mw##:Qn##:Qs##:Qe##:Qw#"); break;
    case Kind::Box: EXPECT_EQ(wire(), std::string("\x0d\0\0\x08\x18\x00", 6)); break;
    case Kind::Fake:
      EXPECT_EQ(fake.log, (std::vector<std::string>{"open", "reset", "move", "stop"}));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(AllMounts, MountContract,
                         ::testing::Values(Kind::Lx200, Kind::Box, Kind::Fake));

}  // namespace
}  // namespace tarvex
