// Go-to and sync to a position through the LX200 mount port, against the
// simulated mount: the precision learned from ":GR#", the switch with ":U#"
// and back, and the long target texts, byte for byte.
#include <gtest/gtest.h>

#include "app/mount_pointing.h"
#include "app/mounts.h"
#include "app/telescope.h"
#include "scope_rig.h"

namespace tarvex {
namespace {

struct MountPositions : ScopeRig {
  std::string wire() const {
    std::string all;
    for (const std::string& t : texts()) all += t;
    return all;
  }
};

// 05:35:24 -05*27'00" as hours and degrees.
const MountPosition kTarget{5 + 35 / 60.0 + 24 / 3600.0, -(5 + 27 / 60.0)};

TEST_F(MountPositions, HighPrecisionSyncSetsWhereTheMountBelievesItPoints) {
  open_link();
  Mount& m = lx200_mount(*app);
  const double x = mount.pointing_x(), y = mount.pointing_y();
  ASSERT_EQ(m.sync_position(kTarget), ScopeResult::Done);
  // Already in high precision: no switch, the long forms, then the sync.
  EXPECT_EQ(wire(), "#:GR##:Sr 05:35:24##:Sd -05*27:00##:CM#");
  EXPECT_NEAR(mount.ra_hours(), kTarget.ra_hours, 1e-9);
  EXPECT_NEAR(mount.dec_degrees(), kTarget.dec_degrees, 1e-9);
  // The picture does not move (beyond the mount's slow drift).
  EXPECT_NEAR(mount.pointing_x(), x, 0.01);
  EXPECT_NEAR(mount.pointing_y(), y, 0.01);
  EXPECT_EQ(m.capabilities().position_ra_step_seconds, 1);
  EXPECT_EQ(m.capabilities().position_dec_step_arcsec, 1);
  EXPECT_TRUE(messages.codes().empty());
}

TEST_F(MountPositions, LowPrecisionMountIsSwitchedForTheGotoAndSwitchedBack) {
  mount.set_high_precision(false);
  open_link();
  Mount& m = lx200_mount(*app);
  const GotoResult r = m.goto_position(kTarget);
  ASSERT_EQ(r.status, ScopeResult::Done);
  EXPECT_EQ(wire(), "#:GR##:U##:GR##:Sr 05:35:24##:Sd -05*27:00##:LI##:MS##:LI##:U#");
  EXPECT_FALSE(mount.high_precision());  // left as it was found
  clock.sleep_ms(60000);
  EXPECT_FALSE(mount.slewing());
  // Landed on the second, not on the low-precision step.
  EXPECT_NEAR(mount.ra_hours(), kTarget.ra_hours, 0.5 / 3600.0);
  EXPECT_NEAR(mount.dec_degrees(), kTarget.dec_degrees, 0.5 / 3600.0);
  EXPECT_TRUE(messages.codes().empty());
}

TEST_F(MountPositions, MountThatStaysInLowPrecisionGetsTheShortFormsAndSaysItsStep) {
  mount.set_high_precision(false);
  mount.hold_low_precision(true);
  open_link();
  Mount& m = lx200_mount(*app);
  ASSERT_EQ(m.sync_position(kTarget), ScopeResult::Done);
  // One switch tried, nothing to switch back.
  EXPECT_EQ(wire(), "#:GR##:U##:GR##:Sr 05:35.4##:Sd -05*27##:CM#");
  EXPECT_EQ(m.capabilities().position_ra_step_seconds, 6);
  EXPECT_EQ(m.capabilities().position_dec_step_arcsec, 60);
  EXPECT_NEAR(mount.ra_hours(), kTarget.ra_hours, 3 / 3600.0);
}

TEST_F(MountPositions, TheHeaderGetsTheMountsPositionBackInJ2000) {
  open_link();
  Mount& m = lx200_mount(*app);
  ASSERT_EQ(m.goto_object(Catalogue::Messier, 31).status, ScopeResult::Done);
  clock.sleep_ms(60000);
  ASSERT_FALSE(mount.slewing());
  StandardFitsStamp stamp;
  ASSERT_EQ(stamp_mount_pointing(m, mount.config().start_unix_time + 60, stamp), ScopeResult::Done);
  // The mount answered M31 of date (00:44:01 +41*23'53); the header gets
  // the catalogue's J2000 00:42.7 +41*16 back, to the mount's 1 s and 1".
  EXPECT_TRUE(stamp.pointing_known);
  EXPECT_NEAR(stamp.ra_hours * 60, 42.7, 1.0 / 60);
  EXPECT_NEAR(stamp.dec_degrees * 60, 41 * 60 + 16, 2.0 / 60);
  // A mount that cannot say where it points leaves the stamp alone.
  StandardFitsStamp none;
  EXPECT_EQ(stamp_mount_pointing(control_box_mount(*app), 0, none), ScopeResult::Unsupported);
  EXPECT_FALSE(none.pointing_known);
}

}  // namespace
}  // namespace tarvex
