#include "app/indi_mount.h"

#include <baseclient.h>
#include <basedevice.h>
#include <indipropertynumber.h>
#include <indipropertyswitch.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/messages.h"
#include "scope/precession.h"
#include "sim/sky_catalogue.h"

namespace tarvex {

namespace {

constexpr const char* kCoordinates = "EQUATORIAL_EOD_COORD";
constexpr const char* kCoordSet = "ON_COORD_SET";
constexpr const char* kAbort = "TELESCOPE_ABORT_MOTION";
constexpr const char* kMotionNs = "TELESCOPE_MOTION_NS";
constexpr const char* kMotionWe = "TELESCOPE_MOTION_WE";
constexpr const char* kSlewRate = "TELESCOPE_SLEW_RATE";
constexpr const char* kGuideNs = "TELESCOPE_TIMED_GUIDE_NS";
constexpr const char* kGuideWe = "TELESCOPE_TIMED_GUIDE_WE";
constexpr const char* kConnection = "CONNECTION";

constexpr int kIndiPort = 7624;

// A position counts as reached when it is within these of the target: the
// simulators and most mounts land on it to the arc second.
constexpr double kReachedRaHours = 2.0 / 3600;
constexpr double kReachedDecDegrees = 30.0 / 3600;

enum class State { Idle, Ok, Busy, Alert };

State state_of(IPState s) {
  switch (s) {
    case IPS_IDLE: return State::Idle;
    case IPS_OK: return State::Ok;
    case IPS_BUSY: return State::Busy;
    case IPS_ALERT: return State::Alert;
  }
  return State::Alert;
}

// One property of the device as last seen: copied on the INDI library's
// thread, read on the program's.
struct PropertyCopy {
  bool defined = false;
  State state = State::Idle;
  std::vector<std::pair<std::string, double>> numbers;
  std::vector<std::pair<std::string, bool>> switches;
  std::uint64_t updates = 0;  // every definition and update counts one

  double number(std::string_view name) const {
    for (const auto& [n, v] : numbers)
      if (n == name) return v;
    return 0;
  }
  bool on(std::string_view name) const {
    for (const auto& [n, v] : switches)
      if (n == name) return v;
    return false;
  }
};

double ra_difference_hours(double a, double b) {
  double d = std::fmod(a - b, 24.0);
  if (d > 12) d -= 24;
  if (d < -12) d += 24;
  return std::fabs(d);
}

bool at_position(const PropertyCopy& eq, double ra, double dec) {
  return ra_difference_hours(eq.number("RA"), ra) <= kReachedRaHours &&
         std::fabs(eq.number("DEC") - dec) <= kReachedDecDegrees;
}

}  // namespace

// The INDI client: the library's own thread calls the overrides below; they
// copy what the mount needs under `mutex` and wake the program's thread.
class IndiClientLink final : public INDI::BaseClient {
 public:
  explicit IndiClientLink(std::string device) : device_(std::move(device)) {}
  ~IndiClientLink() override {
    // Stops the library's thread before the copies go away.
    disconnectServer();
  }

  const std::string& device() const { return device_; }

  std::mutex mutex;
  std::condition_variable changed;
  // Guarded by `mutex`.
  bool server_up = false;
  std::map<std::string, PropertyCopy, std::less<>> properties;
  std::string last_message;

  // The copy of `name`, or an undefined one.
  const PropertyCopy& property(std::string_view name) const {
    static const PropertyCopy kNone;
    const auto it = properties.find(name);
    return it == properties.end() ? kNone : it->second;
  }

