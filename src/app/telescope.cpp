#include "app/telescope.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <utility>

#include "app/mounts.h"
#include "platform/messages.h"
#include "scope/control_box.h"
#include "scope/serial_link.h"

namespace tarvex {

namespace {

constexpr Msg kLinkNotOpened = Msg::TelescopeLinkNotOpened;
constexpr Msg kNoAnswer = Msg::TelescopeCommsFailed;
constexpr const char* kOpenFailed = "Open Communications Failed";

// Waits until clock time t. Waits longer than a few milliseconds handle the
// windows' events meanwhile, so the program stays alive while the mount is
// waited on; never in the last of them, so a repaint cannot hold a timed
// pulse open much beyond its end.
constexpr std::int32_t kPumpMarginMs = 20;
// The last milliseconds of a wait are spun on the clock; before them the
// wait sleeps a millisecond at a time. A program that sleeps is scheduled
// again promptly when it wakes, where one that spins all along is the first
// to lose the processor to other work and can then miss a pulse's end by
// many milliseconds.
constexpr std::int32_t kSpinMs = 3;

void wait_until(Tarvex& app, std::uint32_t t) {
  Clock& clock = app.ports.clock;
  for (;;) {
    const auto left = static_cast<std::int32_t>(t - clock.now_ms());
    if (left <= 0) return;
    if (left > kPumpMarginMs) app.ports.pump.pump();
    if (left > kSpinMs) clock.sleep_ms(1);
  }
}

// Waits until `ms` milliseconds after now.
void wait_for(Tarvex& app, std::uint32_t ms) {
  wait_until(app, app.ports.clock.now_ms() + ms);
}

// wait_for that ends early at a stop request. The events are handled as in
// wait_until, and the request is looked at after each pass. True when the
// whole time passed.
bool wait_unless_stopped(Tarvex& app, std::uint32_t ms) {
  Clock& clock = app.ports.clock;
  EventPump& pump = app.ports.pump;
  const std::uint32_t t = clock.now_ms() + ms;
  for (;;) {
    const auto left = static_cast<std::int32_t>(t - clock.now_ms());
    if (left <= 0) return true;
    if (left > kPumpMarginMs) pump.pump();
    if (pump.abort_requested()) return false;
    if (left > kSpinMs) clock.sleep_ms(1);
  }
}

// The length of a pulse, cut short by a stop request when asked to.
void pulse_wait(Tarvex& app, std::uint32_t ms, PulseEnd end) {
  if (end == PulseEnd::OnStop)
    wait_unless_stopped(app, ms);
  else
    wait_for(app, ms);
}

ScopeResult session_result(const SerialSession& s) {
  return s.ok() ? ScopeResult::Done : ScopeResult::SerialError;
}

// Sets the four direction letters from the settings, which the swap options
// change at any time.
void sync_letters(Tarvex& app) {
  DirectionBlock& block = app.telescope.directions;
  const char port_digit = block.port_digit();
  sync_direction_block(block, app.settings.drive_directions, com_port(app));
  block.port_digit() = port_digit;
}

bool open_link_port(Tarvex& app) {
  DirectionBlock& block = app.telescope.directions;
  sync_direction_block(block, app.settings.drive_directions, com_port(app));
  app.telescope.port_for_box = link_type(app) == LinkType::ControlBox;
  if (app.telescope.port_for_box) return open_control_box(app);
  if (!open_lx200(app)) {
    app.telescope.lx200_failed = true;
    show_message(app.ports.messages, kLinkNotOpened);
    return false;
  }
  app.telescope.lx200_failed = false;
  return true;
}

bool ready(Tarvex& app) {
  return ensure_link_open(app) == ScopeResult::Done;
}

}  // namespace

LinkType link_type(const Tarvex& app) {
  if (indi_choice(app)) return LinkType::Indi;
  if (app.telescope.lx200_failed) return LinkType::None;
  return app.telescope.link_type_override.value_or(app.settings.telescope_type);
}

int com_port(const Tarvex& app) {
  const int n = app.telescope.com_port_override.value_or(app.settings.com_port);
  return (n >= 1 && n <= 5) ? n : 5;
}

ScopeResult ensure_link_open(Tarvex& app, Msg reload_failure) {
  // An INDI mount is reached over the network, not the serial port.
  if (link_type(app) == LinkType::Indi) return current_mount(app).open();
  SerialLink& link = app.telescope;
  if (!link.link_open) {
    if (settings_load_failed(
            load_settings(app.paths.settings_file(), app.settings, app.fits, app.ports.messages))) {
      show_message(app.ports.messages, reload_failure);
      save_settings(app.paths.settings_file(), app.settings, app.fits);
    }
    // The reload brings back the link type the astronomer chose.
    link.lx200_failed = false;
    // A control box that could not be opened still counts as a link, as the
    // guided exposure expects; the next operation tries the port again.
    if (!open_link_port(app) && link_type(app) != LinkType::ControlBox)
      return ScopeResult::LinkFailed;
    link.link_open = true;
  } else {
    const char wanted = static_cast<char>('0' + com_port(app));
    if (link.port_open && (link.directions.port_digit() != wanted ||
                           link.port_for_box != (link_type(app) == LinkType::ControlBox))) {
      // The port or the kind of link changed in the defaults: leave the old
      // port, or its line settings, for the new ones.
      SerialSession(link, app.ports.messages).close();
    }
    if (!link.port_open && !open_link_port(app)) return ScopeResult::LinkFailed;
  }
  sync_letters(app);
  app.settings.controlbox_present = true;
  return link.port_open ? ScopeResult::Done : ScopeResult::LinkFailed;
}

bool open_lx200(Tarvex& app) {
  SerialSession s(app.telescope, app.ports.messages);
  s.reset();
  s.baud(BAUD_9600);
  s.dtr(LINE_SET);
  s.rts(LINE_SET);
  if (!s.ok()) return false;
  if (s.parms(PARITY_NONE, STOP_BITS_ONE, 8) < 0) {
    show_message(app.ports.messages, Msg::CallerText, kOpenFailed);
    s.close();
    return false;
  }
  return true;
}

bool open_control_box(Tarvex& app) {
  SerialSession s(app.telescope, app.ports.messages);
  s.reset();
  s.baud(BAUD_300);
  if (!s.ok()) return false;
  if (s.parms(PARITY_NONE, STOP_BITS_ONE, 8) < 0) {
    show_message(app.ports.messages, Msg::CallerText, kOpenFailed);
    s.close();
    return false;
  }
  app.settings.controlbox_present = true;
  return true;
}

namespace {

ScopeResult timed_pulse(Tarvex& app, PulseEnd end) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialLink& link = app.telescope;
  Clock& clock = app.ports.clock;
  SerialSession s(link, app.ports.messages);
  const char letter = link.directions.current_move();
  if (link_type(app) == LinkType::Lx200) {
    const std::uint32_t start = clock.now_ms();
    if (s.puts(LX200_RATE_GUIDE)) {
      wait_until(app, start + 20);
      if (s.puts(lx200_move(letter))) {
        pulse_wait(app, link.pulse_ms, end);
        s.puts(lx200_stop(letter));
      }
    }
  } else {
    const std::uint8_t bits = control_box_bits(letter);
    if (s.putc(bits)) {
      wait_for(app, 1);
      if (s.putc(static_cast<std::uint8_t>(bits + CONTROL_BOX_CLOSE))) {
        pulse_wait(app, link.pulse_ms, end);
        s.putc(CONTROL_BOX_STOP);
      }
    }
  }
  if (!s.ok()) return ScopeResult::SerialError;
  wait_for(app, 4);
  return ScopeResult::Done;
}

}  // namespace

