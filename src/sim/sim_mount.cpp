#include "sim/sim_mount.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string_view>

#include "scope/control_box.h"
#include "scope/lx200.h"
#include "scope/precession.h"
#include "sim/sky_renderer.h"

namespace tarvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

int speed_to_baud(speed_t s) {
  switch (s) {
    case B110: return 110;
    case B300: return 300;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
  }
}

// Index of a direction letter in the motion tables: e, w, n, s.
int direction_index(char c) {
  switch (c) {
    case 'e': return 0;
    case 'w': return 1;
    case 'n': return 2;
    case 's': return 3;
    default: return -1;
  }
}

// The argument after `n` command letters, without the spaces some clients
// put in front of it.
std::string argument(const std::string& command, std::size_t n) {
  std::size_t i = n;
  while (i < command.size() && command[i] == ' ') ++i;
  return command.substr(std::min(i, command.size()));
}

}  // namespace

SimMount::SimMount(const SimMountConfig& config)
    : config_(config), disturbance_(config.disturbance) {
  const double scale = config_.arcsec_per_pixel > 0 ? config_.arcsec_per_pixel : 1.0;
  if (config_.realistic) {
    // Only the disturbance moves the star; guide pulses run at the sidereal
    // rate.
    config_.drift_x = config_.drift_y = 0;
    config_.ra_backlash = 0;
    config_.guide_rate_ra = config_.guide_rate_dec = SIDEREAL_ARCSEC_PER_S / scale;
  }
  if (config_.realistic || config_.backlash_given)
    config_.dec_backlash = config_.disturbance.backlash / scale;
  // The sky starts where the periodic error has it at time 0.
  periodic_px_ = disturbance_.periodic_error(disturbance_.worm_seconds(0)) / scale;
  ra_hours_ = config.start_ra_hours;
  dec_degrees_ = config.start_dec_degrees;
  target_ra_ = ra_hours_;
  target_dec_ = dec_degrees_;
  error_east_arcmin_ = 0.6 * config.pointing_error_arcmin;
  error_north_arcmin_ = 0.8 * config.pointing_error_arcmin;
}

SimMount::~SimMount() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
}

bool SimMount::open() {
  if (master_ >= 0) return true;
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    master_ = slave_ = -1;
    return false;
  }
  path_ = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  // Raw at 9600 8N1 until a program sets the line up: no echo, no line
  // editing, so a client that forgets raw mode still talks byte for byte.
  termios t{};
  if (::tcgetattr(slave_, &t) == 0) {
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(slave_, TCSANOW, &t);
  }
  return true;
}

void SimMount::read_line_settings() {
  termios t{};
  // On a pseudo-terminal the settings of the program's side show through
  // the mount's side.
  if (::tcgetattr(master_, &t) != 0) return;
  baud_ = speed_to_baud(::cfgetospeed(&t));
  framing_ok_ =
      (t.c_cflag & CSIZE) == CS8 && (t.c_cflag & PARENB) == 0 && (t.c_cflag & CSTOPB) == 0;
}

void SimMount::step(std::uint32_t now) {
  if (master_ < 0) return;
  if (!started_) {
    started_ = true;
    last_ms_ = now;
  }
  if (static_cast<std::int32_t>(now - last_ms_) > 0) advance(now);
  read_line_settings();
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) break;  // nothing more now, or no program on the line
    if (recording_) {
      if (!received_.empty() && received_.back().at_ms == now && received_.back().baud == baud_)
        received_.back().bytes.append(buf, static_cast<std::size_t>(n));
      else
        received_.push_back({now, baud_, std::string(buf, static_cast<std::size_t>(n))});
    }
    if (behaviour_ == MountBehaviour::Silent) continue;
    for (ssize_t i = 0; i < n; ++i) {
      if (framing_ok_ && baud_ == 9600) {
        take_lx200(buf[i], now);
      } else if (framing_ok_ && baud_ == 300) {
        take_box_byte(static_cast<std::uint8_t>(buf[i]));
      } else {
        ++garbled_;
      }
    }
  }
  flush(now);
}

