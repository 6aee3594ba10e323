#include "cli/scope_commands.h"

#include <poll.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/mounts.h"
#include "app/tarvex.h"
#include "app/telescope.h"
#include "cli/interrupt.h"
#include "cli/steps.h"
#include "cli/subcommands.h"
#include "platform/basic_ports.h"
#include "platform/printable_text.h"
#include "sim/sim_mount.h"

namespace tarvex::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kScopeUsage =
    "usage:\n"
    "  tarvex-cli [--data-root DIR] [--simulator] [--virtual-time] scope [--port N] [--link "
    "l|b|n]\n"
    "             goto-messier N | goto-ngc N | goto-planet NAME | goto HH:MM [-]DD:MM |\n"
    "             move n|s|e|w MS [--rate guide|centre|find|slew] | pulse n|s|e|w MS |\n"
    "             focus in|out MS [--fast] | info | reset-box\n"
    "  tarvex-cli --simulator mount-sim [--silent | --garbage] [--reply-delay MS] [--for MS]\n"
    "--simulator talks to the simulated mount on a pseudo-terminal instead of the Com Port;\n"
    "--virtual-time runs it on a virtual clock (waits take no time).\n"
    "--port and --link override the settings for this run only.\n"
    "Messier 1..110, NGC 1..7815; planets mercury, venus, mars, jupiter, saturn, uranus,\n"
    "neptune, pluto; R.A. 00:00..23:59, Dec -89:59..+89:59; MS in milliseconds.\n"
    "mount-sim prints the path of its pseudo-terminal and serves it until interrupted.\n";

struct Globals {
  std::optional<fs::path> data_root;
  bool simulator = false;
  bool virtual_time = false;
  std::size_t next = 0;  // index of the command word
};

bool parse_globals(const std::vector<std::string>& args, Globals& g) {
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    if (args[i] == "--data-root") {
      if (i + 1 >= args.size()) return false;
      g.data_root = args[++i];
    } else if (args[i] == "--simulator") {
      g.simulator = true;
    } else if (args[i] == "--virtual-time") {
      g.virtual_time = true;
    } else {
      break;
    }
  }
  g.next = i;
  return true;
}

bool parse_number(const std::string& text, long lo, long hi, long& value) {
  // Plain decimal digits, with a '-' where the range takes one.
  const auto v = text.empty() || text[0] == '+' ? std::nullopt : parse_whole_number(text);
  if (!v || *v < lo || *v > hi) return false;
  value = *v;
  return true;
}

// "HH:MM" with two numbers; `sign` takes a leading '+' or '-'.
bool parse_pair(std::string text, bool allow_sign, bool& negative, long& a, long& b) {
  negative = false;
  if (allow_sign && !text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  return parse_number(text.substr(0, colon), 0, 99, a) &&
         parse_number(text.substr(colon + 1), 0, 99, b);
}

bool parse_direction(const std::string& text, Direction& d) {
  return text.size() == 1 && direction_of_letter(text[0], d);
}

int usage(std::ostream& err, const std::string& what) {
  err << "tarvex-cli: " << what << "\n" << kScopeUsage;
  return 2;
}

int exit_status(ScopeResult r) {
  return r == ScopeResult::Done ? 0 : 1;
}

// The status of an interrupted run, as the other commands give it.
constexpr int kInterrupted = 130;

// Holds a pressed move or focus move for `ms`, or until an interruption;
// the stop is sent either way (and by the hold itself should anything end
// the command before it). Prints "<what>: done" or "<what>: stopped after
// N ms".
int hold_and_release(Tarvex& app, ScopeHold& hold, long ms, const std::string& what,
                     std::ostream& out) {
  Clock& clock = app.ports.clock;
  const std::uint32_t start = clock.now_ms();
  const HoldEnd end = hold_for(app, static_cast<std::uint32_t>(ms));
  const std::uint32_t held = clock.now_ms() - start;
  const ScopeResult released = hold.release();
  if (released != ScopeResult::Done) return exit_status(released);
  if (end == HoldEnd::Stopped) {
    out << what << ": stopped after " << held << " ms\n";
    return kInterrupted;
  }
  out << what << ": done\n";
  return 0;
}

// What a mount that cannot do a command says to it.
int unsupported(std::ostream& out) {
  out << "the mount of this link cannot do that\n";
  return 1;
}

int report_goto(const Mount& mount, const GotoResult& r, std::ostream& out) {
  if (r.status == ScopeResult::Unsupported) return unsupported(out);
  if (r.status == ScopeResult::LinkFailed || r.status == ScopeResult::SerialError) return 1;
  out << "reply: " << (r.reply != 0 ? printable_text(std::string(1, r.reply)) : "none") << "\n";
  if (!r.reason.empty()) out << "reason: " << lx200_shown_text(r.reason) << "\n";
  out << "object: " << lx200_shown_text(mount.object_info()) << "\n";
  if (r.status == ScopeResult::Done) out << "slew started\n";
  if (r.status == ScopeResult::Refused) out << "slew refused\n";
  return exit_status(r.status);
}

// --- mount-sim ---

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) {
  g_stop = 1;
}

