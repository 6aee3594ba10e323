// The simulated mount: an LX200 mount and a guider control box behind one
// side of a pseudo-terminal. The program opens the other side as it would
// open a serial port. The mount reads the line settings the program chose:
// at 9600 baud, 8N1, it speaks LX200; at 300 baud, 8N1, it is a control box;
// bytes sent at other settings are garbled and ignored.
//
// It is stepped from the program's clock (a ClockListener): each step moves
// the pointing for the time passed, takes the bytes that arrived and sends
// the replies that are due, one character time apart at the line's rate.
// On a virtual clock every run is repeatable.
//
// Motion is kept in sensor pixels, as the camera sees it: moving east
// shifts the stars towards smaller x, north towards smaller y (or the other
// way, as the configuration turns the camera). Held moves
// run at the selected rate, guide pulses and the control box's relays at
// the guide rates (different in RA and Dec); reversing an axis first takes
// up its backlash; the mount drifts slowly. Every pixel move also moves
// where the telescope points at the image scale: moves and pulses the
// mount's coordinates, the drift (which the mount does not know of) only
// where it really points. Go-to slews change the mount's
// coordinates, not the pixel pointing of the made-up star field; the real
// sky follows the coordinates alone, so a go-to moves it.
//
// Where the mount believes it points (what it answers and what a sync
// sets) lies a fixed pointing error away from where it really points (what
// the camera sees), so a plain go-to misses by that much; a sync moves the
// belief, not the telescope.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/stepping_clock.h"
#include "sim/mount_disturbance.h"
#include "sim/sky_catalogue.h"

namespace tarvex {

class SkyRenderer;

struct SimMountConfig {
  double guide_rate_ra = 6.0;   // pixels per second at the guide rate, RA axis
  double guide_rate_dec = 5.0;  // pixels per second at the guide rate, Dec axis
  double centre_rate = 60.0;    // pixels per second, both axes
  double find_rate = 600.0;
  double slew_rate = 3000.0;
  double ra_backlash = 4.0;   // pixels taken up when the RA axis reverses
  double dec_backlash = 6.0;  // pixels taken up when the Dec axis reverses
  double drift_x = 0.02;      // pixels per second
  double drift_y = 0.01;
  double arcsec_per_pixel = 2.0;  // along x, for the made-up star field
  // Along x, for the real sky (300 mm with 8.6 um photosites); along y both
  // scale by 8.3/8.6, the photosites' height over width.
  double real_sky_arcsec_per_pixel = 206.264806 * 8.6 / 300.0;
  // How far the sky the camera sees lies from where the mount believes it
  // points, arcminutes (east and north in the ratio 3:4).
  double pointing_error_arcmin = 5.0;
  // How the camera is turned on the mount: set, moving east shifts the stars
  // towards smaller x and north towards smaller y, so that guiding needs
  // both pairs of drive directions swapped; cleared, towards larger x and y,
  // as the program's default drive directions expect.
  bool east_shifts_stars_left = true;
  bool north_shifts_stars_up = true;
  // The focuser: the position where stars are sharpest, and how much blur
  // (pixels of extra star width) each step away from it adds. The focuser
  // starts at position 0, in focus unless best_focus says otherwise.
  double best_focus = 0.0;
  double blur_per_step = 0.02;
  double goto_degrees_per_second = 4.0;
  double latitude = 52.0;   // degrees north
  double longitude = -1.5;  // degrees east
  // Universal time at clock 0, in seconds since 1970 (2024-01-15 20:00:00 UTC).
  double start_unix_time = 1705348800.0;
  double start_ra_hours = 0.0;
  double start_dec_degrees = 45.0;
  // What a real mount and sky add: periodic error, seeing, Dec drift,
  // stiction and a cloud, in arcseconds (none by default). With `realistic`
  // the mount also loses the linear drift and the RA backlash above, guides
  // at the sidereal rate and takes its Dec backlash from the disturbance.
  bool realistic = false;
  DisturbanceConfig disturbance;
  // The disturbance's Dec backlash replaces dec_backlash in either preset.
  bool backlash_given = false;
};

// The `realistic` preset on a configuration: the disturbance defaults.
void set_realistic_preset(SimMountConfig& config);

enum class MountBehaviour {
  Normal,
  Silent,   // reads everything, answers nothing, does not move
  Garbage,  // answers every query with noise, some of it far longer than asked
};

class SimMount : public ClockListener {
 public:
  explicit SimMount(const SimMountConfig& config = {});
  ~SimMount() override;
  SimMount(const SimMount&) = delete;
  SimMount& operator=(const SimMount&) = delete;

  // Creates the pseudo-terminal. False when the system has none to give.
  bool open();
  // The path the program opens, e.g. /dev/pts/3.
  const std::string& device_path() const { return path_; }
  // The mount's side, for a loop that waits on it.
  int descriptor() const { return master_; }

  void on_clock(std::uint32_t now_ms) override { step(now_ms); }
  void step(std::uint32_t now_ms);
  // Milliseconds from `now_ms` until the next reply byte is due, or -1.
  int next_due_in(std::uint32_t now_ms) const;

  // The camera's sky, moved along with the pointing and blurred by the
  // focuser (optional).
  void attach_sky(SkyRenderer* sky);
  // A new exposure starts: the seeing moves the stars to this frame's
  // place.
  void next_seeing_frame();
  const MountDisturbance& disturbance() const { return disturbance_; }
  // Arcseconds the RA axis has been moved besides tracking (guide pulses,
  // held moves and slews), which turn the worm.
  double ra_axis_moved() const { return ra_axis_arcsec_; }
  // Seconds of the mount's own time (from its first step) at its last step.
  double elapsed_seconds() const { return clock_ms_ / 1000.0; }

