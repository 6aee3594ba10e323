// --sim-mount KEY=VALUE[,KEY=VALUE...]: how the simulated mount is set up
// for one run, read the same way by both front ends. Each key has one entry
// in the key table (sim_mount_option_keys) with its own reader, so a new
// key is one reader and one line in the table.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The sensor's photosites, micrometres: the image scale along y is the
// scale along x times PIXEL_HEIGHT_UM / PIXEL_WIDTH_UM.
inline constexpr double PIXEL_WIDTH_UM = 8.6;
inline constexpr double PIXEL_HEIGHT_UM = 8.3;
// Arcseconds per radian over 1000 (micrometres to millimetres).
inline constexpr double ARCSEC_PER_UM_PER_MM = 206.264806;

// Where the mount points at the start of the run: J2000, like the catalogue.
struct SimPointing {
  std::string name;  // "M42", "NGC7000", or the coordinates as given
  double ra_hours = 0;
  double dec_degrees = 0;
};

struct SimMountOptions {
  std::optional<SimPointing> point;
  // One image scale in two units; at most one of them is set.
  std::optional<double> focal_length_mm;
  std::optional<double> arcsec_per_pixel;  // along x
  // How far the sky the camera sees lies from where the mount believes it
  // points, so that a plain go-to misses by this much.
  double pointing_error_arcmin = 5.0;
  // The keys given, in order.
  std::vector<std::string> keys;
};

// One key: its name, and a reader that sets its value in the options or
// says what is wrong with the value (the text follows "--sim-mount KEY ").
struct SimMountOptionKey {
  const char* name;
  bool (*read)(std::string_view value, SimMountOptions& options, std::string& why);
};
std::span<const SimMountOptionKey> sim_mount_option_keys();

// Reads one --sim-mount value into `options` (adding to what earlier ones
// set). False with `error` naming the key when a key is unknown, given
// twice or has a bad value, or when focal-length and scale are both given.
bool parse_sim_mount_options(std::string_view text, SimMountOptions& options, std::string& error);

// The image scale along x in arcseconds per pixel: the scale given, else the
// focal length's, else the default for the sky shown (300 mm for the real
// sky, 2"/px for the made-up field).
double sim_arcsec_per_pixel(const SimMountOptions& options, bool real_sky);

// A catalogue name as the mount's catalogue knows it ("M31", "m 31",
// "NGC7000"); false for any other text.
bool find_named_pointing(std::string_view name, SimPointing& out);

}  // namespace tarvex
