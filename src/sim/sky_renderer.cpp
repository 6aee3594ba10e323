#include "sim/sky_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

namespace tarvex {

namespace {

constexpr int RAW_LINES = 298;
constexpr int RAW_SAMPLES = 832;
constexpr int FIRST_LINE = 8;
constexpr int FIRST_SAMPLE = 26;
constexpr int MARGIN = 200;  // stars beyond the frame edge, so a slew brings new ones in
constexpr int WINDOW = 128;

inline std::uint64_t mix(std::uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A seeded generator for the star field.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  double uniform() { return static_cast<double>(mix(state_++) >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t state_;
};

// An approximately normal deviate (unit variance) that depends only on its
// key: the sum of four uniform parts, rescaled.
inline float normal_from(std::uint64_t key) {
  const std::uint64_t h = mix(key);
  const float s = static_cast<float>(h & 0xFFFF) + static_cast<float>((h >> 16) & 0xFFFF) +
                  static_cast<float>((h >> 32) & 0xFFFF) + static_cast<float>(h >> 48);
  return (s * (1.0f / 65536.0f) - 2.0f) * 1.7320508f;
}

inline std::uint16_t to_sample(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 65535.0f) return 65535;
  return static_cast<std::uint16_t>(v);
}

}  // namespace

// The filter response model.
//
// The sensor carries four complementary filters, given here as their
// transmission in the red, green and blue bands: cyan (0.08, 0.90, 0.90),
// yellow (0.90, 0.90, 0.08), magenta (0.90, 0.08, 0.90) and green
// (0.08, 0.90, 0.08); each passes 90 % in its bands and leaks 8 % in the
// others. Behind them the silicon answers red 1.00, green 0.68 and blue 0.31:
// weak in the blue, and chosen so that white light comes out grey under the
// synthesis' night-time colour weights (red 70, green 60, blue 28), the
// leaks included.
//
// Photosite rows alternate: the even rows hold cyan and yellow, the odd rows
// magenta and green, which swap places from one odd row to the next. With
// column phase (x + 1) & 1 and line phase 1 - ((y / 2) & 1), as colour
// synthesis counts them with the camera's default offsets:
//
//   even row, column phase 0: cyan        column phase 1: yellow
//   odd row,  line phase 1:   magenta, green
//   odd row,  line phase 0:   green, magenta
//
// Colour synthesis works on sums of two vertically neighbouring photosites:
// a field read in field mode combines them on the chip (row y of the frame
// holds the charge of rows y and y + 1, read at half the gain, so a field
// is as bright as one row and a progressive frame, the program's sum of its
// two fields, twice as bright), and a progressive frame gets them from the
// program's sum. The sums at each phase are
//
//   column phase 0, line phase 0: cyan + green
//   column phase 1, line phase 0: yellow + magenta
//   column phase 0, line phase 1: cyan + magenta
//   column phase 1, line phase 1: yellow + green
//
// and the two sums of one line phase together carry the same light as the
// two of the other (2 red + 3 green + 2 blue for ideal filters), so colour
// synthesis recovers red, green and blue exactly from ideal filters. The leaks mix a little of
// every band into every sum and so make colours a little paler, which the synthesis does not undo.
// Light is given in the three bands; the chart's patches send their linear sRGB values into them.
namespace {

struct Response {
  double r, g, b;
};

constexpr double PASS = 0.90;
constexpr double LEAK = 0.08;
constexpr Response SILICON{1.00, 0.68, 0.31};

struct MosaicTable {
  Response cell[4];  // cyan, yellow, magenta, green
  MosaicTable() {
    const Response raw[4] = {
        {LEAK, PASS, PASS}, {PASS, PASS, LEAK}, {PASS, LEAK, PASS}, {LEAK, PASS, LEAK}};
    // Scaled so that the four filters average 1 for white light.
    double mean = 0;
    for (const Response& k : raw)
      mean += (k.r * SILICON.r + k.g * SILICON.g + k.b * SILICON.b) / 3.0 / 4.0;
    for (int i = 0; i < 4; ++i)
      cell[i] = {raw[i].r * SILICON.r / mean, raw[i].g * SILICON.g / mean,
                 raw[i].b * SILICON.b / mean};
  }
};

const MosaicTable& mosaic_table() {
  static const MosaicTable table;
  return table;
}

}  // namespace

int mosaic_cell(int x, int y) {
  const int column_phase = (x + 1) & 1;
  if ((y & 1) == 0) return column_phase;  // cyan, yellow
  const int line_phase = 1 ^ ((y >> 1) & 1);
  return 2 + (column_phase ^ (line_phase ^ 1));  // magenta, green
}

void mosaic_filter(int x, int y, double& r, double& g, double& b) {
  const Response& k = mosaic_table().cell[mosaic_cell(x, y)];
  r = k.r, g = k.g, b = k.b;
}

double srgb_to_linear(int value) {
  const double c = std::clamp(value, 0, 255) / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

BandLight star_colour(double kelvin) {
  // Planck's law at the middle of each band (610, 540 and 460 nm).
  auto planck = [kelvin](double micron) {
    return std::pow(micron, -5.0) / (std::exp(14388.0 / (micron * kelvin)) - 1.0);
  };
  BandLight c{planck(0.61), planck(0.54), planck(0.46)};
  const double total = c.r + c.g + c.b;
  c.r *= 3 / total, c.g *= 3 / total, c.b *= 3 / total;
  return c;
}

namespace {

// The chart: six saturated colours, six natural tones and a grey ramp from
// white to black, in three rows of six patches of 100 x 150 photosites.
constexpr int PATCH_W = 100, PATCH_H = 150, PATCH_X0 = 26, PATCH_Y0 = 40;
constexpr int PATCH_DX = 120, PATCH_DY = 175;
constexpr ChartPatch patch(const char* name, int r, int g, int b, int column, int row) {
  return {name,
          r,
          g,
          b,
          PATCH_X0 + column * PATCH_DX,
          PATCH_Y0 + row * PATCH_DY,
          PATCH_X0 + column * PATCH_DX + PATCH_W,
          PATCH_Y0 + row * PATCH_DY + PATCH_H};
}
constexpr ChartPatch kChart[] = {
    patch("red", 175, 54, 60, 0, 0),           patch("yellow", 231, 199, 31, 1, 0),
    patch("green", 70, 148, 73, 2, 0),         patch("cyan", 8, 133, 161, 3, 0),
    patch("blue", 56, 61, 150, 4, 0),          patch("magenta", 187, 86, 149, 5, 0),
    patch("dark skin", 115, 82, 68, 0, 1),     patch("light skin", 194, 150, 130, 1, 1),
    patch("foliage", 87, 108, 67, 2, 1),       patch("blue sky", 98, 122, 157, 3, 1),
    patch("orange", 214, 126, 44, 4, 1),       patch("purplish blue", 80, 91, 166, 5, 1),
    patch("white", 243, 243, 242, 0, 2),       patch("neutral 8", 200, 200, 200, 1, 2),
    patch("neutral 6.5", 160, 160, 160, 2, 2), patch("neutral 5", 122, 122, 121, 3, 2),
    patch("neutral 3.5", 85, 85, 85, 4, 2),    patch("black", 52, 52, 52, 5, 2),
};
constexpr double CHART_CARD = 0.02;  // the dark card between the patches, linear

}  // namespace

std::span<const ChartPatch> chart_patches() {
  return kChart;
}

SkyRenderer::SkyRenderer(const SkyConfig& config)
    : signal_(WIDTH * HEIGHT), sky_(WIDTH * HEIGHT), dark_(WIDTH * HEIGHT) {
  configure(config);
}

void SkyRenderer::configure(const SkyConfig& config) {
  config_ = config;
  Random rnd(config.seed);
  stars_.clear();
  const double faint = std::max(1e-6, std::min(1.0, config.faintest_ratio));
  const int star_count = config.scene == SkyScene::Chart ? 0 : std::max(0, config.star_count);
  for (int i = 0; i < star_count; ++i) {
    Star s;
    s.x = -MARGIN + rnd.uniform() * (WIDTH + 2 * MARGIN);
    s.y = -MARGIN + rnd.uniform() * (HEIGHT + 2 * MARGIN);
    // Faint stars are far more common than bright ones.
    s.flux = config.brightest_flux * std::pow(faint, std::pow(rnd.uniform(), 0.6));
    // Surface temperatures from red dwarfs and giants (3000 K) to blue-white
    // stars (15000 K), the cool ones more common.
    s.kelvin = 3000.0 * std::pow(5.0, std::pow(rnd.uniform(), 1.6));
    const BandLight c = star_colour(s.kelvin);
    s.r = c.r, s.g = c.g, s.b = c.b;
    stars_.push_back(s);
  }
  if (config.scene == SkyScene::Stars && config.extended_objects) {
    // A bright double star of contrasting colours: an orange primary and a
    // blue-white companion 14 photosites away.
    for (const auto& [x, y, share, kelvin] :
         {std::tuple{590.0, 440.0, 0.8, 4000.0}, std::tuple{601.0, 431.5, 0.35, 13000.0}}) {
      const BandLight c = star_colour(kelvin);
      stars_.push_back({x, y, config.brightest_flux * share, c.r, c.g, c.b, kelvin});
    }
  }
  hot_.clear();
  for (int i = 0; i < std::max(0, config.hot_pixels); ++i) {
    const int x = 4 + static_cast<int>(rnd.uniform() * (WIDTH - 8));
    const int y = 4 + static_cast<int>(rnd.uniform() * (HEIGHT - 8));
    hot_.push_back(y * WIDTH + x);
  }
  // The real sky keeps the made-up field's hot pixels (the same draws come
  // first), so switching to it changes only the stars.
  if (config_.scene == SkyScene::Real) {
    stars_.clear();
    if (!load_star_list()) {
      config_.scene = SkyScene::Stars;
      configure(config_);
      return;
    }
    ref_valid_ = false;
    if (pointed_) point_at(point_ra_ * 12.0 / M_PI, point_dec_ * 180.0 / M_PI);
  }
  signal_valid_ = false;
}

bool SkyRenderer::load_star_list() {
  if (star_list_) return true;
  if (star_list_failed_) return false;
  auto list = std::make_unique<StarList>();
  std::string error;
  if (config_.star_list_path.empty()) {
    error = "none installed";
  } else if (list->load(config_.star_list_path, error)) {
    star_list_ = std::move(list);
    return true;
  }
  star_list_failed_ = true;
  std::fprintf(stderr,
               "simulated camera: no star list for the real sky (%s); it keeps its made-up "
               "star field\n",
               error.c_str());
  return false;
}

void SkyRenderer::set_real_sky_geometry(double arcsec_per_pixel, bool east_left, bool north_up) {
  real_scale_x_ = arcsec_per_pixel;
  sign_x_ = east_left ? 1.0 : -1.0;
  sign_y_ = north_up ? 1.0 : -1.0;
  found_valid_ = false;
  ref_valid_ = false;
  if (real_sky() && pointed_) point_at(point_ra_ * 12.0 / M_PI, point_dec_ * 180.0 / M_PI);
}

bool SkyRenderer::show_real_sky() {
  if (real_sky()) return true;
  if (config_.scene != SkyScene::Stars || !config_.real_when_told) return false;
  config_.real_when_told = false;  // the first time only
  SkyConfig c = config_;
  c.scene = SkyScene::Real;
  configure(c);
  return real_sky();
}

namespace {

constexpr double kArcsec = M_PI / 180.0 / 3600.0;

// The gnomonic projection of the unit vector (x, y, z) onto the plane
// touching the sky at (ra, dec), in radians: xi towards the east, eta
// towards the north. False for a point 90 degrees or more away.
bool gnomonic(double ra, double dec, double x, double y, double z, double& xi, double& eta) {
  const double ca = std::cos(ra), sa = std::sin(ra), cd = std::cos(dec), sd = std::sin(dec);
  // The star in the frame of the tangent point: along the line of sight,
  // east, north.
  const double along = cd * (ca * x + sa * y) + sd * z;
  if (along <= 1e-6) return false;
  const double east = -sa * x + ca * y;
  const double north = -sd * (ca * x + sa * y) + cd * z;
  xi = east / along;
  eta = north / along;
  return true;
}

}  // namespace

void SkyRenderer::project_field() {
  const double scale_x = real_scale_x_ * kArcsec;
  const double scale_y = scale_x * 8.3 / 8.6;
  const double cx = (WIDTH - 1) / 2.0, cy = (HEIGHT - 1) / 2.0;
  stars_.clear();
  for (const FoundStar& f : found_) {
    double xi, eta;
    if (!gnomonic(point_ra_, point_dec_, f.x, f.y, f.z, xi, eta)) continue;
    Star s;
    s.x = cx + sign_x_ * xi / scale_x - offset_x_;
    s.y = cy + sign_y_ * eta / scale_y - offset_y_;
    s.flux = f.flux;
    s.r = s.g = s.b = 1.0;  // white: a flat spectrum through the filters
    s.kelvin = 6500.0;
    stars_.push_back(s);
  }
  ref_ra_ = point_ra_;
  ref_dec_ = point_dec_;
  ref_offset_x_ = offset_x_;
  ref_offset_y_ = offset_y_;
  ref_valid_ = true;
  signal_valid_ = false;
}

void SkyRenderer::point_at(double ra_hours, double dec_degrees) {
  const double ra = ra_hours * M_PI / 12.0, dec = dec_degrees * M_PI / 180.0;
  if (pointed_ && ref_valid_ && ra == point_ra_ && dec == point_dec_) return;
  pointed_ = true;
  point_ra_ = ra;
  point_dec_ = dec;
  if (!real_sky() || !star_list_) return;
  const double scale_x = real_scale_x_ * kArcsec;
  const double scale_y = scale_x * 8.3 / 8.6;
  const double px = std::cos(dec) * std::cos(ra), py = std::cos(dec) * std::sin(ra),
               pz = std::sin(dec);
  // Half the frame's diagonal and the reach of a star's profile, radians.
  const double half_diagonal = std::hypot(WIDTH * scale_x, HEIGHT * scale_y) / 2 + 20 * scale_x;
  if (found_valid_) {
    const double cos_away = std::cos(found_dec_) * std::cos(ra - found_ra_) * std::cos(dec) +
                            std::sin(found_dec_) * std::sin(dec);
    if (std::acos(std::clamp(cos_away, -1.0, 1.0)) + half_diagonal > found_radius_)
      found_valid_ = false;
  }
  if (!found_valid_) {
    found_ra_ = ra;
    found_dec_ = dec;
    found_radius_ = std::min(2 * half_diagonal + 0.05 * M_PI / 180.0, M_PI / 2 * 0.95);
    star_list_->select(ra * 180.0 / M_PI, dec * 180.0 / M_PI, found_radius_ * 180.0 / M_PI,
                       listed_);
    found_.clear();
    for (const ListedStar& l : listed_) {
      const double a = l.ra_degrees * M_PI / 180.0, d = l.dec_degrees * M_PI / 180.0;
      found_.push_back({std::cos(d) * std::cos(a), std::cos(d) * std::sin(a), std::sin(d),
                        config_.tenth_magnitude_flux * std::pow(10.0, -0.4 * (l.magnitude - 10))});
    }
    found_valid_ = true;
    ref_valid_ = false;
  }
  double xi = 0, eta = 0;
  const bool near = ref_valid_ && gnomonic(ref_ra_, ref_dec_, px, py, pz, xi, eta);
  const double dx = -sign_x_ * xi / scale_x, dy = -sign_y_ * eta / scale_y;
  // Within a few pixels of where the stars were projected the picture only
  // shifts: a guide pulse or the drift moves every star alike.
  if (near && std::fabs(dx) < 4 && std::fabs(dy) < 4) {
    offset_x_ = ref_offset_x_ + dx;
    offset_y_ = ref_offset_y_ + dy;
  } else {
    // The sky offset runs on continuously, so an exposure's path stays
    // meaningful across a new projection.
    if (near) {
      offset_x_ = ref_offset_x_ + dx;
      offset_y_ = ref_offset_y_ + dy;
    }
    project_field();
  }
  signal_valid_ = false;
}

void SkyRenderer::set_transmission(double share) {
  if (share == transmission_) return;
  transmission_ = share;
  signal_valid_ = false;
}

void SkyRenderer::shift_pointing(double dx, double dy) {
  offset_x_ += dx;
  offset_y_ += dy;
  signal_valid_ = false;
}

namespace {

// The star's signal through each of the mosaic's four filters, as a share of
// its flux.
struct StarColours {
  double through[4];
};

int filter_index(int x, int y, bool mosaic) {
  return mosaic ? mosaic_cell(x, y) : 0;
}

StarColours star_colours(const SkyRenderer::Star& s, bool mosaic) {
  StarColours c{};
  for (int f = 0; f < 4; ++f) {
    double r = 1, g = 1, b = 1;
    // One photosite of each filter: cyan, yellow, magenta, green.
    constexpr int sites[4][2] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}};
    if (mosaic) mosaic_filter(sites[f][0], sites[f][1], r, g, b);
    c.through[f] = (r * s.r + g * s.g + b * s.b) / 3.0;
  }
  return c;
}

// One step of an exposure: the pointing held for `duration` milliseconds.
struct PathStep {
  double duration;
  double x;
  double y;
};

// The pointing at time t along a path (straight between samples, held
// before the first and after the last).
void position_at(std::span<const PointingSample> path, double t, double& x, double& y) {
  if (t <= path.front().t_ms) {
    x = path.front().x, y = path.front().y;
    return;
  }
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (t <= path[i].t_ms) {
      const PointingSample& a = path[i - 1];
      const PointingSample& b = path[i];
      const double span = b.t_ms - a.t_ms;
      const double f = span > 0 ? (t - a.t_ms) / span : 1.0;
      x = a.x + f * (b.x - a.x);
      y = a.y + f * (b.y - a.y);
      return;
    }
  }
  x = path.back().x, y = path.back().y;
}

// The exposure cut into steps short enough that the pointing moves at most
// about a quarter of a pixel in each (a long slew gets longer steps, at most
// a few thousand in all).
std::vector<PathStep> path_steps(std::span<const PointingSample> path, double exposure_ms) {
  std::vector<double> cuts{0.0};
  for (const PointingSample& p : path)
    if (p.t_ms > 0 && p.t_ms < exposure_ms) cuts.push_back(p.t_ms);
  cuts.push_back(exposure_ms);
  double travel = 0;
  for (std::size_t i = 1; i < cuts.size(); ++i) {
    double ax, ay, bx, by;
    position_at(path, cuts[i - 1], ax, ay);
    position_at(path, cuts[i], bx, by);
    travel += std::max(std::abs(bx - ax), std::abs(by - ay));
  }
  const double step_length = std::max(0.25, travel / 4000.0);
  std::vector<PathStep> steps;
  for (std::size_t i = 1; i < cuts.size(); ++i) {
    const double a = cuts[i - 1], b = cuts[i];
    if (!(b > a)) continue;
    double ax, ay, bx, by;
    position_at(path, a, ax, ay);
    position_at(path, b, bx, by);
    const double moved = std::max(std::abs(bx - ax), std::abs(by - ay));
    const int n = std::max(1, static_cast<int>(std::ceil(moved / step_length)));
    const double dt = (b - a) / n;
    for (int k = 0; k < n; ++k) {
      double x, y;
      position_at(path, a + (k + 0.5) * dt, x, y);
      steps.push_back({dt, x, y});
    }
  }
  return steps;
}

}  // namespace