  // Sends numbers and switches built here, never the library's own copies,
  // which its thread may be writing at the same moment.
  void send_numbers(const char* name, const std::vector<std::pair<const char*, double>>& values) {
    INDI::PropertyNumber p(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
      p[i].fill(values[i].first, values[i].first, "%g", 0, 0, 0, values[i].second);
    p.setDeviceName(device_.c_str());
    p.setName(name);
    sendNewNumber(p);
  }
  void send_switches(const char* name, const std::vector<std::pair<std::string, bool>>& states) {
    INDI::PropertySwitch p(states.size());
    for (std::size_t i = 0; i < states.size(); ++i)
      p[i].fill(states[i].first.c_str(), states[i].first.c_str(),
                states[i].second ? ISS_ON : ISS_OFF);
    p.setDeviceName(device_.c_str());
    p.setName(name);
    sendNewSwitch(p);
  }

 protected:
  void serverConnected() override {
    std::lock_guard lock(mutex);
    server_up = true;
    changed.notify_all();
  }
  void serverDisconnected(int) override {
    std::lock_guard lock(mutex);
    server_up = false;
    changed.notify_all();
  }
  void newProperty(INDI::Property p) override { copy(p); }
  void updateProperty(INDI::Property p) override { copy(p); }
  void removeProperty(INDI::Property p) override {
    if (!ours(p)) return;
    std::lock_guard lock(mutex);
    properties[p.getName()].defined = false;
    changed.notify_all();
  }
  void newMessage(INDI::BaseDevice device, int id) override {
    if (device_ != device.getDeviceName()) return;
    std::lock_guard lock(mutex);
    last_message = device.messageQueue(static_cast<std::size_t>(id));
    changed.notify_all();
  }

 private:
  bool ours(const INDI::Property& p) const {
    return p.isValid() && p.getDeviceName() != nullptr && device_ == p.getDeviceName();
  }

  void copy(const INDI::Property& p) {
    if (!ours(p)) return;
    PropertyCopy fresh;
    fresh.defined = true;
    if (p.getType() == INDI_NUMBER) {
      const auto* v = p.getNumber();
      if (v == nullptr) return;
      fresh.state = state_of(v->getState());
      for (const auto& n : *v) fresh.numbers.emplace_back(n.getName(), n.getValue());
    } else if (p.getType() == INDI_SWITCH) {
      const auto* v = p.getSwitch();
      if (v == nullptr) return;
      fresh.state = state_of(v->getState());
      for (const auto& s : *v) fresh.switches.emplace_back(s.getName(), s.getState() == ISS_ON);
    } else {
      return;
    }
    std::lock_guard lock(mutex);
    PropertyCopy& kept = properties[p.getName()];
    fresh.updates = kept.updates + 1;
    kept = std::move(fresh);
    changed.notify_all();
  }

  const std::string device_;
};

bool parse_indi_server(std::string_view text, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  const std::string_view name = text.substr(0, colon);
  int p = kIndiPort;
  if (colon != std::string_view::npos) {
    const std::string_view digits = text.substr(colon + 1);
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), p);
    if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size())
      return false;
  }
  if (name.empty() || p < 1 || p > 65535) return false;
  for (char c : name)
    if (c == ' ' || c == '\t' || c == '\n') return false;
  host = name;
  port = p;
  return true;
}

IndiMount::IndiMount(Tarvex& app, IndiMountChoice choice, IndiWaits waits)
    : app_(app), choice_(std::move(choice)), waits_(waits) {}

IndiMount::~IndiMount() = default;

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

SteadyTime after_ms(std::uint32_t ms) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

}  // namespace

// Waits until `met` holds for the copies, the server goes away, the time
// runs out or (when `stoppable`) a stop request arrives. The program's events
// are handled between looks, outside the lock.
template <typename Met>
IndiMount::Wait IndiMount::wait(std::uint32_t ms, bool stoppable, Met met) {
  const SteadyTime deadline = after_ms(ms);
  IndiClientLink& link = *link_;
  for (;;) {
    {
      std::unique_lock lock(link.mutex);
      if (met()) return Wait::Met;
      if (!link.server_up) return Wait::Lost;
      link.changed.wait_for(lock, std::chrono::milliseconds(10));
      if (met()) return Wait::Met;
      if (!link.server_up) return Wait::Lost;
    }
    app_.ports.pump.pump();
    if (stoppable && app_.ports.pump.abort_requested()) return Wait::Stopped;
    if (std::chrono::steady_clock::now() >= deadline) return Wait::TimedOut;
  }
}

ScopeResult IndiMount::failed(Wait why) {
  (void)why;
  show_message(app_.ports.messages, Msg::TelescopeCommsFailed);
  moving_ = false;
  return ScopeResult::NoReply;
}

MountCapabilities IndiMount::capabilities() const {
  MountCapabilities c;
  c.go_to = c.sync = c.read_position = true;
  c.autoguide = true;
  // Typed targets carry whole minutes; positions go as numbers, which INDI
  // carries to far below an arc second.
  c.ra_step_seconds = 60;
  c.dec_step_arcsec = 60;
  c.position_ra_step_seconds = 0.01;
  c.position_dec_step_arcsec = 0.1;
  return c;
}

