// The real sky: catalogue stars drawn where the simulated mount really
// points, from a star list built here byte by byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/basic_ports.h"
#include "scope/lx200.h"
#include "scope/precession.h"
#include "sim/sim_mount.h"
#include "sim/sky_renderer.h"
#include "sim/star_list.h"
#include "test_support.h"

namespace tarvex {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Entry {
  double ra_degrees, dec_degrees, magnitude;
};

// A star list of 1-degree zones, each of 360 one-degree cells, written as
// the packed layout describes it: magic, zone count, star count, cells per
// zone, stars per cell, then one 32-bit word per star.
void write_star_list(const std::string& path, const std::vector<Entry>& entries) {
  constexpr int kZones = 180, kCells = 360;
  std::vector<std::vector<std::uint32_t>> cells(kZones * kCells);
  for (const Entry& e : entries) {
    const int zone = static_cast<int>(std::floor(e.dec_degrees + 90));
    const int cell = static_cast<int>(std::floor(e.ra_degrees));
    const auto ra_step = static_cast<std::uint32_t>((e.ra_degrees - cell) * 4096);
    const auto dec_step = static_cast<std::uint32_t>((e.dec_degrees + 90 - zone) * 4096);
    const auto mag = static_cast<std::uint32_t>(std::lround(e.magnitude * 16 + 32));
    cells[zone * kCells + cell].push_back(ra_step | dec_step << 12 | mag << 24);
  }
  std::string bytes = "TVXSTAR1";
  auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
  };
  put(kZones, 4);
  put(static_cast<std::uint32_t>(entries.size()), 4);
  for (int z = 0; z < kZones; ++z) put(kCells, 2);
  for (const auto& c : cells) put(static_cast<std::uint32_t>(c.size()), 2);
  for (const auto& c : cells)
    for (std::uint32_t w : c) put(w, 4);
  std::ofstream(path, std::ios::binary) << bytes;
}

SkyConfig quiet_real_sky(const std::string& list) {
  SkyConfig c;
  c.scene = SkyScene::Real;
  c.star_list_path = list;
  c.mosaic = false;  // grey photosites: a star's centroid is its true centre
  c.shot_noise = false;
  c.read_noise = 0;
  c.hot_pixels = 0;
  return c;
}

// The whole frame of a 1 s exposure, both fields.
std::vector<double> render_frame(SkyRenderer& sky) {
  std::vector<std::uint16_t> raw(298 * 832);
  std::vector<double> frame(SkyRenderer::WIDTH * SkyRenderer::HEIGHT);
  for (int parity = 0; parity < 2; ++parity) {
    sky.render_field(parity, 1000.0, 1, raw.data());
    for (int y = parity; y < SkyRenderer::HEIGHT; y += 2)
      for (int x = 0; x < SkyRenderer::WIDTH; ++x)
        frame[y * SkyRenderer::WIDTH + x] = raw[(8 + y / 2) * 832 + 26 + x];
  }
  return frame;
}

struct Found {
  double x, y;
};

// The centroids above the background of every local peak over `threshold`.
std::vector<Found> find_stars(const std::vector<double>& f, double threshold) {
  const int w = SkyRenderer::WIDTH, h = SkyRenderer::HEIGHT;
  std::vector<double> sorted(f);
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double background = sorted[sorted.size() / 2];
  std::vector<Found> out;
  for (int y = 4; y < h - 4; ++y) {
    for (int x = 4; x < w - 4; ++x) {
      const double v = f[y * w + x];
      if (v - background < threshold) continue;
      bool peak = true;
      for (int j = -1; j <= 1 && peak; ++j)
        for (int i = -1; i <= 1; ++i)
          if ((i || j) && f[(y + j) * w + x + i] >= v) peak = false;
      if (!peak) continue;
      double sum = 0, sx = 0, sy = 0;
      for (int j = -4; j <= 4; ++j) {
        for (int i = -4; i <= 4; ++i) {
          const double s = f[(y + j) * w + x + i] - background;
          sum += s, sx += s * (x + i), sy += s * (y + j);
        }
      }
      out.push_back({sx / sum, sy / sum});
    }
  }
  return out;
}

