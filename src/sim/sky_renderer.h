// The simulated sky as the camera's sensor sees it: a seeded star field of
// stellar colours with a Gaussian point spread, a bright double star, an
// emission nebula and a spiral galaxy, a faintly tinted sky background,
// dark current and hot pixels, read and shot noise, all seen through the
// sensor's complementary-colour mosaic (see mosaic_response below for the
// filter model). In place of the sky it can show a colour chart, or the
// real sky: the stars of the packaged star list (star_list.h) where the
// simulated mount really points, seen through a gnomonic projection at the
// mount's image scale.
// Usable on its own; the simulated camera owns one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/star_list.h"

namespace tarvex {

// How a field read delivers the photosites: one row each (frame readout,
// as for a progressive frame, and the 128 x 128 window), or each frame row
// y combined on the chip with row y + 1, at half the gain so that a field
// keeps the brightness of one row (field mode: fast and interlaced
// exposures).
enum class FieldReadout { Single, Summed };

// What the camera looks at.
enum class SkyScene {
  Stars,  // the night sky
  Chart,  // a colour chart of patches of known colour, evenly lit
  Real,   // the stars of the star list around where the mount points
};

struct SkyConfig {
  SkyScene scene = SkyScene::Stars;
  std::uint64_t seed = 1;
  int star_count = 80;               // over the frame and a margin around it
  double brightest_flux = 400000.0;  // whole-star signal per second, before the mosaic
  double faintest_ratio = 0.003;     // faintest star relative to the brightest
  double psf_sigma = 2.5;    // pixels: seeing spreads a star over about six photosites (FWHM)
  double sky_per_s = 90.0;   // background signal per pixel per second
  double bias = 600.0;       // offset of every sample, overscan included
  double read_noise = 6.0;   // standard deviation of each read
  double dark_per_s = 20.0;  // dark signal per pixel per second
  int hot_pixels = 6;
  double hot_per_s = 40000.0;          // dark signal of a hot pixel per second
  bool shot_noise = true;              // photon noise growing with the square root of the signal
  bool mosaic = true;                  // false: every photosite sees plain grey light
  bool extended_objects = true;        // the double star, the nebula and the galaxy
  double chart_white_per_s = 20000.0;  // the chart's white patch per photosite per second
  // The real sky: the packed star list, whether the made-up field gives way
  // to it when the mount is first told where it points, the star profile
  // (a 300 mm telescope's stars are far smaller in pixels than the made-up
  // field's), and the whole-star signal per second of a 10th magnitude
  // star, before the mosaic: 9th to 11th magnitude stand well above the
  // noise in a 1 s exposure, and stars brighter than about 6.5 saturate.
  std::string star_list_path;
  bool real_when_told = true;
  double real_psf_sigma = 1.0;
  double tenth_magnitude_flux = 20000.0;
};

// Light in the sensor's three bands (red, green, blue), in linear units.
struct BandLight {
  double r = 0, g = 0, b = 0;
};

// One patch of the colour chart: its name, its colour as 8-bit sRGB, and
// its place on the sensor (frame columns x0..x1-1, rows y0..y1-1, before
// the pointing offset).
struct ChartPatch {
  const char* name;
  int red, green, blue;
  int x0, y0, x1, y1;
};
std::span<const ChartPatch> chart_patches();
// An 8-bit sRGB value as linear light, 0..1.
double srgb_to_linear(int value);

// The band colour of a star of the given surface temperature (kelvin): the
// black body seen through the three bands, scaled to sum 3.
BandLight star_colour(double kelvin);

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
  // Widens every star by `blur` pixels (added in quadrature to the seeing),
  // as a focuser moved away from best focus does.
  void set_defocus(double blur);
  double star_sigma() const;
  double pointing_y() const { return offset_y_; }
  // The share of the stars' light that passes (1 clear, 0 behind a cloud).
  void set_transmission(double share);
  double transmission() const { return transmission_; }

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

  // How the following field reads deliver the photosites (Single at first).
  void set_field_readout(FieldReadout readout) { readout_ = readout; }
  FieldReadout field_readout() const { return readout_; }