  void set_behaviour(MountBehaviour b) { behaviour_ = b; }
  // The precision the mount answers in, as ":U#" toggles it; a mount held
  // in low precision ignores ":U#", as some older mounts do.
  void set_high_precision(bool on) { high_precision_ = on; }
  void hold_low_precision(bool on) { low_precision_held_ = on; }
  bool high_precision() const { return high_precision_; }
  // Extra time before every reply starts.
  void set_reply_delay(std::uint32_t ms) { reply_delay_ms_ = ms; }

  // What arrived, in the order it came: bytes with the step time they were
  // read at and the line's baud rate then. Kept only while recording.
  struct Received {
    std::uint32_t at_ms;
    int baud;
    std::string bytes;
  };
  void set_recording(bool on) { recording_ = on; }
  const std::vector<Received>& received() const { return received_; }
  // Everything received while recording, as one text.
  std::string received_text() const;
  void clear_received() { received_.clear(); }

  // State for tests and the front ends.
  int baud() const { return baud_; }  // the rate the line was last seen at
  double pointing_x() const { return pointing_x_; }
  double pointing_y() const { return pointing_y_; }
  double ra_hours() const { return ra_hours_; }
  double dec_degrees() const { return dec_degrees_; }
  // Where the telescope really points, the pointing error away from where
  // the mount believes it does: of date, and in J2000 as the real sky is
  // drawn.
  void real_pointing(double& ra_hours, double& dec_degrees) const;
  void real_pointing_j2000(double& ra_hours, double& dec_degrees) const;
  bool slewing() const { return slewing_; }
  int focus_position() const { return static_cast<int>(focus_position_); }
  // The extra star width the focuser's position gives, in pixels.
  double defocus_blur() const {
    const double d = focus_position_ - config_.best_focus;
    return (d < 0 ? -d : d) * config_.blur_per_step;
  }
  std::size_t queued_reply_bytes() const { return out_.size(); }
  int garbled_bytes() const { return garbled_; }
  int control_box_resets() const { return box_resets_; }
  const SimMountConfig& config() const { return config_; }

  // Longest reply queue kept; a program that stops reading loses the rest.
  static constexpr std::size_t MAX_QUEUED = 8192;

 private:
  struct Lx200Commands;  // the command table and its handlers
  enum Axis { RA = 0, DEC = 1 };
  struct AxisState {
    int sign = 0;       // direction of the current motion, -1, 0, +1
    double rate = 0;    // pixels per second
    int last_sign = 0;  // direction the axis last moved in, for backlash
    double slack = 0;   // backlash still to take up
  };

  void read_line_settings();
  void advance(std::uint32_t to_ms);
  void move_for(double seconds);
  void update_motion();
  void take_lx200(char c, std::uint32_t now);
  void run_command(const std::string& command, std::uint32_t now);
  void take_box_byte(std::uint8_t b);
  void reply(const std::string& text, std::uint32_t now);
  void flush(std::uint32_t now);
  double sidereal_hours(std::uint32_t now) const;
  // The image scale the pixel moves run at, arcseconds per pixel along x.
  double arcsec_per_pixel() const;
  // Shows the camera's real sky where the telescope really points.
  void show_sky();
  // A go-to or a sync: the mount has been told where it points, which
  // brings up the real sky.
  void told_where();
  double altitude(double ra_hours, double dec_degrees, std::uint32_t now) const;
  std::string noise(std::size_t length);

  SimMountConfig config_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the line survives the program closing it
  std::string path_;
  SkyRenderer* sky_ = nullptr;
  MountBehaviour behaviour_ = MountBehaviour::Normal;
  std::uint32_t reply_delay_ms_ = 0;

  bool started_ = false;
  std::uint32_t last_ms_ = 0;  // clock reading of the last step
  double clock_ms_ = 0;        // time since the first step, without wrapping
  int baud_ = 9600;
  bool framing_ok_ = true;

  // LX200 side.
  std::string command_;
  bool in_command_ = false;
  bool high_precision_ = true;
  bool low_precision_held_ = false;
  char rate_ = 'S';                  // S slew, M find, C centre, G guide
  bool moving_[4] = {};              // held moves: e, w, n, s
  std::uint32_t pulse_end_[4] = {};  // timed pulses (":Mg"), end times
  bool pulsing_[4] = {};
  double target_ra_ = 0, target_dec_ = 0;
  bool target_set_ = false;
  SkyObject selected_;
  bool selected_set_ = false;
  bool slewing_ = false;
  int focus_direction_ = 0;
  bool focus_fast_ = false;
  double focus_position_ = 0;

  // Control box side.
  std::uint8_t relays_closed_ = 0;  // bits e 1, n 2, s 4, w 8
  int box_resets_ = 0;

  AxisState axes_[2];
  double pointing_x_ = 0, pointing_y_ = 0;
  MountDisturbance disturbance_;
  double ra_axis_arcsec_ = 0;
  double periodic_px_ = 0;  // the periodic error's shift of the sky now, pixels
  SeeingOffset seeing_px_;  // this frame's seeing shift of the sky, pixels
  std::uint64_t seeing_frame_ = 0;
  double ra_hours_ = 0, dec_degrees_ = 0;
  double error_east_arcmin_ = 0, error_north_arcmin_ = 0;

  struct OutByte {
    char c;
    double due_ms;
  };
  std::deque<OutByte> out_;
  double line_free_ms_ = 0;  // when the last queued byte has been sent

  bool recording_ = false;
  std::vector<Received> received_;
  int garbled_ = 0;
  std::uint32_t noise_state_ = 12345;
};

}  // namespace tarvex