ScopeResult guide_pulse(Tarvex& app) {
  return timed_pulse(app, PulseEnd::Timed);
}

ScopeResult guide_pulse(Tarvex& app, Direction direction, std::uint32_t ms, PulseEnd end) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  app.telescope.directions.current_move() = app.telescope.directions.letter(direction);
  app.telescope.pulse_ms = ms;
  return timed_pulse(app, end);
}

void set_move_rate(Tarvex& app, MoveRate rate) {
  switch (rate) {
    case MoveRate::Slew: app.telescope.rate_command = LX200_RATE_SLEW; break;
    case MoveRate::Find: app.telescope.rate_command = LX200_RATE_FIND; break;
    case MoveRate::Centre: app.telescope.rate_command = LX200_RATE_CENTRE; break;
    case MoveRate::Guide: app.telescope.rate_command = LX200_RATE_GUIDE; break;
  }
}

void set_focus_speed(Tarvex& app, bool fast) {
  app.telescope.focus_speed = fast ? LX200_FOCUS_FAST : LX200_FOCUS_SLOW;
}

ScopeResult press_lx200_move(Tarvex& app, Direction direction) {
  SerialLink& link = app.telescope;
  if (link.move_running) return ScopeResult::Ignored;
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(link, app.ports.messages);
  s.rx_clear();
  s.puts(link.rate_command);
  s.rx_clear();
  s.puts(lx200_move(link.directions.letter(direction)));
  link.move_running = s.ok();
  return session_result(s);
}