void SkyRenderer::rebuild_signal() {
  const float sky = static_cast<float>(config_.sky_per_s / 1000.0);
  const float dark = static_cast<float>(config_.dark_per_s / 1000.0);
  if (config_.scene == SkyScene::Chart) {
    std::fill(signal_.begin(), signal_.end(), 0.0f);
    add_chart(signal_);
  } else {
    for (int y = 0; y < HEIGHT; ++y) {
      for (int x = 0; x < WIDTH; ++x) {
        double r = 1, g = 1, b = 1;
        if (config_.mosaic) mosaic_filter(x, y, r, g, b);
        // A sky glow tinted slightly warm by street lights.
        signal_[y * WIDTH + x] = sky * static_cast<float>((1.2 * r + 1.0 * g + 0.8 * b) / 3.0);
      }
    }
    if (config_.scene == SkyScene::Stars && config_.extended_objects) add_extended(signal_);
  }
  sky_ = signal_;
  std::fill(dark_.begin(), dark_.end(), dark);
  for (int i : hot_) dark_[i] = static_cast<float>(config_.hot_per_s / 1000.0);

  const double sigma = star_sigma();
  const int reach = static_cast<int>(std::ceil(4 * sigma));
  const double norm = 1.0 / (2 * M_PI * sigma * sigma) / 1000.0;  // per millisecond
  const double k = -0.5 / (sigma * sigma);
  for (const Star& s : stars_) {
    const double cx = s.x + offset_x_;
    const double cy = s.y + offset_y_;
    const int x0 = std::max(0, static_cast<int>(std::floor(cx)) - reach);
    const int x1 = std::min(WIDTH - 1, static_cast<int>(std::floor(cx)) + reach);
    const int y0 = std::max(0, static_cast<int>(std::floor(cy)) - reach);
    const int y1 = std::min(HEIGHT - 1, static_cast<int>(std::floor(cy)) + reach);
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const double dx = x - cx, dy = y - cy;
        double r = 1, g = 1, b = 1;
        if (config_.mosaic) mosaic_filter(x, y, r, g, b);
        const double colour = (r * s.r + g * s.g + b * s.b) / 3.0;
        signal_[y * WIDTH + x] += static_cast<float>(s.flux * transmission_ * norm * colour *
                                                     std::exp(k * (dx * dx + dy * dy)));
      }
    }
  }
  signal_valid_ = true;
}

