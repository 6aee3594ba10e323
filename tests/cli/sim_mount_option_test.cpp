// --sim-mount: the keys it reads and every way a value is refused, through
// tarvex-cli's own command line.
#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "sim/sim_mount_options.h"

namespace tarvex {
namespace {

TEST(SimMountOptions, ReadsEveryKeyAndTheScaleInEitherUnit) {
  SimMountOptions o;
  std::string error;
  ASSERT_TRUE(parse_sim_mount_options("point=m 42,focal-length=500", o, error)) << error;
  ASSERT_TRUE(parse_sim_mount_options("pointing-error=0.5", o, error)) << error;
  ASSERT_TRUE(o.point);
  EXPECT_EQ(o.point->name, "M42");
  EXPECT_NEAR(o.point->ra_hours, 5 + 35.4 / 60, 1e-9);
  EXPECT_NEAR(o.point->dec_degrees, -(5 + 27 / 60.0), 1e-9);
  EXPECT_DOUBLE_EQ(o.pointing_error_arcmin, 0.5);
  // 8.6 um at 500 mm: 206265 * 0.0086 / 500.
  EXPECT_NEAR(sim_arcsec_per_pixel(o, true), 3.548, 0.001);

  SimMountOptions c;
  ASSERT_TRUE(parse_sim_mount_options("point=23:59:30.5/-00:30:00,scale=1.5", c, error)) << error;
  EXPECT_NEAR(c.point->ra_hours, 23 + 59.5 / 60 + 0.5 / 3600, 1e-9);
  EXPECT_NEAR(c.point->dec_degrees, -0.5, 1e-9);
  EXPECT_DOUBLE_EQ(sim_arcsec_per_pixel(c, true), 1.5);
  // Defaults: 300 mm for the real sky, 2"/px for the made-up field.
  EXPECT_NEAR(sim_arcsec_per_pixel({}, true), 5.913, 0.001);
  EXPECT_DOUBLE_EQ(sim_arcsec_per_pixel({}, false), 2.0);
  EXPECT_DOUBLE_EQ(SimMountOptions{}.pointing_error_arcmin, 5.0);
}

using SimMountCli = testing::CliFixture;

TEST_F(SimMountCli, RefusesUnknownKeysBadValuesAndMissingSimulator) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--simulator", "--sim-mount", "aim=M31", "camera-info"}, "--sim-mount has no key aim"},
      {{"--simulator", "--sim-mount", "point", "camera-info"},
       "--sim-mount needs KEY=VALUE, not point"},
      {{"--simulator", "--sim-mount", "point=M111", "camera-info"}, "--sim-mount point takes"},
      {{"--simulator", "--sim-mount", "point=NGC0", "camera-info"}, "--sim-mount point takes"},
      {{"--simulator", "--sim-mount", "point=24:00:00/+10:00:00", "camera-info"},
       "--sim-mount point takes"},
      {{"--simulator", "--sim-mount", "point=05:35:00/+91:00:00", "camera-info"},
       "--sim-mount point takes"},
      {{"--simulator", "--sim-mount", "point=05:60:00/+10:00:00", "camera-info"},
       "--sim-mount point takes"},
      {{"--simulator", "--sim-mount", "focal-length=abc", "camera-info"},
       "--sim-mount focal-length takes millimetres"},
      {{"--simulator", "--sim-mount", "focal-length=-300", "camera-info"},
       "--sim-mount focal-length takes millimetres"},
      {{"--simulator", "--sim-mount", "scale=nan", "camera-info"}, "--sim-mount scale takes"},
      {{"--simulator", "--sim-mount", "pointing-error=5x", "camera-info"},
       "--sim-mount pointing-error takes arcminutes"},
      {{"--simulator", "--sim-mount", "focal-length=300,scale=2", "camera-info"},
       "--sim-mount focal-length and scale set the same image scale"},
      {{"--simulator", "--sim-mount", "scale=2", "--sim-mount", "scale=3", "camera-info"},
       "--sim-mount scale may be given only once"},
      {{"--simulator", "camera-info", "--sim-mount"}, "--sim-mount needs KEY=VALUE"},
      {{"--sim-mount", "point=M31", "camera-info"},
       "--sim-mount sets up the simulated mount: add --simulator"},
      {{"--sim-mount", "point=M31", "scope", "info"},
       "--sim-mount sets up the simulated mount: add --simulator"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    EXPECT_EQ(run(c.args), 2);
    EXPECT_NE(err.str().find(std::string("tarvex-cli: ") + c.says), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("see tarvex-cli --help"), std::string::npos);
  }
  EXPECT_EQ(run({"--simulator", "--virtual-time", "--sim-mount", "point=M42,pointing-error=0",
                 "camera-info"}),
            0)
      << err.str();
}

}  // namespace
}  // namespace tarvex
