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

SkyRenderer::SkyRenderer(const SkyConfig& config) : signal_(WIDTH * HEIGHT), dark_(WIDTH * HEIGHT) {
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

void SkyRenderer::render_row(int y, int x0, int count, double exposure_ms,
                             std::uint32_t exposure_number, std::uint16_t* out) {
  const float e = static_cast<float>(std::max(0.0, exposure_ms));
  const float bias = static_cast<float>(config_.bias);
  const float read2 = static_cast<float>(config_.read_noise * config_.read_noise);
  const bool shot = config_.shot_noise;
  const std::uint64_t key =
      (config_.seed * 0x100000001B3ull) ^ (static_cast<std::uint64_t>(exposure_number) << 32);
  const float* sig = signal_.data() + y * WIDTH + x0;
  const float* drk = dark_.data() + y * WIDTH + x0;
  for (int i = 0; i < count; ++i) {
    const float s = (sig[i] + drk[i]) * e;
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
             exposure_number, &v);
  return v;
}

void SkyRenderer::render_field(int parity, double exposure_ms, std::uint32_t exposure_number,
                               std::uint16_t* raw) {
  if (!signal_valid_) rebuild_signal();
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
    render_row(y, 0, WIDTH, exposure_ms, exposure_number, raw + line * RAW_SAMPLES + FIRST_SAMPLE);
  }
}

void SkyRenderer::render_window(int column, int row, double exposure_ms,
                                std::uint32_t exposure_number, std::uint16_t* window) {
  if (!signal_valid_) rebuild_signal();
  column = std::clamp(column, 0, WIDTH - WINDOW);
  row = std::clamp(row, 0, HEIGHT - WINDOW);
  for (int i = 0; i < WINDOW; ++i)
    render_row(row + i, column, WINDOW, exposure_ms, exposure_number, window + i * WINDOW);
}

}  // namespace tarvex