ScopeResult IndiMount::open() {
  if (link_) {
    std::lock_guard lock(link_->mutex);
    if (link_->server_up && link_->property(kCoordinates).defined) return ScopeResult::Done;
  }
  // A server that went away is connected afresh.
  link_.reset();
  moving_ = false;
  std::string host;
  int port = 0;
  if (choice_.device.empty() || !parse_indi_server(choice_.server, host, port)) {
    show_message(app_.ports.messages, Msg::TelescopeCommsFailed);
    return ScopeResult::LinkFailed;
  }
  link_ = std::make_unique<IndiClientLink>(choice_.device);
  link_->setServer(host.c_str(), static_cast<unsigned>(port));
  link_->setConnectionTimeout(waits_.connect_ms / 1000, (waits_.connect_ms % 1000) * 1000);
  link_->watchDevice(choice_.device.c_str());
  if (!link_->connectServer()) {
    link_.reset();
    show_message(app_.ports.messages, Msg::TelescopeCommsFailed);
    return ScopeResult::LinkFailed;
  }
  {
    std::lock_guard lock(link_->mutex);
    link_->server_up = true;  // connectServer succeeded; a loss clears it
  }
  // The device's connection switch, or its coordinates when it has no such
  // switch (a device another driver already connected).
  Wait w = wait(waits_.define_ms, false, [&] {
    return link_->property(kConnection).defined || link_->property(kCoordinates).defined;
  });
  if (w == Wait::Met && !link_->property(kCoordinates).defined) {
    bool connected = false;
    {
      std::lock_guard lock(link_->mutex);
      connected = link_->property(kConnection).on("CONNECT");
    }
    if (!connected) link_->send_switches(kConnection, {{"CONNECT", true}, {"DISCONNECT", false}});
    w = wait(waits_.define_ms, false, [&] { return link_->property(kCoordinates).defined; });
  }
  if (w != Wait::Met) {
    link_.reset();
    show_message(app_.ports.messages, Msg::TelescopeCommsFailed);
    return ScopeResult::LinkFailed;
  }
  return ScopeResult::Done;
}

Direction IndiMount::swapped(Direction d) const {
  const DriveDirections& swap = app_.settings.drive_directions;
  switch (d) {
    case Direction::East: return swap.east_west_swapped ? Direction::West : Direction::East;
    case Direction::West: return swap.east_west_swapped ? Direction::East : Direction::West;
    case Direction::North: return swap.north_south_swapped ? Direction::South : Direction::North;
    case Direction::South: return swap.north_south_swapped ? Direction::North : Direction::South;
  }
  return d;
}

GotoResult IndiMount::slew_to(double ra, double dec) {
  const ScopeResult opened = open();
  if (opened != ScopeResult::Done) return {opened, 0, {}};
  std::uint64_t seen = 0;
  {
    std::lock_guard lock(link_->mutex);
    seen = link_->property(kCoordinates).updates;
    link_->last_message.clear();
  }
  link_->send_switches(kCoordSet, {{"TRACK", true}, {"SLEW", false}, {"SYNC", false}});
  link_->send_numbers(kCoordinates, {{"RA", ra}, {"DEC", dec}});
  const SteadyTime start = std::chrono::steady_clock::now();
  // The slew starts (the coordinates turn busy), is refused (alert), or was
  // so short that the mount is there already. Updates from before the
  // command still show the old state, so only a busy or alert one counts.
  auto state_now = [&] { return link_->property(kCoordinates).state; };
  Wait w = wait(waits_.reply_ms, true, [&] {
    return link_->property(kCoordinates).updates > seen &&
           (state_now() == State::Busy || state_now() == State::Alert ||
            at_position(link_->property(kCoordinates), ra, dec));
  });
  if (w == Wait::Met && state_now() == State::Busy) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const auto left = static_cast<std::uint32_t>(
        std::max<long long>(0, static_cast<long long>(waits_.slew_ms) - spent.count()));
    w = wait(left, true, [&] { return state_now() != State::Busy; });
  }
  if (w == Wait::Stopped) {
    abort();
    return {ScopeResult::Done, 0, {}};
  }
  if (w != Wait::Met) {
    if (w == Wait::TimedOut && link_) link_->send_switches(kAbort, {{"ABORT", true}});
    return {failed(w), 0, {}};
  }
  std::lock_guard lock(link_->mutex);
  if (state_now() == State::Alert) return {ScopeResult::Refused, 0, link_->last_message};
  return {ScopeResult::Done, 0, {}};
}