int SimMount::next_due_in(std::uint32_t now) const {
  if (out_.empty()) return -1;
  const double elapsed = static_cast<std::int32_t>(now - last_ms_);
  const double wait = out_.front().due_ms - (clock_ms_ + elapsed);
  return wait <= 0 ? 0 : static_cast<int>(std::ceil(wait));
}

std::string SimMount::received_text() const {
  std::string all;
  for (const Received& r : received_) all += r.bytes;
  return all;
}

void set_realistic_preset(SimMountConfig& config) {
  const std::uint64_t seed = config.disturbance.seed;
  config.realistic = true;
  config.disturbance = realistic_disturbance();
  config.disturbance.seed = seed;
}

// --- Motion ---

void SimMount::advance(std::uint32_t to) {
  for (;;) {
    // A timed pulse that ends before `to` splits the interval.
    int ending = -1;
    for (int i = 0; i < 4; ++i) {
      if (!pulsing_[i]) continue;
      const std::int32_t left = static_cast<std::int32_t>(pulse_end_[i] - last_ms_);
      const std::int32_t until_to = static_cast<std::int32_t>(pulse_end_[i] - to);
      if (left <= 0) {
        pulsing_[i] = false;
        update_motion();
        continue;
      }
      if (until_to <= 0 &&
          (ending < 0 || static_cast<std::int32_t>(pulse_end_[i] - pulse_end_[ending]) < 0))
        ending = i;
    }
    const std::uint32_t segment_end = ending >= 0 ? pulse_end_[ending] : to;
    const std::int32_t ms = static_cast<std::int32_t>(segment_end - last_ms_);
    move_for(ms / 1000.0);
    clock_ms_ += ms;
    last_ms_ = segment_end;
    if (ending < 0) break;
    pulsing_[ending] = false;
    update_motion();
  }
}