namespace {

// Adds light of band colour `c` (per second at each photosite) through the
// mosaic at (x, y).
inline void add_light(std::vector<float>& out, int x, int y, const BandLight& c, bool mosaic) {
  double r = 1, g = 1, b = 1;
  if (mosaic) mosaic_filter(x, y, r, g, b);
  out[static_cast<std::size_t>(y) * SkyRenderer::WIDTH + x] +=
      static_cast<float>((r * c.r + g * c.g + b * c.b) / 3.0 / 1000.0);
}

struct Blob {
  double x, y, sigma, peak;  // sky position, size, peak light per second
};

}  // namespace

void SkyRenderer::add_extended(std::vector<float>& out) const {
  const bool mosaic = config_.mosaic;
  // Light per photosite per second, relative to the sky glow.
  const double level = std::max(1.0, config_.sky_per_s);
  // An emission nebula: glowing hydrogen (deep red, a little blue) in a few
  // overlapping clouds, with a greenish-blue oxygen core.
  const BandLight hydrogen{2.3, 0.3, 0.4};
  const BandLight oxygen{0.3, 1.4, 1.3};
  const Blob clouds[] = {{215, 330, 45, 1.5 * level},
                         {265, 300, 30, 1.0 * level},
                         {180, 370, 35, 0.9 * level},
                         {240, 385, 55, 0.55 * level},
                         {205, 290, 25, 0.75 * level}};
  const Blob oxygen_core{225, 335, 14, 0.9 * level};
  const double ox = offset_x_, oy = offset_y_;
  {
    const int x0 = std::max(0, static_cast<int>(60 + ox)), x1 = std::min(WIDTH, int(420 + ox));
    const int y0 = std::max(0, static_cast<int>(150 + oy)), y1 = std::min(HEIGHT, int(560 + oy));
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const double sx = x - ox, sy = y - oy;
        double h = 0;
        for (const Blob& c : clouds) {
          const double d2 = (sx - c.x) * (sx - c.x) + (sy - c.y) * (sy - c.y);
          if (d2 < 16 * c.sigma * c.sigma) h += c.peak * std::exp(-0.5 * d2 / (c.sigma * c.sigma));
        }
        const double d2 = (sx - oxygen_core.x) * (sx - oxygen_core.x) +
                          (sy - oxygen_core.y) * (sy - oxygen_core.y);
        const double o =
            d2 < 16 * oxygen_core.sigma * oxygen_core.sigma
                ? oxygen_core.peak * std::exp(-0.5 * d2 / (oxygen_core.sigma * oxygen_core.sigma))
                : 0.0;
        if (h + o < 1e-3 * level) continue;
        add_light(out, x, y,
                  {h * hydrogen.r + o * oxygen.r, h * hydrogen.g + o * oxygen.g,
                   h * hydrogen.b + o * oxygen.b},
                  mosaic);
      }
    }
  }
  // A spiral galaxy seen at a slant: a yellowish core of old stars and a
  // bluer disc of young stars along two arms.
  {
    const double cx = 560, cy = 170, tilt = 0.55, angle = 0.5;
    const BandLight bulge{1.3, 1.05, 0.65};
    const BandLight disc{0.75, 0.95, 1.3};
    const double bulge_peak = 8 * level, bulge_sigma = 5;
    const double disc_peak = 1.2 * level, scale = 26;
    const double ca = std::cos(angle), sa = std::sin(angle);
    const int x0 = std::max(0, static_cast<int>(cx - 150 + ox));
    const int x1 = std::min(WIDTH, static_cast<int>(cx + 150 + ox));
    const int y0 = std::max(0, static_cast<int>(cy - 150 + oy));
    const int y1 = std::min(HEIGHT, static_cast<int>(cy + 150 + oy));
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const double dx = x - ox - cx, dy = y - oy - cy;
        // Into the galaxy's own plane: along the major axis, and the minor
        // axis stretched back by the tilt.
        const double u = dx * ca + dy * sa;
        const double v = (-dx * sa + dy * ca) / tilt;
        const double r = std::sqrt(u * u + v * v);
        if (r > 140) continue;
        const double core = bulge_peak * std::exp(-0.5 * r * r / (bulge_sigma * bulge_sigma));
        // Two logarithmic arms winding out from the core.
        const double theta = std::atan2(v, u);
        const double arms =
            0.35 + 0.65 * std::pow(0.5 + 0.5 * std::cos(2 * theta - 2.2 * std::log(r + 1)), 3);
        const double d = disc_peak * std::exp(-r / scale) * arms;
        add_light(
            out, x, y,
            {core * bulge.r + d * disc.r, core * bulge.g + d * disc.g, core * bulge.b + d * disc.b},
            mosaic);
      }
    }
  }
}