ScopeResult IndiMount::sync_to(double ra, double dec) {
  const ScopeResult opened = open();
  if (opened != ScopeResult::Done) return opened;
  std::uint64_t seen = 0;
  {
    std::lock_guard lock(link_->mutex);
    seen = link_->property(kCoordinates).updates;
  }
  link_->send_switches(kCoordSet, {{"TRACK", false}, {"SLEW", false}, {"SYNC", true}});
  link_->send_numbers(kCoordinates, {{"RA", ra}, {"DEC", dec}});
  const Wait w = wait(waits_.reply_ms, false, [&] {
    return link_->property(kCoordinates).updates > seen &&
           (link_->property(kCoordinates).state == State::Alert ||
            at_position(link_->property(kCoordinates), ra, dec));
  });
  // Back to go-tos for the next coordinates any client sends.
  link_->send_switches(kCoordSet, {{"TRACK", true}, {"SLEW", false}, {"SYNC", false}});
  if (w != Wait::Met) return failed(w);
  std::lock_guard lock(link_->mutex);
  return link_->property(kCoordinates).state == State::Alert ? ScopeResult::Refused
                                                             : ScopeResult::Done;
}

namespace {

double typed_ra(const Coordinates& c) {
  return c.ra_hours + c.ra_minutes / 60.0;
}

double typed_dec(const Coordinates& c) {
  const double d = c.dec_degrees + c.dec_minutes / 60.0;
  return c.dec_negative ? -d : d;
}

}  // namespace

GotoResult IndiMount::goto_coordinates(const Coordinates& target) {
  return slew_to(typed_ra(target), typed_dec(target));
}

GotoResult IndiMount::goto_position(const MountPosition& target) {
  return slew_to(target.ra_hours, target.dec_degrees);
}

// The catalogue gives J2000 positions; the mount takes them as of date.
GotoResult IndiMount::goto_object(Catalogue catalogue, int number) {
  SkyObject object;
  if (!find_sky_object(catalogue, number, object)) return {ScopeResult::OutOfRange, 0, {}};
  object_info_ = object_info_text(object);
  if (!object.can_slew) return {ScopeResult::Refused, 0, "Object below horizon"};
  const SkyPosition of_date =
      precess_from_j2000({object.ra_hours, object.dec_degrees},
                         julian_date_of_unix(static_cast<double>(app_.ports.clock.wall_time())));
  return slew_to(of_date.ra_hours, of_date.dec_degrees);
}

ScopeResult IndiMount::sync(const Coordinates& target) {
  return sync_to(typed_ra(target), typed_dec(target));
}

ScopeResult IndiMount::sync_position(const MountPosition& target) {
  return sync_to(target.ra_hours, target.dec_degrees);
}

ScopeResult IndiMount::abort() {
  moving_ = false;
  // Nothing moves on a server that was never reached.
  if (!link_) return ScopeResult::Done;
  std::uint64_t seen = 0;
  {
    std::lock_guard lock(link_->mutex);
    if (!link_->server_up) return failed(Wait::Lost);
    seen = link_->property(kAbort).updates;
  }
  link_->send_switches(kAbort, {{"ABORT", true}});
  const Wait w =
      wait(waits_.reply_ms, false, [&] { return link_->property(kAbort).updates > seen; });
  return w == Wait::Met ? ScopeResult::Done : failed(w);
}

namespace {

// The slew rate switch named by the move rate: the device lists its rates
// from slowest to fastest, however many it has.
std::size_t rate_index(MoveRate rate, std::size_t count) {
  if (count == 0) return 0;
  switch (rate) {
    case MoveRate::Guide: return 0;
    case MoveRate::Centre: return std::min<std::size_t>(1, count - 1);
    case MoveRate::Find: return count >= 3 ? count - 2 : count - 1;
    case MoveRate::Slew: return count - 1;
  }
  return 0;
}

bool north_south(Direction d) {
  return d == Direction::North || d == Direction::South;
}

}  // namespace