ScopeResult release_lx200_move(Tarvex& app) {
  SerialLink& link = app.telescope;
  link.move_running = false;
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(link, app.ports.messages);
  for (const char* stop : LX200_STOP_ALL) s.puts(stop);
  return session_result(s);
}

ScopeResult press_box_move(Tarvex& app, Direction direction) {
  SerialLink& link = app.telescope;
  if (link.move_running) return ScopeResult::Ignored;
  if (!ready(app)) return ScopeResult::LinkFailed;
  link.directions.current_move() = link.directions.letter(direction);
  const std::uint8_t bits = control_box_bits(link.directions.current_move());
  SerialSession s(link, app.ports.messages);
  if (s.putc(bits)) {
    wait_for(app, 1);
    s.putc(static_cast<std::uint8_t>(bits + CONTROL_BOX_CLOSE));
  }
  link.move_running = s.ok();
  return session_result(s);
}

ScopeResult release_box_move(Tarvex& app) {
  SerialLink& link = app.telescope;
  link.move_running = false;
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(link, app.ports.messages);
  s.putc(CONTROL_BOX_STOP);
  return session_result(s);
}

ScopeResult press_move(Tarvex& app, Direction direction) {
  return link_type(app) == LinkType::ControlBox ? press_box_move(app, direction)
                                                : press_lx200_move(app, direction);
}

ScopeResult release_move(Tarvex& app) {
  return link_type(app) == LinkType::ControlBox ? release_box_move(app) : release_lx200_move(app);
}

ScopeResult press_focus(Tarvex& app, bool inward) {
  SerialLink& link = app.telescope;
  if (link.focus_running) return ScopeResult::Ignored;
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(link, app.ports.messages);
  s.rx_clear();
  s.puts(link.focus_speed);
  s.rx_clear();
  s.puts(inward ? LX200_FOCUS_IN : LX200_FOCUS_OUT);
  link.focus_running = s.ok();
  return session_result(s);
}

ScopeResult release_focus(Tarvex& app) {
  SerialLink& link = app.telescope;
  link.focus_running = false;
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(link, app.ports.messages);
  s.rx_clear();
  s.puts(LX200_FOCUS_STOP);
  return session_result(s);
}