void SkyRenderer::add_chart(std::vector<float>& out) const {
  const double white = config_.chart_white_per_s;
  const int ox = static_cast<int>(std::lround(offset_x_));
  const int oy = static_cast<int>(std::lround(offset_y_));
  const BandLight card{CHART_CARD * white, CHART_CARD * white, CHART_CARD * white};
  for (int y = 0; y < HEIGHT; ++y)
    for (int x = 0; x < WIDTH; ++x) add_light(out, x, y, card, config_.mosaic);
  for (const ChartPatch& p : kChart) {
    const double lr = srgb_to_linear(p.red), lg = srgb_to_linear(p.green),
                 lb = srgb_to_linear(p.blue);
    const BandLight light{(lr - CHART_CARD) * white, (lg - CHART_CARD) * white,
                          (lb - CHART_CARD) * white};
    for (int y = std::max(0, p.y0 + oy); y < std::min(HEIGHT, p.y1 + oy); ++y)
      for (int x = std::max(0, p.x0 + ox); x < std::min(WIDTH, p.x1 + ox); ++x)
        add_light(out, x, y, light, config_.mosaic);
  }
}

void SkyRenderer::set_defocus(double blur) {
  blur = std::max(0.0, blur);
  if (blur == defocus_) return;
  defocus_ = blur;
  signal_valid_ = false;
}