ScopeResult IndiMount::move(Direction direction) {
  if (moving_) return ScopeResult::Ignored;
  const ScopeResult opened = open();
  if (opened != ScopeResult::Done) return opened;
  const Direction d = swapped(direction);
  const char* name = north_south(d) ? kMotionNs : kMotionWe;
  std::vector<std::pair<std::string, bool>> rates;
  std::uint64_t seen = 0;
  {
    std::lock_guard lock(link_->mutex);
    const PropertyCopy& r = link_->property(kSlewRate);
    if (r.defined) {
      const std::size_t on = rate_index(rate_, r.switches.size());
      for (std::size_t i = 0; i < r.switches.size(); ++i)
        rates.emplace_back(r.switches[i].first, i == on);
    }
    seen = link_->property(name).updates;
  }
  if (!rates.empty()) link_->send_switches(kSlewRate, rates);
  if (north_south(d))
    link_->send_switches(
        name, {{"MOTION_NORTH", d == Direction::North}, {"MOTION_SOUTH", d == Direction::South}});
  else
    link_->send_switches(
        name, {{"MOTION_WEST", d == Direction::West}, {"MOTION_EAST", d == Direction::East}});
  const Wait w = wait(waits_.reply_ms, false, [&] { return link_->property(name).updates > seen; });
  if (w != Wait::Met) return failed(w);
  std::lock_guard lock(link_->mutex);
  if (link_->property(name).state == State::Alert) return ScopeResult::Refused;
  moving_ = true;
  moving_direction_ = d;
  return ScopeResult::Done;
}

ScopeResult IndiMount::stop() {
  if (!moving_ || !link_) {
    moving_ = false;
    return ScopeResult::Done;
  }
  moving_ = false;
  const char* name = north_south(moving_direction_) ? kMotionNs : kMotionWe;
  std::uint64_t seen = 0;
  {
    std::lock_guard lock(link_->mutex);
    if (!link_->server_up) return failed(Wait::Lost);
    seen = link_->property(name).updates;
  }
  if (north_south(moving_direction_))
    link_->send_switches(name, {{"MOTION_NORTH", false}, {"MOTION_SOUTH", false}});
  else
    link_->send_switches(name, {{"MOTION_WEST", false}, {"MOTION_EAST", false}});
  const Wait w = wait(waits_.reply_ms, false, [&] { return link_->property(name).updates > seen; });
  return w == Wait::Met ? ScopeResult::Done : failed(w);
}

ScopeResult IndiMount::pulse(Direction direction, std::uint32_t ms, PulseEnd end) {
  const ScopeResult opened = open();
  if (opened != ScopeResult::Done) return opened;
  const Direction d = swapped(direction);
  const bool ns = north_south(d);
  const char* name = ns ? kGuideNs : kGuideWe;
  std::uint64_t seen = 0;
  {
    std::lock_guard lock(link_->mutex);
    if (!link_->property(name).defined) return ScopeResult::Unsupported;
    seen = link_->property(name).updates;
  }
  const double length = static_cast<double>(ms);
  if (ns)
    link_->send_numbers(name, {{"TIMED_GUIDE_N", d == Direction::North ? length : 0},
                               {"TIMED_GUIDE_S", d == Direction::South ? length : 0}});
  else
    link_->send_numbers(name, {{"TIMED_GUIDE_W", d == Direction::West ? length : 0},
                               {"TIMED_GUIDE_E", d == Direction::East ? length : 0}});
  // The acknowledgement: the property's first update after the command.
  Wait w = wait(waits_.reply_ms, false, [&] { return link_->property(name).updates > seen; });
  if (w != Wait::Met) return failed(w);
  {
    std::lock_guard lock(link_->mutex);
    if (link_->property(name).state == State::Alert) return ScopeResult::Refused;
  }
  ++pulses_acknowledged_;
  // Then its end: the property leaves busy once the mount timed it out. A
  // stop request ends the wait; the mount ends the pulse at its time.
  w = wait(ms + waits_.reply_ms, end == PulseEnd::OnStop,
           [&] { return link_->property(name).state != State::Busy; });
  if (w == Wait::Stopped) return ScopeResult::Done;
  return w == Wait::Met ? ScopeResult::Done : failed(w);
}

ScopeResult IndiMount::read_position(MountPosition& out) {
  const ScopeResult opened = open();
  if (opened != ScopeResult::Done) return opened;
  std::lock_guard lock(link_->mutex);
  const PropertyCopy& eq = link_->property(kCoordinates);
  out.ra_hours = eq.number("RA");
  out.dec_degrees = eq.number("DEC");
  return ScopeResult::Done;
}

// INDI mounts describe no current object; the one last gone to stays.
ScopeResult IndiMount::read_object_info() {
  return open();
}

}  // namespace tarvex