const Found* nearest(const std::vector<Found>& found, double x, double y) {
  const Found* best = nullptr;
  for (const Found& f : found)
    if (!best || std::hypot(f.x - x, f.y - y) < std::hypot(best->x - x, best->y - y)) best = &f;
  return best;
}

TEST(RealSky, CatalogueStarsLandWhereTheGnomonicProjectionPutsThem) {
  testing::TempDir dir;
  const std::string list = (dir / "stars.bin").string();
  // A field at +62 degrees, where right ascension converges enough that a
  // flat approximation would miss by pixels; one star far outside it.
  const double ra0 = 84.0, dec0 = 62.0;
  const std::vector<Entry> stars = {
      {84.0, 62.0, 8.0},  {84.9, 62.3, 8.5},  {83.1, 61.75, 7.8}, {84.55, 61.7, 9.0},
      {83.4, 62.35, 8.2}, {84.02, 62.2, 9.5}, {90.0, 40.0, 3.0},
  };
  write_star_list(list, stars);
  SkyRenderer sky(quiet_real_sky(list));
  ASSERT_TRUE(sky.real_sky());
  const double scale = 5.0;  // arcseconds per pixel along x
  sky.set_real_sky_geometry(scale, false, false);
  sky.point_at(ra0 / 15.0, dec0);
  const std::vector<Found> found = find_stars(render_frame(sky), 50);

  // The projection as the textbook gives it: standard coordinates from the
  // angle between star and centre, east to smaller x, north to smaller y.
  int inside = 0;
  for (const Entry& s : stars) {
    const double a = s.ra_degrees * kPi / 180, d = s.dec_degrees * kPi / 180;
    const double a0 = ra0 * kPi / 180, d0 = dec0 * kPi / 180;
    const double cos_c = std::sin(d0) * std::sin(d) + std::cos(d0) * std::cos(d) * std::cos(a - a0);
    const double xi = std::cos(d) * std::sin(a - a0) / cos_c;
    const double eta =
        (std::cos(d0) * std::sin(d) - std::sin(d0) * std::cos(d) * std::cos(a - a0)) / cos_c;
    const double arcsec = 180 / kPi * 3600;
    const double x = 375.5 - xi * arcsec / scale;
    const double y = 289.5 - eta * arcsec / (scale * 8.3 / 8.6);
    if (x < 5 || x > 746 || y < 5 || y > 574) continue;
    ++inside;
    SCOPED_TRACE(::testing::Message() << "star at " << s.ra_degrees << " " << s.dec_degrees);
    const Found* f = nearest(found, x, y);
    ASSERT_NE(f, nullptr);
    EXPECT_NEAR(f->x, x, 0.2);
    EXPECT_NEAR(f->y, y, 0.2);
  }
  EXPECT_EQ(inside, 6);
  EXPECT_EQ(found.size(), 6u);  // nothing else: no made-up stars, no nebula
}

TEST(RealSky, WithoutTheStarListTheMadeUpFieldStaysAndSaysSoOnce) {
  SkyConfig c;
  c.star_list_path = "/nonexistent/stars.bin";
  SkyRenderer sky(c);
  const auto made_up = sky.stars().size();
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(sky.show_real_sky());
  EXPECT_FALSE(sky.show_real_sky());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(sky.config().scene, SkyScene::Stars);
  EXPECT_EQ(sky.stars().size(), made_up);
  EXPECT_NE(said.find("no star list"), std::string::npos);
  EXPECT_EQ(said.find("no star list"), said.rfind("no star list"));
  // A list cut short is refused whole, never read past its end.
  testing::TempDir dir;
  const std::string list = (dir / "short.bin").string();
  write_star_list(list, {{10, 10, 8}});
  std::filesystem::resize_file(list, std::filesystem::file_size(list) - 1);
  StarList l;
  std::string error;
  EXPECT_FALSE(l.load(list, error));
  EXPECT_EQ(l.size(), 0u);
}