namespace {

// Sends ":LI#", waits 200 ms and reads the answer; an answer longer than 33
// characters is read again and the rest discarded. True when anything came.
bool fetch_object_info(Tarvex& app, SerialSession& s) {
  SerialLink& link = app.telescope;
  link.object_info.clear();
  if (!s.puts(LX200_OBJECT_INFO)) return false;
  wait_for(app, 200);
  link.object_info = s.gets(static_cast<int>(OBJECT_INFO_LENGTH));
  const std::string more = s.gets(1);
  // A '#' straight after a full text is its closing one, not more text.
  if (!more.empty() && more != "#") {
    link.object_info = s.gets(static_cast<int>(OBJECT_INFO_LENGTH));
    s.rx_clear();
  }
  return !link.object_info.empty();
}

std::string without_terminator(std::string text) {
  const std::size_t end = text.find('#');
  if (end != std::string::npos) text.resize(end);
  return text;
}

// The end of both go-to forms, after ":MS#": the object text the mount sent
// for ":LI#", the reply to the slew, and on a refusal the mount's reason.
// Then the object information is read again.
GotoResult finish_goto(Tarvex& app, SerialSession& s) {
  SerialLink& link = app.telescope;
  GotoResult result;
  // The object text ends at its closing '#' when it has one, so the reply
  // that follows is never taken into it.
  link.object_info = s.gets_through(static_cast<int>(OBJECT_INFO_LENGTH), '#');
  // The reply to the slew is an answer of its own: the mount may send it
  // well after the object text (a mount computing the slew, an adapter
  // handing bytes on in chunks), so it gets the wait of any reply, not the
  // gap between the characters of one. A mount that said nothing at all is
  // not waited on twice.
  std::string reply;
  if (!link.object_info.empty()) {
    s.expect_reply();
    reply = s.gets(1);
    // The closing '#' of a text that filled all its characters.
    if (reply == "#" && link.object_info.find('#') == std::string::npos) {
      s.expect_reply();
      reply = s.gets(1);
    }
  }
  if (!s.ok()) {
    result.status = ScopeResult::SerialError;
    return result;
  }
  if (reply.empty()) {
    show_message(app.ports.messages, kNoAnswer);
    result.status = ScopeResult::NoReply;
    return result;
  }
  result.reply = reply[0];
  if (result.reply != '0') {
    result.reason = without_terminator(s.gets(static_cast<int>(OBJECT_INFO_LENGTH)));
    s.rx_clear();
  }
  fetch_object_info(app, s);
  if (!s.ok()) {
    result.status = ScopeResult::SerialError;
  } else if (result.reply == '0') {
    result.status = ScopeResult::Done;
  } else if (result.reply == '1' || result.reply == '2') {
    result.status = ScopeResult::Refused;
  } else {
    // Not an LX200's answer to a slew.
    show_message(app.ports.messages, kNoAnswer);
    result.status = ScopeResult::NoReply;
  }
  return result;
}

void beep_and_slew(Tarvex& app, SerialSession& s) {
  wait_for(app, 1);
  app.ports.clock.beep();
  s.puts(LX200_SLEW);
  wait_for(app, 1);
}

// Both go-to forms: the link made ready and the last object text forgotten,
// then `aim` tells the mount where to go (Done, or why not, with the
// mount's reason); the slew follows, and its reply and the new object text
// are read.
GotoResult go_to(Tarvex& app,
                 const std::function<ScopeResult(SerialSession&, std::string& reason)>& aim) {
  GotoResult result;
  if (!ready(app)) {
    result.status = ScopeResult::LinkFailed;
    return result;
  }
  app.telescope.object_info.clear();
  SerialSession s(app.telescope, app.ports.messages);
  result.status = aim(s, result.reason);
  if (result.status != ScopeResult::Done) return result;
  beep_and_slew(app, s);
  if (!s.ok()) {
    result.status = ScopeResult::SerialError;
    return result;
  }
  return finish_goto(app, s);
}

}  // namespace

GotoResult goto_object(Tarvex& app, Catalogue catalogue, int number) {
  const std::string select = lx200_select_object(catalogue, number);
  if (select.empty()) {
    GotoResult result;
    result.status = ScopeResult::OutOfRange;
    return result;
  }
  const GotoResult result = go_to(app, [&](SerialSession& s, std::string&) {
    s.rx_clear();
    if (s.puts(select)) s.puts(LX200_OBJECT_INFO);
    return s.ok() ? ScopeResult::Done : ScopeResult::SerialError;
  });
  if (result.status == ScopeResult::Done)
    app.goto_target_name = catalogue_target_name(catalogue, number);
  return result;
}

std::string catalogue_target_name(Catalogue catalogue, int number) {
  static constexpr const char* kPlanets[] = {"Mercury", "Venus",  "",        "Mars", "Jupiter",
                                             "Saturn",  "Uranus", "Neptune", "Pluto"};
  if (catalogue == Catalogue::Star && number >= 901 && number <= 909 &&
      kPlanets[number - 901][0] != 0)
    return kPlanets[number - 901];
  // Appended rather than concatenated: GCC 12 warns falsely on "M" + text.
  std::string name = catalogue == Catalogue::Messier ? "M"
                     : catalogue == Catalogue::Ngc   ? "NGC "
                                                     : "Star ";
  name.append(std::to_string(number));
  return name;
}