int run_mount_sim(const Globals& g, const std::vector<std::string>& args, std::size_t i,
                  std::ostream& out, std::ostream& err) {
  if (g.virtual_time) return usage(err, "mount-sim serves other programs in real time");
  MountBehaviour behaviour = MountBehaviour::Normal;
  long reply_delay = 0;
  long run_for = 0;
  for (; i < args.size(); ++i) {
    if (args[i] == "--silent") {
      behaviour = MountBehaviour::Silent;
    } else if (args[i] == "--garbage") {
      behaviour = MountBehaviour::Garbage;
    } else if (args[i] == "--reply-delay" && i + 1 < args.size()) {
      if (!parse_number(args[++i], 0, 60000, reply_delay))
        return usage(err, "--reply-delay needs milliseconds 0..60000");
    } else if (args[i] == "--for" && i + 1 < args.size()) {
      if (!parse_number(args[++i], 1, 86400000, run_for))
        return usage(err, "--for needs milliseconds");
    } else {
      return usage(err, "mount-sim does not take " + args[i]);
    }
  }
  SimMount mount;
  if (!mount.open()) {
    err << "tarvex-cli: no pseudo-terminal could be opened\n";
    return 1;
  }
  mount.set_behaviour(behaviour);
  mount.set_reply_delay(static_cast<std::uint32_t>(reply_delay));
  out << mount.device_path() << std::endl;
  err << "mount-sim: LX200 at 9600 baud, control box at 300 baud, on " << mount.device_path()
      << "; interrupt to end\n";

  struct sigaction action {};
  action.sa_handler = on_signal;
  struct sigaction old_int {
  }, old_term{}, old_hup{};
  sigaction(SIGINT, &action, &old_int);
  sigaction(SIGTERM, &action, &old_term);
  sigaction(SIGHUP, &action, &old_hup);
  g_stop = 0;
  SteadyClock clock;
  const std::uint32_t start = clock.now_ms();
  while (g_stop == 0) {
    const std::uint32_t now = clock.now_ms();
    mount.step(now);
    if (run_for > 0 && now - start >= static_cast<std::uint32_t>(run_for)) break;
    const int due = mount.next_due_in(now);
    pollfd p{mount.descriptor(), POLLIN, 0};
    ::poll(&p, 1, due < 0 ? 20 : std::min(due, 20));
  }
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  sigaction(SIGHUP, &old_hup, nullptr);
  return 0;
}

// --- scope ---

struct ScopeCommand {
  std::string name;
  std::optional<int> port;
  std::optional<LinkType> link;
  long number = 0;  // catalogue number or milliseconds
  Direction direction = Direction::East;
  std::string word;  // the direction as given
  bool inward = false;
  bool fast = false;
  std::optional<MoveRate> rate;
  Coordinates target;
};