void SimMount::move_for(double seconds) {
  if (seconds <= 0) return;
  // The stars' shift on the sensor, and the same motion as the mount's
  // (pixels east and north).
  double dx = config_.drift_x * seconds;
  double dy = config_.drift_y * seconds;
  // The drift is the telescope wandering without the mount knowing: it
  // moves where the telescope really points, not where the mount believes.
  const double drift_east = config_.east_shifts_stars_left ? -dx : dx;
  const double drift_north = config_.north_shifts_stars_up ? -dy : dy;
  double east = 0, north = 0;
  const double backlash[2] = {config_.ra_backlash, config_.dec_backlash};
  for (int a = 0; a < 2; ++a) {
    AxisState& axis = axes_[a];
    if (axis.sign == 0) continue;
    double d = axis.rate * seconds;
    // The gear sits somewhere in its backlash gap: 0 engaged for the
    // positive direction (east, north), `backlash` for the negative one.
    if (axis.sign > 0) {
      const double take = std::min(axis.slack, d);
      axis.slack -= take;
      d -= take;
    } else {
      const double take = std::min(backlash[a] - axis.slack, d);
      axis.slack += take;
      d -= take;
    }
    const double signed_d = axis.sign * d;
    if (a == RA) ra_axis_arcsec_ += signed_d * arcsec_per_pixel();
    if (a == RA) {
      dx += config_.east_shifts_stars_left ? -signed_d : signed_d;
      east += signed_d;
    } else {
      dy += config_.north_shifts_stars_up ? -signed_d : signed_d;
      north += signed_d;
    }
  }
  // The periodic error and the Dec drift of the disturbance, at the end of
  // this step. Like the drift, they are the telescope wandering without the
  // mount knowing.
  const double x_arcsec = arcsec_per_pixel() > 0 ? arcsec_per_pixel() : 1.0;
  const double t_end = (clock_ms_ + seconds * 1000.0) / 1000.0;
  const double periodic =
      disturbance_.periodic_error(disturbance_.worm_seconds(t_end, ra_axis_arcsec_)) / x_arcsec;
  const double wander_x = periodic - periodic_px_;
  periodic_px_ = periodic;
  const double wander_y = disturbance_.dec_drift(seconds) / x_arcsec;
  dx += wander_x;
  dy += wander_y;
  const double wander_east = drift_east + (config_.east_shifts_stars_left ? -wander_x : wander_x);
  const double wander_north = drift_north + (config_.north_shifts_stars_up ? -wander_y : wander_y);

  const double scale = arcsec_per_pixel() / 3600.0;  // degrees per pixel along x
  const double c = std::max(std::cos(dec_degrees_ * kDegree), 0.01);
  ra_hours_ = std::fmod(ra_hours_ + east * scale / 15.0 / c + 24.0, 24.0);
  dec_degrees_ = std::clamp(dec_degrees_ + north * scale * 8.3 / 8.6, -90.0, 90.0);
  error_east_arcmin_ += wander_east * scale * 60.0;
  error_north_arcmin_ += wander_north * scale * 8.3 / 8.6 * 60.0;
  pointing_x_ += dx;
  pointing_y_ += dy;
  const bool real = sky_ != nullptr && sky_->real_sky();
  if (sky_ != nullptr && !real) sky_->shift_pointing(dx, dy);
  if (sky_ != nullptr && disturbance_.config().clouds > 0)
    sky_->set_transmission(disturbance_.transmission(t_end));

  if (slewing_) {
    const double step = config_.goto_degrees_per_second * seconds;
    double dra = (target_ra_ - ra_hours_) * 15.0;
    if (dra > 180) dra -= 360;
    if (dra < -180) dra += 360;
    const double ddec = target_dec_ - dec_degrees_;
    const double mra = std::clamp(dra, -step, step);
    const double mdec = std::clamp(ddec, -step, step);
    ra_hours_ = std::fmod(ra_hours_ + mra / 15.0 + 24.0, 24.0);
    ra_axis_arcsec_ += mra * 3600.0;
    dec_degrees_ += mdec;
    if (std::fabs(dra - mra) < 1e-9 && std::fabs(ddec - mdec) < 1e-9) {
      ra_hours_ = target_ra_;
      dec_degrees_ = target_dec_;
      slewing_ = false;
    }
  }
  if (focus_direction_ != 0) {
    focus_position_ += focus_direction_ * (focus_fast_ ? 100 : 10) * seconds;
    if (sky_ != nullptr) sky_->set_defocus(defocus_blur());
  }
  if (real) show_sky();
}

void SimMount::next_seeing_frame() {
  if (disturbance_.config().seeing <= 0) return;
  const double scale = arcsec_per_pixel() > 0 ? arcsec_per_pixel() : 1.0;
  const SeeingOffset s = disturbance_.seeing(seeing_frame_++);
  const SeeingOffset px{s.ra / scale, s.dec / scale};
  if (sky_ != nullptr) sky_->shift_pointing(px.ra - seeing_px_.ra, px.dec - seeing_px_.dec);
  seeing_px_ = px;
}

void SimMount::attach_sky(SkyRenderer* sky) {
  sky_ = sky;
  if (sky_ == nullptr) return;
  sky_->set_defocus(defocus_blur());
  sky_->set_real_sky_geometry(config_.real_sky_arcsec_per_pixel, config_.east_shifts_stars_left,
                              config_.north_shifts_stars_up);
  if (sky_->real_sky()) show_sky();
}

double SimMount::arcsec_per_pixel() const {
  return sky_ != nullptr && sky_->real_sky() ? config_.real_sky_arcsec_per_pixel
                                             : config_.arcsec_per_pixel;
}

void SimMount::real_pointing(double& ra, double& dec) const {
  const double c = std::max(std::cos(dec_degrees_ * kDegree), 0.01);
  ra = std::fmod(ra_hours_ + error_east_arcmin_ / 60.0 / 15.0 / c + 24.0, 24.0);
  dec = std::clamp(dec_degrees_ + error_north_arcmin_ / 60.0, -90.0, 90.0);
}