namespace {

ScopeResult take_target_acks(Tarvex& app, SerialSession& s, std::string& reason);

// Sets the target coordinates, each text closed by the next one's leading
// '#', and takes the mount's two acknowledgements ('1' taken, '0' refused)
// ahead of anything else the mount sends: Done when both are '1'.
ScopeResult set_target(Tarvex& app, SerialSession& s, const Coordinates& target,
                       std::string_view closing, std::string& reason) {
  s.rx_clear();
  s.puts(lx200_target_ra(target.ra_hours, target.ra_minutes));
  s.puts(lx200_target_dec(target.dec_negative, target.dec_degrees, target.dec_minutes));
  s.puts(closing);
  return take_target_acks(app, s, reason);
}

// A position as the target, in the precision given; closed as above.
ScopeResult set_position(Tarvex& app, SerialSession& s, const MountPosition& target,
                         bool high_precision, std::string_view closing, std::string& reason) {
  s.rx_clear();
  s.puts(lx200_position_ra(target.ra_hours, high_precision));
  s.puts(lx200_position_dec(target.dec_degrees, high_precision));
  s.puts(closing);
  return take_target_acks(app, s, reason);
}

ScopeResult take_target_acks(Tarvex& app, SerialSession& s, std::string& reason) {
  const std::string acks = s.gets(2);
  if (!s.ok()) return ScopeResult::SerialError;
  if (acks.size() < 2 || (acks[0] != '0' && acks[0] != '1') || (acks[1] != '0' && acks[1] != '1')) {
    show_message(app.ports.messages, kNoAnswer);
    return ScopeResult::NoReply;
  }
  if (acks != "11") {
    s.rx_clear();
    reason = acks[0] != '1' ? "right ascension refused" : "declination refused";
    return ScopeResult::Refused;
  }
  return ScopeResult::Done;
}

// Sends `command` and reads its answer up to and without the closing '#'.
std::string ask(SerialSession& s, std::string_view command) {
  s.rx_clear();
  if (!s.puts(command)) return {};
  return without_terminator(s.gets_through(static_cast<int>(OBJECT_INFO_LENGTH), '#'));
}

}  // namespace

GotoResult goto_coordinates(Tarvex& app, const Coordinates& target) {
  // Taken before the slew, the acknowledgements can neither shift the reply
  // to the slew nor let a refused target start a slew to the old one.
  const GotoResult result = go_to(app, [&](SerialSession& s, std::string& reason) {
    return set_target(app, s, target, LX200_OBJECT_INFO, reason);
  });
  // A position typed in names no object.
  if (result.status == ScopeResult::Done) app.goto_target_name.clear();
  return result;
}

ScopeResult read_object_info(Tarvex& app) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(app.telescope, app.ports.messages);
  const bool heard = fetch_object_info(app, s);
  if (!s.ok()) return ScopeResult::SerialError;
  if (!heard) {
    show_message(app.ports.messages, kNoAnswer);
    return ScopeResult::NoReply;
  }
  return ScopeResult::Done;
}

ScopeResult sync_coordinates(Tarvex& app, const Coordinates& target) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(app.telescope, app.ports.messages);
  // A lone '#' closes the declination text, so that ":CM#" goes only once
  // both coordinates were taken.
  std::string reason;
  const ScopeResult set = set_target(app, s, target, "#", reason);
  if (set != ScopeResult::Done) return set;
  const std::string answer = ask(s, LX200_SYNC);
  if (!s.ok()) return ScopeResult::SerialError;
  if (answer.empty()) {
    show_message(app.ports.messages, kNoAnswer);
    return ScopeResult::NoReply;
  }
  return ScopeResult::Done;
}

namespace {

// The mount in its high precision for one exchange: the precision is read
// from the ":GR#" answer, a mount in low precision is sent ":U#" and asked
// again. `switched` says whether the mount must be switched back afterwards.
ScopeResult enter_high_precision(Tarvex& app, SerialSession& s, bool& high, bool& switched) {
  switched = false;
  bool recognised = false;
  high = lx200_answer_is_high_precision(ask(s, LX200_GET_RA), recognised);
  if (!s.ok()) return ScopeResult::SerialError;
  if (recognised && !high) {
    s.puts(LX200_TOGGLE_PRECISION);
    high = lx200_answer_is_high_precision(ask(s, LX200_GET_RA), recognised);
    if (!s.ok()) return ScopeResult::SerialError;
    // A mount that ignored the switch is left as it was.
    switched = high;
  }
  if (!recognised) {
    show_message(app.ports.messages, kNoAnswer);
    return ScopeResult::NoReply;
  }
  return ScopeResult::Done;
}

void leave_high_precision(SerialSession& s, bool switched) {
  if (switched && s.ok()) s.puts(LX200_TOGGLE_PRECISION);
}

}  // namespace