int parse_scope(const std::vector<std::string>& args, std::size_t i, ScopeCommand& c,
                std::ostream& err) {
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    long v = 0;
    if (args[i] == "--port") {
      if (i + 1 >= args.size() || !parse_number(args[++i], 1, 5, v))
        return usage(err, "--port needs a Com Port number 1..5");
      c.port = static_cast<int>(v);
    } else if (args[i] == "--link") {
      if (i + 1 >= args.size() || args[i + 1].size() != 1 || !link_type_from_letter(args[i + 1][0]))
        return usage(err, "--link needs l (LX200), b (control box) or n (none)");
      c.link = link_type_from_letter(args[++i][0]);
    } else if (args[i] == "--help") {
      err << kScopeUsage;
      return 2;
    } else {
      return usage(err, "scope does not take " + args[i]);
    }
  }
  if (i >= args.size()) return usage(err, "scope needs a subcommand");
  c.name = args[i++];
  std::vector<std::string> words;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--rate" && (c.name == "move")) {
      if (i + 1 >= args.size()) return usage(err, "--rate needs guide, centre, find or slew");
      const std::string r = args[++i];
      if (r == "guide")
        c.rate = MoveRate::Guide;
      else if (r == "centre" || r == "center")
        c.rate = MoveRate::Centre;
      else if (r == "find")
        c.rate = MoveRate::Find;
      else if (r == "slew")
        c.rate = MoveRate::Slew;
      else
        return usage(err, "--rate needs guide, centre, find or slew, not " + r);
    } else if (a == "--fast" && c.name == "focus") {
      c.fast = true;
    } else if (a.rfind("--", 0) == 0) {
      return usage(err, c.name + " does not take " + a);
    } else {
      // A leading '-' here is the sign of a declination, not an option.
      words.push_back(a);
    }
  }
  auto count = [&](std::size_t n) { return words.size() == n; };
  if (c.name == "goto-messier" || c.name == "goto-ngc") {
    const bool messier = c.name == "goto-messier";
    if (!count(1) || !parse_number(words[0], -99999, 99999, c.number) ||
        !(messier ? messier_in_range(static_cast<int>(c.number))
                  : ngc_in_range(static_cast<int>(c.number))))
      return usage(err, messier ? "goto-messier needs a Messier number 1..110"
                                : "goto-ngc needs an NGC number 1..7815");
  } else if (c.name == "goto-planet") {
    if (!count(1) || planet_number(words[0]) == 0)
      return usage(err,
                   "goto-planet needs mercury, venus, mars, jupiter, saturn, uranus, "
                   "neptune or pluto");
    c.number = planet_number(words[0]);
  } else if (c.name == "goto") {
    bool ra_negative = false;
    long h = 0, m = 0, d = 0, dm = 0;
    if (!count(2) || !parse_pair(words[0], false, ra_negative, h, m) ||
        !parse_pair(words[1], true, c.target.dec_negative, d, dm))
      return usage(err, "goto needs HH:MM [-]DD:MM");
    c.target.ra_hours = static_cast<int>(h);
    c.target.ra_minutes = static_cast<int>(m);
    c.target.dec_degrees = static_cast<int>(d);
    c.target.dec_minutes = static_cast<int>(dm);
    if (!coordinates_in_range(c.target))
      return usage(err, "coordinates out of range: R.A. 00:00 to 23:59, Dec -89:59 to +89:59");
  } else if (c.name == "move" || c.name == "pulse") {
    if (!count(2) || !parse_direction(words[0], c.direction) ||
        !parse_number(words[1], 0, 600000, c.number))
      return usage(err, c.name + " needs n, s, e or w and milliseconds 0..600000");
    c.word = words[0];
  } else if (c.name == "focus") {
    if (!count(2) || (words[0] != "in" && words[0] != "out") ||
        !parse_number(words[1], 0, 600000, c.number))
      return usage(err, "focus needs in or out and milliseconds 0..600000");
    c.inward = words[0] == "in";
  } else if (c.name == "info" || c.name == "reset-box") {
    if (!count(0)) return usage(err, c.name + " takes no arguments");
  } else {
    return usage(err, "unknown scope subcommand " + c.name);
  }
  return 0;
}