double SkyRenderer::star_sigma() const {
  const double seeing = real_sky() ? config_.real_psf_sigma : config_.psf_sigma;
  return std::max(0.3, std::sqrt(seeing * seeing + defocus_ * defocus_));
}

void SkyRenderer::draw_trails(double exposure_ms, std::span<const PointingSample> path) {
  trails_.assign(static_cast<std::size_t>(WIDTH) * HEIGHT, 0.0f);
  const std::vector<PathStep> steps = path_steps(path, exposure_ms);
  const double sigma = star_sigma();
  const int reach = static_cast<int>(std::ceil(4 * sigma));
  const double norm = 1.0 / (2 * M_PI * sigma * sigma) / 1000.0;  // per millisecond
  const double k = -0.5 / (sigma * sigma);
  std::vector<double> gx(2 * reach + 2), gy(2 * reach + 2);
  for (const Star& s : stars_) {
    const StarColours colours = star_colours(s, config_.mosaic);
    for (const PathStep& step : steps) {
      const double cx = s.x + step.x;
      const double cy = s.y + step.y;
      const int x0 = std::max(0, static_cast<int>(std::floor(cx)) - reach);
      const int x1 = std::min(WIDTH - 1, static_cast<int>(std::floor(cx)) + reach);
      const int y0 = std::max(0, static_cast<int>(std::floor(cy)) - reach);
      const int y1 = std::min(HEIGHT - 1, static_cast<int>(std::floor(cy)) + reach);
      if (x0 > x1 || y0 > y1) continue;
      // The Gaussian is separable: one exponential per column and per row.
      for (int x = x0; x <= x1; ++x) gx[x - x0] = std::exp(k * (x - cx) * (x - cx));
      for (int y = y0; y <= y1; ++y) gy[y - y0] = std::exp(k * (y - cy) * (y - cy));
      const double amount = s.flux * transmission_ * norm * step.duration;
      for (int y = y0; y <= y1; ++y) {
        float* row = trails_.data() + static_cast<std::size_t>(y) * WIDTH;
        const double ay = amount * gy[y - y0];
        for (int x = x0; x <= x1; ++x)
          row[x] += static_cast<float>(ay * colours.through[filter_index(x, y, config_.mosaic)] *
                                       gx[x - x0]);
      }
    }
  }
}

