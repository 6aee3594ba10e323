// The simulated sky as the camera's sensor sees it: a seeded star field with
// a Gaussian point spread, sky background, dark current and hot pixels,
// read and shot noise, and the sensor's complementary-colour mosaic.
// Usable on its own; the simulated camera owns one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarvex {

struct SkyConfig {
  std::uint64_t seed = 1;
  int star_count = 80;               // over the frame and a margin around it
  double brightest_flux = 400000.0;  // whole-star signal per second, before the mosaic
  double faintest_ratio = 0.003;     // faintest star relative to the brightest
  double psf_sigma = 1.3;            // pixels
  double sky_per_s = 150.0;          // background signal per pixel per second
  double bias = 600.0;               // offset of every sample, overscan included
  double read_noise = 6.0;           // standard deviation of each read
  double dark_per_s = 20.0;          // dark signal per pixel per second
  int hot_pixels = 6;
  double hot_per_s = 40000.0;  // dark signal of a hot pixel per second
  bool shot_noise = true;      // photon noise growing with the square root of the signal
  bool mosaic = true;          // false: every photosite sees plain grey light
};

// Where the sky lay on the sensor at one moment of an exposure: the pointing
// offset (as shift_pointing accumulates it) `t_ms` milliseconds after the
// exposure began. A path is a list of these in time order; between samples
// the pointing moves in a straight line, before the first and after the last
// it stays put.
struct PointingSample {
  double t_ms;
  double x;
  double y;
};

class SkyRenderer {
 public:
  static constexpr int WIDTH = 752;
  static constexpr int HEIGHT = 580;

  explicit SkyRenderer(const SkyConfig& config = {});

  // Replaces the configuration and regenerates stars and hot pixels.
  void configure(const SkyConfig& config);
  const SkyConfig& config() const { return config_; }

  // Moves the sky across the sensor by (dx, dy) pixels; the simulated mount
  // calls this for drift, guide pulses and slews.
  void shift_pointing(double dx, double dy);
  double pointing_x() const { return offset_x_; }
  double pointing_y() const { return offset_y_; }

  // One sample of the sensor at frame column x, row y, for an exposure and
  // the numbered exposure whose noise it carries.
  std::uint16_t sample(int x, int y, double exposure_ms, std::uint32_t exposure_number);

  // One field as the camera delivers it: 298 lines of 832 samples; lines
  // 8..297, samples 26..777 are frame rows parity, parity + 2, ... and columns
  // 0..751; the rest is overscan at the bias level. The stars integrate along
  // `path` over the exposure (so a moving pointing trails them); an empty
  // path holds the pointing where it is now.
  void render_field(int parity, double exposure_ms, std::span<const PointingSample> path,
                    std::uint32_t exposure_number, std::uint16_t* raw);
  void render_field(int parity, double exposure_ms, std::uint32_t exposure_number,
                    std::uint16_t* raw) {
    render_field(parity, exposure_ms, {}, exposure_number, raw);
  }

  // The 128 x 128 window with its top-left corner at frame (column, row).
  void render_window(int column, int row, double exposure_ms, std::span<const PointingSample> path,
                     std::uint32_t exposure_number, std::uint16_t* window);
  void render_window(int column, int row, double exposure_ms, std::uint32_t exposure_number,
                     std::uint16_t* window) {
    render_window(column, row, exposure_ms, {}, exposure_number, window);
  }

  // The frame position of star i, for tests.
  struct Star {
    double x, y;     // sky position before the pointing offset
    double flux;     // per second
    double r, g, b;  // colour, summing to 3
  };
  const std::vector<Star>& stars() const { return stars_; }

 private:
  void rebuild_signal();
  // Chooses the star signal of an exposure: the cached one of a pointing held
  // where it is now, or the trails along a path; true for trails.
  bool prepare_stars(double exposure_ms, std::span<const PointingSample> path);
  void draw_trails(double exposure_ms, std::span<const PointingSample> path);
  void render_row(int y, int x0, int count, double exposure_ms, std::uint32_t exposure_number,
                  bool trails, std::uint16_t* out);

  SkyConfig config_;
  double offset_x_ = 0;
  double offset_y_ = 0;
  std::vector<Star> stars_;
  std::vector<int> hot_;  // frame sample indices
  // Star and sky signal per millisecond at each photosite, mosaic included,
  // for the pointing held where it is now.
  std::vector<float> signal_;
  std::vector<float> sky_;     // the sky alone per millisecond, mosaic included
  std::vector<float> dark_;    // dark signal per millisecond at each photosite
  std::vector<float> trails_;  // star signal integrated along the path of one exposure
  bool signal_valid_ = false;
};

// The filter in front of frame column x, row y of the mosaic, as red, green
// and blue transmissions.
void mosaic_filter(int x, int y, double& r, double& g, double& b);

}  // namespace tarvex
