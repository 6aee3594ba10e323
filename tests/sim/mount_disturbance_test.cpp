#include "sim/mount_disturbance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "sim/sim_mount.h"
#include "sim/sim_mount_options.h"

namespace tarvex {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The periodic error over a long stretch, checked against the five-term
// definition: each term's amplitude recovered by projecting the sampled
// curve on a cosine of its period, the peak bounded by the configured
// value and reached within a few percent, the mean zero.
TEST(MountDisturbance, PeriodicErrorFollowsItsDefinition) {
  DisturbanceConfig c;
  c.pe = 5;
  const MountDisturbance m(c);
  const double weights = 2.02 + 0.69 + 0.22 + 0.137 + 0.14;
  const double expected[5] = {5 * 2.02 / weights, 5 * 0.69 / weights, 5 * 0.22 / weights,
                              5 * 0.137 / weights, 5 * 0.14 / weights};
  const double periods[5] = {230.5, 122.0, 49.4, 9.56, 76.84};
  const double step = 0.25, span = 200000;
  double peak = 0, sum = 0;
  double projection[5] = {};
  std::size_t n = 0;
  for (double t = 0; t < span; t += step, ++n) {
    const double v = m.periodic_error(m.worm_seconds(t));
    peak = std::max(peak, std::fabs(v));
    sum += v;
    for (int i = 0; i < 5; ++i) projection[i] += v * std::cos(kTwoPi * t / periods[i]);
  }
  EXPECT_LE(peak, 5.0 + 1e-9);
  EXPECT_GT(peak, 0.95 * 5.0);
  EXPECT_NEAR(sum / static_cast<double>(n), 0.0, 0.01);
  for (int i = 0; i < 5; ++i)
    EXPECT_NEAR(2.0 * projection[i] / static_cast<double>(n), expected[i], 0.01 * expected[0])
        << "term " << i;
}

TEST(MountDisturbance, PhaseAndRaMovesTurnTheWorm) {
  DisturbanceConfig c;
  c.pe = 3;
  const MountDisturbance start(c);
  c.pe_phase = 90;
  const MountDisturbance quarter(c);
  // A quarter turn of the worm is a quarter of its period of tracking.
  EXPECT_NEAR(quarter.periodic_error(quarter.worm_seconds(0)),
              start.periodic_error(start.worm_seconds(230.5 / 4)), 1e-9);
  // Moving the RA axis by a minute of tracking's arcseconds advances it so.
  EXPECT_NEAR(start.periodic_error(start.worm_seconds(10, 60 * 15.041)),
              start.periodic_error(start.worm_seconds(70)), 1e-9);
}

TEST(MountDisturbance, SeeingIsSeededGaussianOfAnEighthOfTheFwhm) {
  DisturbanceConfig c;
  c.seeing = 2;
  c.seed = 7;
  const MountDisturbance a(c), b(c);
  c.seed = 8;
  const MountDisturbance other(c);
  double sum = 0, sum2 = 0, cross = 0;
  const int frames = 40000;
  int same_as_other = 0;
  for (int f = 0; f < frames; ++f) {
    const SeeingOffset s = a.seeing(f);
    ASSERT_EQ(s.ra, b.seeing(f).ra);
    ASSERT_EQ(s.dec, b.seeing(f).dec);
    if (s.ra == other.seeing(f).ra) ++same_as_other;
    sum += s.ra + s.dec;
    sum2 += s.ra * s.ra + s.dec * s.dec;
    cross += s.ra * s.dec;
  }
  EXPECT_EQ(same_as_other, 0);
  EXPECT_NEAR(sum / (2 * frames), 0.0, 0.005);
  EXPECT_NEAR(std::sqrt(sum2 / (2 * frames)), 0.25, 0.25 * 0.02);
  EXPECT_NEAR(cross / frames, 0.0, 0.002);  // the axes are independent
  // Asked out of order, a frame's seeing is the same.
  EXPECT_EQ(a.seeing(123).ra, b.seeing(123).ra);
  EXPECT_EQ(MountDisturbance{}.seeing(5).ra, 0.0);
}

TEST(MountDisturbance, OneCloudAtASeededTimeFadesTheStar) {
  DisturbanceConfig c;
  c.clouds = 60;
  c.seed = 3;
  const MountDisturbance m(c), again(c);
  const double start = m.cloud_start();
  EXPECT_EQ(start, again.cloud_start());
  EXPECT_GE(start, 30);
  EXPECT_LE(start, 300);
  EXPECT_EQ(m.transmission(start - 1), 1.0);
  EXPECT_EQ(m.transmission(start + 30), 0.0);
  EXPECT_NEAR(m.transmission(start + 6), 0.5, 1e-9);  // half way through the fade in
  EXPECT_EQ(m.transmission(start + 61), 1.0);
  // Only one cloud: clear for the rest of a long night.
  for (double t = start + 61; t < 36000; t += 7) ASSERT_EQ(m.transmission(t), 1.0);
  c.seed = 4;
  EXPECT_NE(MountDisturbance(c).cloud_start(), start);
  EXPECT_EQ(MountDisturbance{}.transmission(start + 30), 1.0);
}

TEST(MountDisturbance, GearTakesUpBacklashAndIgnoresMovesBelowStiction) {
  GearAxis gear(3, 0.5);
  EXPECT_EQ(gear.move(0.4), 0.0);   // below the stiction
  EXPECT_EQ(gear.move(2.0), 2.0);   // the first move finds the gear engaged
  EXPECT_EQ(gear.move(-2.0), 0.0);  // reversing: two of the three arcsec of slack
  EXPECT_EQ(gear.move(-2.0), -1.0);
  EXPECT_EQ(gear.move(-1.0), -1.0);
  EXPECT_EQ(gear.move(4.0), 1.0);
  EXPECT_EQ(gear.reversals(), 2);
}

// The --sim-mount keys of the disturbance: the preset's defaults, a key
// overriding them in whatever order it comes, and each refusal naming its
// key.
TEST(MountDisturbance, SimMountKeysSetThePresetAndEachDisturbance) {
  SimMountOptions o;
  std::string error;
  ASSERT_TRUE(parse_sim_mount_options("seeing=0,preset=realistic,seed=42,backlash=4", o, error))
      << error;
  SimMountConfig config;
  config.arcsec_per_pixel = 2;
  apply_sim_mount_disturbance(o, config);
  EXPECT_TRUE(config.realistic);
  EXPECT_EQ(config.disturbance.pe, 5.0);
  EXPECT_EQ(config.disturbance.drift, 5.0);
  EXPECT_EQ(config.disturbance.seeing, 0.0);  // given before the preset, still given
  EXPECT_EQ(config.disturbance.backlash, 4.0);
  EXPECT_EQ(config.disturbance.seed, 42u);
  // In pixels at the mount: no linear drift, sidereal guiding, the Dec
  // backlash from the key.
  const SimMount mount(config);
  EXPECT_EQ(mount.config().drift_x, 0.0);
  EXPECT_NEAR(mount.config().guide_rate_ra, 15.041 / 2, 1e-9);
  EXPECT_NEAR(mount.config().dec_backlash, 2.0, 1e-9);

  SimMountOptions linear;
  ASSERT_TRUE(parse_sim_mount_options("preset=linear,pe=2", linear, error)) << error;
  SimMountConfig today;
  apply_sim_mount_disturbance(linear, today);
  EXPECT_FALSE(today.realistic);
  EXPECT_EQ(today.disturbance.pe, 2.0);
  EXPECT_EQ(SimMount(today).config().drift_x, SimMountConfig{}.drift_x);
  EXPECT_EQ(SimMount(today).config().dec_backlash, SimMountConfig{}.dec_backlash);

  const struct {
    const char* text;
    const char* says;
  } refused[] = {
      {"preset=wobbly", "--sim-mount preset takes linear or realistic, not wobbly"},
      {"pe=-1", "--sim-mount pe takes arcseconds from 0 to 120, not -1"},
      {"pe-phase=400", "--sim-mount pe-phase takes degrees from 0 to 360, not 400"},
      {"seeing=two", "--sim-mount seeing takes arcseconds"},
      {"drift=1e9", "--sim-mount drift takes arcseconds a minute"},
      {"backlash=", "--sim-mount backlash takes arcseconds"},
      {"stiction=nan", "--sim-mount stiction takes arcseconds"},
      {"clouds=-60", "--sim-mount clouds takes seconds"},
      {"seed=-3", "--sim-mount seed takes a whole number from 0, not -3"},
      {"wind=3", "--sim-mount has no key wind"},
  };
  for (const auto& r : refused) {
    SimMountOptions bad;
    EXPECT_FALSE(parse_sim_mount_options(r.text, bad, error)) << r.text;
    EXPECT_EQ(error.rfind(r.says, 0), 0u) << error;
  }
}

}  // namespace
}  // namespace tarvex