// The simulated mount on its pseudo-terminal, on a clock stepped by hand.
struct RealSkyMount : ::testing::Test {
  testing::TempDir dir;
  VirtualClock clock{0};
  std::unique_ptr<SimMount> mount;
  std::unique_ptr<SkyRenderer> sky;
  int fd = -1;

  void start(const std::vector<Entry>& stars) {
    const std::string list = (dir / "stars.bin").string();
    write_star_list(list, stars);
    SkyConfig c = quiet_real_sky(list);
    c.scene = SkyScene::Stars;  // the made-up field until the mount is told where it points
    sky = std::make_unique<SkyRenderer>(c);
    SimMountConfig m;
    m.drift_x = m.drift_y = 0;
    m.east_shifts_stars_left = false;
    m.north_shifts_stars_up = false;
    mount = std::make_unique<SimMount>(m);
    ASSERT_TRUE(mount->open());
    mount->attach_sky(sky.get());
    fd = ::open(mount->device_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(fd, TCSANOW, &t);
    mount->step(clock.now_ms());
  }
  void TearDown() override {
    if (fd >= 0) ::close(fd);
  }
  void send(const std::string& text, std::uint32_t ms) {
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    for (std::uint32_t i = 0; i < ms; ++i) {
      clock.advance(1);
      mount->step(clock.now_ms());
    }
    char buf[256];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
  }
  void go_to(double ra_hours, double dec_degrees) {
    send(":Sr " + format_lx200_ra(ra_hours, true) + "#:Sd " + format_lx200_dec(dec_degrees, true) +
             "#:MS#",
         30000);
    ASSERT_FALSE(mount->slewing());
  }
  Found star() {
    const std::vector<Found> found = find_stars(render_frame(*sky), 50);
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? Found{-1, -1} : found.front();
  }
};

TEST_F(RealSkyMount, GotoMovesThePictureBySyncedCoordinatesAndSyncDoesNot) {
  // One star at the target, high in the simulated site's sky; the target of
  // date on the step of the mount's coordinates, so a go-to can reach it.
  const double jd = julian_date_of_unix(SimMountConfig{}.start_unix_time);
  const SkyPosition target{3.5, 40.0};
  const SkyPosition target_j2000 = precess_to_j2000(target, jd);
  start({{target_j2000.ra_hours * 15, target_j2000.dec_degrees, 8.0}});
  ASSERT_FALSE(sky->real_sky());

  // The first go-to brings up the real sky and misses by the pointing error
  // (3' east and 4' north): the star lies west (right) and south (down).
  go_to(target.ra_hours, target.dec_degrees);
  ASSERT_TRUE(sky->real_sky());
  const double scale = 206.264806 * 8.6 / 300.0;
  const Found missed = star();
  EXPECT_NEAR(missed.x, 375.5 + 180 / scale, 0.5);
  EXPECT_NEAR(missed.y, 289.5 + 240 / (scale * 8.3 / 8.6), 0.5);

  // A sync to where the telescope really points moves the belief only.
  double ra, dec;
  mount->real_pointing(ra, dec);
  send(":Sr " + format_lx200_ra(ra, true) + "#:Sd " + format_lx200_dec(dec, true) + "#:CM#", 200);
  const Found synced = star();
  EXPECT_NEAR(synced.x, missed.x, 0.01);
  EXPECT_NEAR(synced.y, missed.y, 0.01);

  // The go-to after it lands within the coordinates' step (1 s of right
  // ascension, 1" of declination).
  go_to(target.ra_hours, target.dec_degrees);
  const Found centred = star();
  EXPECT_NEAR(centred.x, 375.5, 15 * std::cos(40 * kPi / 180) / scale);
  EXPECT_NEAR(centred.y, 289.5, 1.5 / scale);

  // A guide pulse moves the coordinates, and the picture with them, at the
  // image scale: 1 s north at 5 px/s.
  send(":RG#:Mgn1000#", 1100);
  const Found pulsed = star();
  EXPECT_NEAR(pulsed.x, centred.x, 0.05);
  EXPECT_NEAR(pulsed.y - centred.y, 5.0, 0.05);
}

}  // namespace
}  // namespace tarvex