GotoResult goto_position(Tarvex& app, const MountPosition& target, bool& high_precision) {
  bool switched = false;
  GotoResult result = go_to(app, [&](SerialSession& s, std::string& reason) {
    const ScopeResult entered = enter_high_precision(app, s, high_precision, switched);
    if (entered != ScopeResult::Done) return entered;
    const ScopeResult set = set_position(app, s, target, high_precision, LX200_OBJECT_INFO, reason);
    // A refused target starts no slew: the precision goes back at once.
    if (set != ScopeResult::Done) leave_high_precision(s, std::exchange(switched, false));
    return set;
  });
  const bool link_kept =
      result.status != ScopeResult::SerialError && result.status != ScopeResult::LinkFailed;
  if (switched && link_kept && ready(app)) {
    SerialSession s(app.telescope, app.ports.messages);
    leave_high_precision(s, true);
    if (!s.ok() && result.status == ScopeResult::Done) result.status = ScopeResult::SerialError;
  }
  return result;
}

ScopeResult sync_position(Tarvex& app, const MountPosition& target, bool& high_precision) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(app.telescope, app.ports.messages);
  bool switched = false;
  ScopeResult result = enter_high_precision(app, s, high_precision, switched);
  if (result == ScopeResult::Done) {
    std::string reason;
    result = set_position(app, s, target, high_precision, "", reason);
  }
  if (result == ScopeResult::Done) {
    const std::string answer = ask(s, LX200_SYNC);
    if (!s.ok()) {
      result = ScopeResult::SerialError;
    } else if (answer.empty()) {
      show_message(app.ports.messages, kNoAnswer);
      result = ScopeResult::NoReply;
    }
  }
  leave_high_precision(s, switched);
  if (!s.ok()) return ScopeResult::SerialError;
  return result;
}

ScopeResult read_position(Tarvex& app, MountPosition& out) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(app.telescope, app.ports.messages);
  const std::string ra = ask(s, LX200_GET_RA);
  const std::string dec = ask(s, LX200_GET_DEC);
  if (!s.ok()) return ScopeResult::SerialError;
  MountPosition p;
  if (!parse_lx200_ra(ra, p.ra_hours) || !parse_lx200_dec(dec, p.dec_degrees)) {
    show_message(app.ports.messages, kNoAnswer);
    return ScopeResult::NoReply;
  }
  out = p;
  return ScopeResult::Done;
}

ScopeResult read_site(Tarvex& app, double& latitude, double& longitude_east) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(app.telescope, app.ports.messages);
  const std::string lat = ask(s, LX200_GET_LATITUDE);
  const std::string lon = ask(s, LX200_GET_LONGITUDE);
  if (!s.ok()) return ScopeResult::SerialError;
  double north = 0, east = 0;
  if (!parse_lx200_dec(lat, north) || !parse_lx200_longitude(lon, east)) {
    show_message(app.ports.messages, kNoAnswer);
    return ScopeResult::NoReply;
  }
  latitude = north;
  longitude_east = east;
  return ScopeResult::Done;
}

ScopeResult abort_lx200(Tarvex& app) {
  app.telescope.move_running = false;
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(app.telescope, app.ports.messages);
  s.puts(LX200_HALT);
  return session_result(s);
}

ScopeResult reset_control_box(Tarvex& app) {
  if (!ready(app)) return ScopeResult::LinkFailed;
  SerialSession s(app.telescope, app.ports.messages);
  s.rx_clear();
  s.rts(LINE_CLEAR);
  s.dtr(LINE_CLEAR);
  if (s.ok()) wait_for(app, 200);
  s.rts(LINE_SET);
  s.dtr(LINE_SET);
  if (s.ok()) wait_for(app, 300);
  for (std::uint8_t b : CONTROL_BOX_RESET_BYTES) s.putc(b);
  return session_result(s);
}

bool messier_in_range(int number) {
  return number >= 1 && number <= 110;
}

bool ngc_in_range(int number) {
  return number >= 1 && number <= 7815;
}

bool coordinates_in_range(const Coordinates& t) {
  return t.ra_hours >= 0 && t.ra_hours < 24 && t.ra_minutes >= 0 && t.ra_minutes < 60 &&
         t.dec_degrees >= 0 && t.dec_degrees <= 89 && t.dec_minutes >= 0 && t.dec_minutes < 60;
}

int planet_number(std::string_view name) {
  static constexpr struct {
    const char* name;
    int number;
  } kPlanets[] = {{"mercury", 901}, {"venus", 902},  {"mars", 904},    {"jupiter", 905},
                  {"saturn", 906},  {"uranus", 907}, {"neptune", 908}, {"pluto", 909}};
  std::string lower;
  for (char c : name)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  for (const auto& p : kPlanets) {
    if (lower == p.name) return p.number;
  }
  return 0;
}

}  // namespace tarvex
