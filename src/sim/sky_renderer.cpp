#include "sim/sky_renderer.h"

#include <algorithm>
#include <cmath>

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

void mosaic_filter(int x, int y, double& r, double& g, double& b) {
  // Cyan and yellow alternate along the rows of the first field; green and
  // magenta along the rows of the second, swapping places every other row.
  enum { Cy, Ye, Mg, Gr } f;
  if ((y & 1) == 0) {
    f = (x & 1) == 0 ? Cy : Ye;
  } else if (((y >> 1) & 1) == 0) {
    f = (x & 1) == 0 ? Gr : Mg;
  } else {
    f = (x & 1) == 0 ? Mg : Gr;
  }
  switch (f) {
    case Cy: r = 0.05, g = 0.9, b = 0.9; break;
    case Ye: r = 0.9, g = 0.9, b = 0.05; break;
    case Mg: r = 0.9, g = 0.05, b = 0.9; break;
    default: r = 0.05, g = 0.9, b = 0.05; break;
  }
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
  for (int i = 0; i < std::max(0, config.star_count); ++i) {
    Star s;
    s.x = -MARGIN + rnd.uniform() * (WIDTH + 2 * MARGIN);
    s.y = -MARGIN + rnd.uniform() * (HEIGHT + 2 * MARGIN);
    // Faint stars are far more common than bright ones.
    s.flux = config.brightest_flux * std::pow(faint, std::pow(rnd.uniform(), 0.6));
    // Colours from red giants to blue stars.
    const double t = rnd.uniform();
    s.r = 0.6 + 0.9 * (1 - t);
    s.b = 0.6 + 0.9 * t;
    s.g = 3.0 - s.r - s.b;
    stars_.push_back(s);
  }
  hot_.clear();
  for (int i = 0; i < std::max(0, config.hot_pixels); ++i) {
    const int x = 4 + static_cast<int>(rnd.uniform() * (WIDTH - 8));
    const int y = 4 + static_cast<int>(rnd.uniform() * (HEIGHT - 8));
    hot_.push_back(y * WIDTH + x);
  }
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
  if (!mosaic) return 0;
  if ((y & 1) == 0) return (x & 1);
  return 2 + ((x & 1) ^ ((y >> 1) & 1));
}

StarColours star_colours(const SkyRenderer::Star& s, bool mosaic) {
  StarColours c{};
  const int sites[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};  // one photosite of each filter
  for (int f = 0; f < 4; ++f) {
    double r = 1, g = 1, b = 1;
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
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) {
      double r = 1, g = 1, b = 1;
      if (config_.mosaic) mosaic_filter(x, y, r, g, b);
      // A slightly warm sky glow.
      signal_[y * WIDTH + x] = sky * static_cast<float>((1.2 * r + 1.0 * g + 0.8 * b) / 3.0);
    }
  }
  sky_ = signal_;
  std::fill(dark_.begin(), dark_.end(), dark);
  for (int i : hot_) dark_[i] = static_cast<float>(config_.hot_per_s / 1000.0);

  const double sigma = std::max(0.3, config_.psf_sigma);
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
        signal_[y * WIDTH + x] +=
            static_cast<float>(s.flux * norm * colour * std::exp(k * (dx * dx + dy * dy)));
      }
    }
  }
  signal_valid_ = true;
}

void SkyRenderer::draw_trails(double exposure_ms, std::span<const PointingSample> path) {
  trails_.assign(static_cast<std::size_t>(WIDTH) * HEIGHT, 0.0f);
  const std::vector<PathStep> steps = path_steps(path, exposure_ms);
  const double sigma = std::max(0.3, config_.psf_sigma);
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
      const double amount = s.flux * norm * step.duration;
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
                             std::uint32_t exposure_number, bool trails, std::uint16_t* out) {
  const float e = static_cast<float>(std::max(0.0, exposure_ms));
  const float bias = static_cast<float>(config_.bias);
  const float read2 = static_cast<float>(config_.read_noise * config_.read_noise);
  const bool shot = config_.shot_noise;
  const std::uint64_t key =
      (config_.seed * 0x100000001B3ull) ^ (static_cast<std::uint64_t>(exposure_number) << 32);
  const std::size_t first = static_cast<std::size_t>(y) * WIDTH + x0;
  const float* sig = (trails ? sky_.data() : signal_.data()) + first;
  const float* drk = dark_.data() + first;
  const float* trail = trails ? trails_.data() + first : nullptr;
  for (int i = 0; i < count; ++i) {
    float s = (sig[i] + drk[i]) * e;
    if (trail != nullptr) s += trail[i];
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
             exposure_number, false, &v);
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
    render_row(y, 0, WIDTH, exposure_ms, exposure_number, trails,
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
    render_row(row + i, column, WINDOW, exposure_ms, exposure_number, trails, window + i * WINDOW);
}

}  // namespace tarvex