int run_scope(Tarvex& app, const ScopeCommand& c, std::ostream& out) {
  Clock& clock = app.ports.clock;
  Mount& mount = current_mount(app);
  const int number = static_cast<int>(c.number);
  if (c.name == "goto-messier")
    return report_goto(mount, mount.goto_object(Catalogue::Messier, number), out);
  if (c.name == "goto-ngc")
    return report_goto(mount, mount.goto_object(Catalogue::Ngc, number), out);
  if (c.name == "goto-planet")
    return report_goto(mount, mount.goto_object(Catalogue::Star, number), out);
  if (c.name == "goto") return report_goto(mount, mount.goto_coordinates(c.target), out);
  if (c.name == "move") {
    if (c.rate) mount.set_rate(*c.rate);
    ScopeHold hold(mount);
    if (hold.press_move(c.direction) != ScopeResult::Done) return 1;
    const std::string what = "move " + c.word + " " + std::to_string(c.number) +
                             " ms (mount letter " + app.telescope.directions.letter(c.direction) +
                             ")";
    return hold_and_release(app, hold, c.number, what, out);
  }
  if (c.name == "pulse") {
    const std::uint32_t start = clock.now_ms();
    const ScopeResult r =
        mount.pulse(c.direction, static_cast<std::uint32_t>(c.number), PulseEnd::OnStop);
    if (r != ScopeResult::Done) return exit_status(r);
    out << "pulse " << c.word << " " << c.number << " ms (mount letter "
        << app.telescope.directions.current_move() << "): ";
    if (app.ports.pump.abort_requested()) {
      out << "stopped after " << clock.now_ms() - start << " ms\n";
      return kInterrupted;
    }
    out << "done\n";
    return 0;
  }
  if (c.name == "focus") {
    mount.set_focus_speed(c.fast);
    ScopeHold hold(mount);
    const ScopeResult pressed = hold.press_focus(c.inward);
    if (pressed == ScopeResult::Unsupported) return unsupported(out);
    if (pressed != ScopeResult::Done) return 1;
    const std::string what =
        std::string("focus ") + (c.inward ? "in" : "out") + " " + std::to_string(c.number) + " ms";
    return hold_and_release(app, hold, c.number, what, out);
  }
  if (c.name == "info") {
    const ScopeResult r = mount.read_object_info();
    if (r == ScopeResult::Unsupported) return unsupported(out);
    if (r == ScopeResult::Done) out << "object: " << lx200_shown_text(mount.object_info()) << "\n";
    return exit_status(r);
  }
  // reset-box
  const ScopeResult r = reset_control_box(app);
  if (r == ScopeResult::Done) out << "control box reset\n";
  return exit_status(r);
}

}  // namespace

bool is_scope_invocation(const std::vector<std::string>& args) {
  Globals g;
  if (!parse_globals(args, g) || g.next >= args.size()) return false;
  return args[g.next] == "scope" || args[g.next] == "mount-sim";
}

int run_scope_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Globals g;
  if (!parse_globals(args, g) || g.next >= args.size())
    return usage(err, "--data-root needs a folder");
  if (args[g.next] == "mount-sim") return run_mount_sim(g, args, g.next + 1, out, err);

  ScopeCommand c;
  if (const int status = parse_scope(args, g.next + 1, c, err); status != 0) return status;

  // The context on the run's one set of ports; under --simulator every
  // "Com Port" is the simulated mount's pseudo-terminal for this run.
  Options o;
  o.data_root = g.data_root;
  o.simulator = g.simulator;
  o.virtual_time = g.virtual_time;
  // An interruption ends a move or a pulse early, with its stop sent;
  // other commands finish what they send.
  InterruptPump pump;
  InterruptScope interrupts;
  return with_context(
      o, err,
      [&](Tarvex& app) {
        app.telescope.link_type_override = c.link;
        app.telescope.com_port_override = c.port;
        const int status = run_scope(app, c, out);
        if (status != 0 && status != kInterrupted && app.telescope.port != nullptr) {
          const std::string why = app.telescope.port->last_failure();
          if (!why.empty()) err << "tarvex-cli: serial port: " << why << "\n";
        }
        return status;
      },
      &pump);
}

}  // namespace tarvex::cli