  // The real sky. The scale along x in arcseconds per pixel (y scales by
  // 8.3/8.6, the photosites' height over width) and how the camera is turned,
  // as the simulated mount moves: with `east_left` cleared the sky's east
  // lies towards smaller x, with `north_up` cleared north towards smaller y
  // (the mount's east_shifts_stars_left and north_shifts_stars_up).
  void set_real_sky_geometry(double arcsec_per_pixel, bool east_left, bool north_up);
  double real_arcsec_per_pixel() const { return real_scale_x_; }
  // Switches the made-up star field to the real sky, once, unless the scene
  // was chosen on purpose; without the star list it keeps the field and
  // says so once. True when the real sky is shown.
  bool show_real_sky();
  bool real_sky() const { return config_.scene == SkyScene::Real; }
  // Where the middle of the frame points (J2000): the real sky moves with
  // it. The catalogue stars of the field are projected again only when the
  // pointing has moved a few pixels, and sought in the star list again only
  // when it leaves the stars already found; smaller moves shift the picture.
  void point_at(double ra_hours, double dec_degrees);

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
    double kelvin;   // the surface temperature the colour comes from
  };
  const std::vector<Star>& stars() const { return stars_; }

 private:
  void rebuild_signal();
  bool load_star_list();
  void project_field();
  // Adds the extended objects or the chart, as they lie at the current
  // pointing, to the sky signal.
  void add_extended(std::vector<float>& out) const;
  void add_chart(std::vector<float>& out) const;
  // Chooses the star signal of an exposure: the cached one of a pointing held
  // where it is now, or the trails along a path; true for trails.
  bool prepare_stars(double exposure_ms, std::span<const PointingSample> path);
  void draw_trails(double exposure_ms, std::span<const PointingSample> path);
  void render_row(int y, int x0, int count, double exposure_ms, std::uint32_t exposure_number,
                  bool trails, bool summed, std::uint16_t* out);

  SkyConfig config_;
  double offset_x_ = 0;
  double offset_y_ = 0;
  double defocus_ = 0;
  double transmission_ = 1;
  std::vector<Star> stars_;
  std::vector<int> hot_;  // frame sample indices
  // Star and sky signal per millisecond at each photosite, mosaic included,
  // for the pointing held where it is now.
  std::vector<float> signal_;
  std::vector<float> sky_;     // the sky alone per millisecond, mosaic included
  std::vector<float> dark_;    // dark signal per millisecond at each photosite
  std::vector<float> trails_;  // star signal integrated along the path of one exposure
  bool signal_valid_ = false;
  FieldReadout readout_ = FieldReadout::Single;

  // The real sky.
  std::unique_ptr<StarList> star_list_;
  bool star_list_failed_ = false;
  double real_scale_x_ = 206.264806 * 8.6 / 300.0;
  double sign_x_ = -1, sign_y_ = -1;  // +1: east (north) towards larger x (y)
  bool pointed_ = false;
  double point_ra_ = 0, point_dec_ = 0;  // radians, J2000
  // The stars found around `found_ra_`, `found_dec_` within `found_radius_`
  // (radians), as unit vectors with their flux.
  struct FoundStar {
    double x, y, z, flux;
  };
  std::vector<ListedStar> listed_;
  std::vector<FoundStar> found_;
  bool found_valid_ = false;
  double found_ra_ = 0, found_dec_ = 0, found_radius_ = 0;
  // The pointing the stars were last projected at, and the sky offset then.
  double ref_ra_ = 0, ref_dec_ = 0;
  double ref_offset_x_ = 0, ref_offset_y_ = 0;
  bool ref_valid_ = false;
};

// The response of the photosite at frame column x, row y to light in each
// band, filter and sensor together, scaled so that the four filters average
// 1 for white light (r + g + b averaged over the mosaic is 3). The signal of
// a photosite is (r * light.r + g * light.g + b * light.b) / 3 for light of
// band colour `light` (bands summing to 3 for unit brightness). The filter
// model is described in sky_renderer.cpp.
void mosaic_filter(int x, int y, double& r, double& g, double& b);

// The filter of the photosite at frame column x, row y: 0 cyan, 1 yellow,
// 2 magenta, 3 green.
int mosaic_cell(int x, int y);

}  // namespace tarvex
