// tarvex-cli's telescope commands, for scripting and checks at the telescope:
//
//   tarvex-cli [--data-root DIR] [--simulator] [--virtual-time] scope
//              [--port N] [--link l|b|n] SUBCOMMAND
//     goto-messier N | goto-ngc N | goto-planet NAME | goto HH:MM [-]DD:MM
//     move n|s|e|w MS [--rate guide|centre|find|slew] | pulse n|s|e|w MS
//     focus in|out MS [--fast] | info | reset-box
//   tarvex-cli --simulator mount-sim [--silent | --garbage] [--reply-delay MS]
//
// --simulator puts the simulated mount on a pseudo-terminal behind every
// "Com Port" for the run; mount-sim serves it alone until interrupted, for
// other astronomy programs to try.
#include <poll.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/astrometry_solver.h"
#include "app/centre_target.h"
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
  const HoldEnd end = hold_for(clock, app.ports.pump, static_cast<std::uint32_t>(ms));
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

// Each try on standard output, each step on the error stream.
class CentreLines : public CentreReport {
 public:
  CentreLines(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  void step(const std::string& text) override { err_ << text << "\n"; }
  void tried(const CentreTry& attempt) override {
    out_ << centre_try_line(attempt) << "\n";
    out_.flush();
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
};

// The plate solver of tarvex-cli's runs: astrometry.net's solve-field.
std::unique_ptr<PlateSolver> make_cli_solver() {
  return make_astrometry_solver();
}

int run_centre(Tarvex& app, const ScopeOptions& c, const Options& o, std::ostream& out,
               std::ostream& err) {
  (void)o;
  apply_capture_options(c.exposure, app.acquisition);
  Mount& mount = current_mount(app);
  const std::unique_ptr<PlateSolver> solver = make_cli_solver();
  CentreLines lines(out, err);
  CentreOutcome outcome;
  if (c.name == "solve-sync") {
    outcome = solve_and_sync(app, mount, solver.get(), lines);
    if (outcome.status == CentreStatus::Centred) {
      out << "synced\n";
      return 0;
    }
  } else {
    CentreRequest request;
    request.tolerance_arcsec = c.tolerance_arcsec;
    request.tries = c.tries;
    if (c.centre_goto == "goto") {
      request.first_goto.kind = CentreGoto::Kind::Position;
      request.first_goto.j2000 = c.centre_position;
    } else {
      request.first_goto.kind = CentreGoto::Kind::Catalogue;
      request.first_goto.catalogue =
          c.centre_goto == "goto-messier" ? Catalogue::Messier : Catalogue::Ngc;
      request.first_goto.number = static_cast<int>(c.number);
    }
    outcome = centre_target(app, mount, solver.get(), request, lines);
  }
  out << centre_outcome_line(outcome) << "\n";
  if (outcome.status == CentreStatus::Cancelled) return kInterrupted;
  return outcome.status == CentreStatus::Centred ? 0 : 1;
}

// --- scope ---

int run_scope(Tarvex& app, const ScopeOptions& c, const Options& o, std::ostream& out,
              std::ostream& err) {
  if (c.name == "centre" || c.name == "solve-sync") return run_centre(app, c, o, out, err);
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
  // reset-box: the box's reset whatever the link type, as it always was
  const ScopeResult r = control_box_mount(app).reset();
  if (r == ScopeResult::Done) out << "control box reset\n";
  return exit_status(r);
}

}  // namespace

int scope_command(const Options& o, std::ostream& out, std::ostream& err) {
  const ScopeOptions& c = o.scope;
  // An interruption ends a move or a pulse early, with its stop sent;
  // other commands finish what they send. Under --simulator every "Com
  // Port" is the simulated mount's pseudo-terminal for this run.
  InterruptPump pump;
  InterruptScope interrupts;
  return with_context(
      o, err,
      [&](Tarvex& app) {
        app.telescope.link_type_override = c.link;
        app.telescope.com_port_override = c.port;
        const int status = run_scope(app, c, o, out, err);
        if (status != 0 && status != kInterrupted && app.telescope.port != nullptr) {
          const std::string why = app.telescope.port->last_failure();
          if (!why.empty()) err << "tarvex-cli: serial port: " << why << "\n";
        }
        return status;
      },
      &pump);
}

int mount_sim_command(const Options& o, std::ostream& out, std::ostream& err) {
  const MountSimOptions& m = o.mount_sim;
  SimMount mount;
  if (!mount.open()) {
    err << "tarvex-cli: no pseudo-terminal could be opened\n";
    return 1;
  }
  mount.set_behaviour(m.behaviour);
  mount.set_reply_delay(static_cast<std::uint32_t>(m.reply_delay_ms));
  out << mount.device_path() << std::endl;
  err << "mount-sim: LX200 at 9600 baud, control box at 300 baud, on " << mount.device_path()
      << "; interrupt to end\n";

  // Served until an interruption (or --for) ends it.
  InterruptPump pump;
  InterruptScope interrupts;
  SteadyClock clock;
  const std::uint32_t start = clock.now_ms();
  for (pump.pump(); !pump.interrupted; pump.pump()) {
    const std::uint32_t now = clock.now_ms();
    mount.step(now);
    if (m.run_for_ms > 0 && now - start >= static_cast<std::uint32_t>(m.run_for_ms)) break;
    const int due = mount.next_due_in(now);
    pollfd p{mount.descriptor(), POLLIN, 0};
    ::poll(&p, 1, due < 0 ? 20 : std::min(due, 20));
  }
  return 0;
}

}  // namespace tarvex::cli