bool SkyRenderer::prepare_stars(double exposure_ms, std::span<const PointingSample> path) {
  if (!signal_valid_) rebuild_signal();
  bool held_here = true;
  for (const PointingSample& p : path)
    if (p.x != offset_x_ || p.y != offset_y_) held_here = false;
  if (held_here) return false;
  draw_trails(std::max(0.0, exposure_ms), path);
  return true;
}

void SkyRenderer::render_row(int y, int x0, int count, double exposure_ms,
                             std::uint32_t exposure_number, bool trails, bool summed,
                             std::uint16_t* out) {
  const float e = static_cast<float>(std::max(0.0, exposure_ms));
  const float bias = static_cast<float>(config_.bias);
  const float read2 = static_cast<float>(config_.read_noise * config_.read_noise);
  const bool shot = config_.shot_noise;
  const std::uint64_t key =
      (config_.seed * 0x100000001B3ull) ^ (static_cast<std::uint64_t>(exposure_number) << 32);
  const std::size_t first = static_cast<std::size_t>(y) * WIDTH + x0;
  // The row summed with this one on the chip: the next, or for the last row
  // the one above, which carries the same filters as the missing next one.
  const std::size_t partner = static_cast<std::size_t>(y + 1 < HEIGHT ? y + 1 : y - 1) * WIDTH + x0;
  const float* base = trails ? sky_.data() : signal_.data();
  const float* sig = base + first;
  const float* drk = dark_.data() + first;
  const float* trail = trails ? trails_.data() + first : nullptr;
  const float* sig2 = base + partner;
  const float* drk2 = dark_.data() + partner;
  const float* trail2 = trails ? trails_.data() + partner : nullptr;
  for (int i = 0; i < count; ++i) {
    float s = (sig[i] + drk[i]) * e;
    if (trail != nullptr) s += trail[i];
    if (summed) {
      float s2 = (sig2[i] + drk2[i]) * e;
      if (trail2 != nullptr) s2 += trail2[i];
      s = 0.5f * (s + s2);
    }
    const float var = shot ? read2 + s : read2;
    const std::uint64_t pixel = static_cast<std::uint64_t>(y) * WIDTH + x0 + i;
    const float noise = var > 0.0f ? std::sqrt(var) * normal_from(key + pixel) : 0.0f;
    out[i] = to_sample(bias + s + noise);
  }
}