void SimMount::real_pointing_j2000(double& ra, double& dec) const {
  double r, d;
  real_pointing(r, d);
  const SkyPosition j2000 =
      precess_to_j2000({r, d}, julian_date_of_unix(config_.start_unix_time + clock_ms_ / 1000.0));
  ra = j2000.ra_hours;
  dec = j2000.dec_degrees;
}

void SimMount::show_sky() {
  if (sky_ == nullptr || !sky_->real_sky()) return;
  double ra, dec;
  real_pointing_j2000(ra, dec);
  sky_->point_at(ra, dec);
}

void SimMount::told_where() {
  if (sky_ != nullptr && !sky_->real_sky() && sky_->show_real_sky()) show_sky();
}

void SimMount::update_motion() {
  const double backlash[2] = {config_.ra_backlash, config_.dec_backlash};
  const double guide[2] = {config_.guide_rate_ra, config_.guide_rate_dec};
  const double held_rate = rate_ == 'S'   ? config_.slew_rate
                           : rate_ == 'M' ? config_.find_rate
                           : rate_ == 'C' ? config_.centre_rate
                                          : -1;  // guide
  // Control box relays: e 1, n 2, s 4, w 8.
  const bool relay[4] = {(relays_closed_ & 1) != 0, (relays_closed_ & 8) != 0,
                         (relays_closed_ & 2) != 0, (relays_closed_ & 4) != 0};
  for (int a = 0; a < 2; ++a) {
    const int plus = a == RA ? 0 : 2;  // e or n
    const int minus = plus + 1;        // w or s
    const bool held_plus = moving_[plus], held_minus = moving_[minus];
    const bool on_plus = held_plus || pulsing_[plus] || relay[plus];
    const bool on_minus = held_minus || pulsing_[minus] || relay[minus];
    AxisState& axis = axes_[a];
    const int sign = on_plus == on_minus ? 0 : (on_plus ? 1 : -1);
    const bool held = sign > 0 ? held_plus : held_minus;
    axis.rate = (held && held_rate > 0) ? held_rate : guide[a];
    if (sign != 0 && axis.last_sign == 0) {
      // The first move of the run finds the gear engaged its way.
      axis.slack = sign > 0 ? 0 : backlash[a];
    }
    if (sign != 0) axis.last_sign = sign;
    axis.sign = sign;
  }
}

// --- Time and sky ---

double SimMount::sidereal_hours(std::uint32_t now) const {
  const double elapsed = clock_ms_ + static_cast<std::int32_t>(now - last_ms_);
  const double unix_time = config_.start_unix_time + elapsed / 1000.0;
  const double days = (unix_time - 946728000.0) / 86400.0;  // since J2000.0
  double gmst = std::fmod(18.697374558 + 24.06570982441908 * days, 24.0);
  double lst = std::fmod(gmst + config_.longitude / 15.0 + 48.0, 24.0);
  return lst;
}

double SimMount::altitude(double ra, double dec, std::uint32_t now) const {
  const double hour_angle = (sidereal_hours(now) - ra) * 15.0 * kDegree;
  const double lat = config_.latitude * kDegree;
  const double s = std::sin(lat) * std::sin(dec * kDegree) +
                   std::cos(lat) * std::cos(dec * kDegree) * std::cos(hour_angle);
  return std::asin(std::clamp(s, -1.0, 1.0)) / kDegree;
}

// --- The LX200 side ---

void SimMount::take_lx200(char c, std::uint32_t now) {
  if (c == '\x06' && !in_command_) {
    reply("P", now);  // polar (equatorial) alignment
    return;
  }
  if (c == ':' && !in_command_) {
    // Inside a command ':' is part of a time or an angle; '#' ends it.
    in_command_ = true;
    command_.clear();
    return;
  }
  if (c == '#') {
    if (in_command_) {
      in_command_ = false;
      run_command(command_, now);
    }
    return;
  }
  if (!in_command_) return;  // stray bytes between commands
  if (command_.size() >= 64) {
    in_command_ = false;  // no command is this long
    ++garbled_;
    return;
  }
  command_ += c;
}

// What a command sends back; nothing for the commands that do not answer.
using Answer = std::optional<std::string>;

// The handlers of the LX200 commands, each small enough to read at a glance.
// A nested class, so they reach the mount's state without a declaration
// each in the header.
struct SimMount::Lx200Commands {
  using Handler = Answer (*)(SimMount& m, const std::string& cmd, std::uint32_t now);
  enum class Match { Exact, Prefix };
  struct Entry {
    std::string_view text;
    Match match;
    std::string_view fixed;     // the reply when there is no handler
    Handler handler = nullptr;  // the reply is the handler's, when there is one
  };

  static const Entry* find(const std::string& cmd);

  static std::tm site_time(const SimMount& m, std::uint32_t now) {
    const double elapsed = m.clock_ms_ + static_cast<std::int32_t>(now - m.last_ms_);
    const std::time_t t = static_cast<std::time_t>(m.config_.start_unix_time + elapsed / 1000.0);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
  }

  // Like a real LX200, the mount keeps coordinates of its own date: the
  // Julian date of the site clock now.
  static double julian_date(const SimMount& m, std::uint32_t now) {
    const double elapsed = m.clock_ms_ + static_cast<std::int32_t>(now - m.last_ms_);
    return julian_date_of_unix(m.config_.start_unix_time + elapsed / 1000.0);
  }

  static Answer ra(SimMount& m, const std::string&, std::uint32_t) {
    return format_lx200_ra(m.ra_hours_, m.high_precision_) + "#";
  }
  static Answer dec(SimMount& m, const std::string&, std::uint32_t) {
    return format_lx200_dec(m.dec_degrees_, m.high_precision_) + "#";
  }
  static Answer target_ra(SimMount& m, const std::string&, std::uint32_t) {
    return format_lx200_ra(m.target_ra_, m.high_precision_) + "#";
  }
  static Answer target_dec(SimMount& m, const std::string&, std::uint32_t) {
    return format_lx200_dec(m.target_dec_, m.high_precision_) + "#";
  }
  static Answer latitude(SimMount& m, const std::string&, std::uint32_t) {
    return format_lx200_dec(m.config_.latitude, false) + "#";
  }
  static Answer longitude(SimMount& m, const std::string&, std::uint32_t) {
    // West positive, as the LX200 counts longitude.
    const double west = -m.config_.longitude;
    const long minutes = std::lround(std::fabs(west) * 60.0);
    char text[32];
    std::snprintf(text, sizeof text, "%c%03ld*%02ld#", west < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return text;
  }
  static Answer date(SimMount& m, const std::string&, std::uint32_t now) {
    const std::tm tm = site_time(m, now);
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d#", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year % 100);
    return text;
  }
  // GL on the 24-hour clock, Ga on the 12-hour one.
  static Answer time(SimMount& m, const std::string& cmd, std::uint32_t now) {
    const std::tm tm = site_time(m, now);
    const int hour = cmd == "Ga" ? (tm.tm_hour + 11) % 12 + 1 : tm.tm_hour;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d#", hour, tm.tm_min, tm.tm_sec);
    return text;
  }
  static Answer sidereal_time(SimMount& m, const std::string&, std::uint32_t now) {
    return format_lx200_ra(m.sidereal_hours(now), true) + "#";
  }
  static Answer altitude(SimMount& m, const std::string&, std::uint32_t now) {
    return format_lx200_dec(m.altitude(m.ra_hours_, m.dec_degrees_, now), true) + "#";
  }

  // Sr and Sd: a new target, which replaces a selected catalogue object.
  static Answer set_target(SimMount& m, const std::string& cmd, std::uint32_t) {
    double v = 0;
    const bool is_ra = cmd[1] == 'r';
    const bool ok =
        is_ra ? parse_lx200_ra(argument(cmd, 2), v) : parse_lx200_dec(argument(cmd, 2), v);
    if (ok) {
      (is_ra ? m.target_ra_ : m.target_dec_) = v;
      m.target_set_ = true;
      m.selected_set_ = false;
    }
    return ok ? "1" : "0";
  }
  // Site, time, limits: taken and ignored. A lone S is no setting.
  static Answer other_setting(SimMount&, const std::string& cmd, std::uint32_t) {
    return cmd.size() >= 2 ? Answer("1") : std::nullopt;
  }

  static Answer slew(SimMount& m, const std::string&, std::uint32_t now) {
    if (m.selected_set_ && !m.selected_.can_slew) return "1Object Below Horizon#";
    if (m.altitude(m.target_ra_, m.target_dec_, now) < 0) return "1Object Below Horizon#";
    for (bool& held : m.moving_) held = false;
    m.slewing_ = true;
    m.update_motion();
    m.told_where();
    return "0";
  }
  // Me, Mw, Mn, Ms: a held move, which ends a slew.
  static Answer move(SimMount& m, const std::string& cmd, std::uint32_t) {
    m.moving_[direction_index(cmd[1])] = true;
    m.slewing_ = false;
    m.update_motion();
    return std::nullopt;
  }
  // Mg with a direction and a time in milliseconds: a timed pulse.
  static Answer pulse(SimMount& m, const std::string& cmd, std::uint32_t now) {
    const int d = cmd.size() >= 4 ? direction_index(cmd[2]) : -1;
    if (d < 0) return std::nullopt;
    int ms = 0;
    for (std::size_t i = 3; i < cmd.size() && ms < 100000; ++i) {
      if (cmd[i] < '0' || cmd[i] > '9') break;
      ms = ms * 10 + (cmd[i] - '0');
    }
    // A pulse too short to move the gear past its stiction does nothing.
    const double rate = d < 2 ? m.config_.guide_rate_ra : m.config_.guide_rate_dec;
    if (rate * ms / 1000.0 * m.arcsec_per_pixel() < m.config_.disturbance.stiction) ms = 0;
    m.pulsing_[d] = ms > 0;
    m.pulse_end_[d] = now + static_cast<std::uint32_t>(ms);
    m.update_motion();
    return std::nullopt;
  }
  static Answer stop_all(SimMount& m, const std::string&, std::uint32_t) {
    for (int i = 0; i < 4; ++i) m.moving_[i] = m.pulsing_[i] = false;
    m.slewing_ = false;
    m.update_motion();
    return std::nullopt;
  }
  // Qe, Qw, Qn, Qs: the end of a held move.
  static Answer stop(SimMount& m, const std::string& cmd, std::uint32_t) {
    m.moving_[direction_index(cmd[1])] = false;
    m.update_motion();
    return std::nullopt;
  }
  // RS, RM, RC, RG: the rate of held moves.
  static Answer set_rate(SimMount& m, const std::string& cmd, std::uint32_t) {
    m.rate_ = cmd[1];
    m.update_motion();
    return std::nullopt;
  }
  // The mount now believes it points at the target; the telescope stays
  // where it is, so the pointing error becomes the difference.
  static Answer sync(SimMount& m, const std::string&, std::uint32_t) {
    double real_ra, real_dec;
    m.real_pointing(real_ra, real_dec);
    m.ra_hours_ = m.target_ra_;
    m.dec_degrees_ = m.target_dec_;
    double dra = (real_ra - m.ra_hours_) * 15.0;
    if (dra > 180) dra -= 360;
    if (dra < -180) dra += 360;
    m.error_east_arcmin_ = dra * 60.0 * std::max(std::cos(m.dec_degrees_ * kDegree), 0.01);
    m.error_north_arcmin_ = (real_dec - m.dec_degrees_) * 60.0;
    m.told_where();
    return "Coordinates     matched.        #";
  }
  static Answer distance_bars(SimMount& m, const std::string&, std::uint32_t) {
    return m.slewing_ ? "|#" : "#";
  }
  static Answer toggle_precision(SimMount& m, const std::string&, std::uint32_t) {
    if (m.low_precision_held_) return std::nullopt;
    m.high_precision_ = !m.high_precision_;
    return std::nullopt;
  }
  static Answer precision(SimMount& m, const std::string&, std::uint32_t) {
    if (!m.low_precision_held_) m.high_precision_ = !m.high_precision_;
    return m.high_precision_ ? "HIGH PRECISION" : "LOW PRECISION";
  }
  // LM, LS, LC and a number of up to four digits: a catalogue object
  // becomes the target. The catalogue is J2000; the target is of date.
  static Answer select_object(SimMount& m, const std::string& cmd, std::uint32_t now) {
    const Catalogue catalogue = cmd[1] == 'M'   ? Catalogue::Messier
                                : cmd[1] == 'S' ? Catalogue::Star
                                                : Catalogue::Ngc;
    const std::string number = argument(cmd, 2);
    int n = 0;
    bool digits = !number.empty() && number.size() <= 4;
    for (char c : number) {
      if (c < '0' || c > '9')
        digits = false;
      else
        n = n * 10 + (c - '0');
    }
    SkyObject object;
    if (digits && find_sky_object(catalogue, n, object)) {
      m.selected_ = object;
      m.selected_set_ = true;
      const SkyPosition of_date =
          precess_from_j2000({object.ra_hours, object.dec_degrees}, julian_date(m, now));
      m.target_ra_ = of_date.ra_hours;
      m.target_dec_ = of_date.dec_degrees;
      m.target_set_ = true;
    }
    return std::nullopt;
  }
  static Answer object_info(SimMount& m, const std::string&, std::uint32_t) {
    if (m.selected_set_) return object_info_text(m.selected_);
    std::string answer = "TARGET " + format_lx200_ra(m.target_ra_, false) + " " +
                         format_lx200_dec(m.target_dec_, false);
    answer.resize(OBJECT_INFO_LENGTH, ' ');
    return answer;
  }
  // F+ and F-: the focuser runs in or out until FQ.
  static Answer focus_move(SimMount& m, const std::string& cmd, std::uint32_t) {
    m.focus_direction_ = cmd[1] == '+' ? 1 : -1;
    return std::nullopt;
  }
  static Answer focus_stop(SimMount& m, const std::string&, std::uint32_t) {
    m.focus_direction_ = 0;
    return std::nullopt;
  }
  // FF fast, FS slow.
  static Answer focus_speed(SimMount& m, const std::string& cmd, std::uint32_t) {
    m.focus_fast_ = cmd[1] == 'F';
    return std::nullopt;
  }

  // The first entry that matches takes the command, so a longer prefix
  // stands before a shorter one. Commands not listed (alignment, tracking,
  // park and the rest) have no answer.
  static constexpr Match X = Match::Exact;
  static constexpr Match P = Match::Prefix;
  static const Entry kTable[];
};

const SimMount::Lx200Commands::Entry SimMount::Lx200Commands::kTable[] = {
    {"GR", X, {}, ra},
    {"GD", X, {}, dec},
    {"Gr", X, {}, target_ra},
    {"Gd", X, {}, target_dec},
    {"GVP", X, "Tarvex Sim#"},
    {"GVN", X, "1.0#"},
    {"GVD", X, "Jan 15 2024#"},
    {"GVT", X, "20:00:00#"},
    {"GVF", X, "Tarvex simulated LX200#"},
    {"Gt", X, {}, latitude},
    {"Gg", X, {}, longitude},
    {"GC", X, {}, date},
    {"GL", X, {}, time},
    {"Ga", X, {}, time},
    {"GG", X, "+00#"},  // the simulated site keeps universal time
    {"Gc", X, "24#"},
    {"GM", X, "Tarvex#"},
    {"GN", X, "Tarvex#"},
    {"GO", X, "Tarvex#"},
    {"GP", X, "Tarvex#"},
    {"GT", X, "60.1#"},
    {"GS", X, {}, sidereal_time},
    {"GA", X, {}, altitude},
    {"GZ", X, "180*00'00#"},
    {"Sr", P, {}, set_target},
    {"Sd", P, {}, set_target},
    {"SC", P, "1Updating Planetary Data#                                #"},
    {"S", P, {}, other_setting},
    {"MS", X, {}, slew},
    {"MA", X, "0"},
    {"Me", X, {}, move},
    {"Mw", X, {}, move},
    {"Mn", X, {}, move},
    {"Ms", X, {}, move},
    {"Mg", P, {}, pulse},
    {"Q", X, {}, stop_all},
    {"Qe", X, {}, stop},
    {"Qw", X, {}, stop},
    {"Qn", X, {}, stop},
    {"Qs", X, {}, stop},
    {"RS", X, {}, set_rate},
    {"RM", X, {}, set_rate},
    {"RC", X, {}, set_rate},
    {"RG", X, {}, set_rate},
    {"CM", X, {}, sync},
    {"D", X, {}, distance_bars},
    {"U", X, {}, toggle_precision},
    {"P", X, {}, precision},
    {"LM", P, {}, select_object},
    {"LS", P, {}, select_object},
    {"LC", P, {}, select_object},
    {"LI", X, {}, object_info},
    {"F+", X, {}, focus_move},
    {"F-", X, {}, focus_move},
    {"FQ", X, {}, focus_stop},
    {"FF", X, {}, focus_speed},
    {"FS", X, {}, focus_speed},
};

const SimMount::Lx200Commands::Entry* SimMount::Lx200Commands::find(const std::string& cmd) {
  for (const Entry& e : kTable) {
    if (e.match == Match::Exact ? cmd == e.text : cmd.starts_with(e.text)) return &e;
  }
  return nullptr;
}

void SimMount::run_command(const std::string& cmd, std::uint32_t now) {
  const Lx200Commands::Entry* entry = Lx200Commands::find(cmd);
  if (entry == nullptr) return;
  const Answer answer =
      entry->handler != nullptr ? entry->handler(*this, cmd, now) : std::string(entry->fixed);
  if (!answer) return;
  if (behaviour_ == MountBehaviour::Garbage) {
    reply(noise(std::max<std::size_t>(answer->size() * 3, 40) + noise_state_ % 97), now);
  } else {
    reply(*answer, now);
  }
}

// --- The control box side ---

void SimMount::take_box_byte(std::uint8_t b) {
  const ControlBoxByte d = decode_control_box_byte(b);
  switch (d.kind) {
    case ControlBoxByte::Reset:
      relays_closed_ = 0;
      ++box_resets_;
      break;
    case ControlBoxByte::Stop: relays_closed_ = 0; break;
    case ControlBoxByte::Select: break;  // the relays close with the next byte
    case ControlBoxByte::Close: relays_closed_ = d.directions; break;
  }
  update_motion();
}

// --- Replies ---

void SimMount::reply(const std::string& text, std::uint32_t now) {
  const double char_ms = baud_ > 0 ? 10000.0 / baud_ : 1.0;
  const double at = clock_ms_ + static_cast<std::int32_t>(now - last_ms_) + reply_delay_ms_;
  double t = std::max(line_free_ms_, at);
  for (char c : text) {
    if (out_.size() >= MAX_QUEUED) break;
    t += char_ms;
    out_.push_back({c, t});
  }
  line_free_ms_ = t;
}

void SimMount::flush(std::uint32_t /*now*/) {
  char buf[512];
  std::size_t n = 0;
  while (n < out_.size() && n < sizeof buf && out_[n].due_ms <= clock_ms_) {
    buf[n] = out_[n].c;
    ++n;
  }
  if (n == 0) return;
  const ssize_t written = ::write(master_, buf, n);
  if (written > 0) out_.erase(out_.begin(), out_.begin() + written);
}

std::string SimMount::noise(std::size_t length) {
  // Letters, punctuation and high bytes; never a digit or '#', so noise can
  // never pass for an answer.
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz!$%&()*+,-./"
      ";<=>?@[]^_{|}~\x80\xA7\xDF\xFE";
  std::string s;
  for (std::size_t i = 0; i < length; ++i) {
    noise_state_ = noise_state_ * 1103515245u + 12345u;
    s.push_back(kAlphabet[(noise_state_ >> 16) % (sizeof kAlphabet - 1)]);
  }
  return s;
}

}  // namespace tarvex