std::uint16_t SkyRenderer::sample(int x, int y, double exposure_ms, std::uint32_t exposure_number) {
  if (!signal_valid_) rebuild_signal();
  std::uint16_t v = 0;
  render_row(std::clamp(y, 0, HEIGHT - 1), std::clamp(x, 0, WIDTH - 1), 1, exposure_ms,
             exposure_number, false, false, &v);
  return v;
}

void SkyRenderer::render_field(int parity, double exposure_ms, std::span<const PointingSample> path,
                               std::uint32_t exposure_number, std::uint16_t* raw) {
  const bool trails = prepare_stars(exposure_ms, path);
  const float bias = static_cast<float>(config_.bias);
  const float read_noise = static_cast<float>(config_.read_noise);
  // Overscan: the bias with read noise, keyed apart from the visible samples.
  const std::uint64_t key = (config_.seed * 0xC2B2AE3D27D4EB4Full) ^
                            (static_cast<std::uint64_t>(exposure_number) << 33) ^
                            static_cast<std::uint64_t>(parity & 1);
  auto overscan = [&](int line, int from, int to) {
    std::uint16_t* out = raw + line * RAW_SAMPLES;
    for (int i = from; i < to; ++i)
      out[i] = to_sample(bias + read_noise * normal_from(key + line * RAW_SAMPLES * 2 + i * 2));
  };
  for (int line = 0; line < FIRST_LINE; ++line) overscan(line, 0, RAW_SAMPLES);
  for (int line = FIRST_LINE; line < RAW_LINES; ++line) {
    overscan(line, 0, FIRST_SAMPLE);
    overscan(line, FIRST_SAMPLE + WIDTH, RAW_SAMPLES);
    const int y = 2 * (line - FIRST_LINE) + (parity & 1);
    render_row(y, 0, WIDTH, exposure_ms, exposure_number, trails, readout_ == FieldReadout::Summed,
               raw + line * RAW_SAMPLES + FIRST_SAMPLE);
  }
}

void SkyRenderer::render_window(int column, int row, double exposure_ms,
                                std::span<const PointingSample> path, std::uint32_t exposure_number,
                                std::uint16_t* window) {
  const bool trails = prepare_stars(exposure_ms, path);
  column = std::clamp(column, 0, WIDTH - WINDOW);
  row = std::clamp(row, 0, HEIGHT - WINDOW);
  for (int i = 0; i < WINDOW; ++i)
    render_row(row + i, column, WINDOW, exposure_ms, exposure_number, trails, false,
               window + i * WINDOW);
}

}  // namespace tarvex
