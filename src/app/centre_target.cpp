#include "app/centre_target.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>

#include "app/capture/sequencer.h"
#include "processing/solve_image.h"

namespace tarvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
constexpr double kMmPerInch = 25.4;
// The focal length assumed when the FITS text record gives none: the
// simulator's real sky is rendered for it.
constexpr double kDefaultFocalMm = 300.0;

// The camera dialog's settings, for one exposure: no sum, no repetition, no
// automatic save of the frames taken only to be solved.
class OneExposure : public CaptureFront {
 public:
  CameraDialogResult run_camera_dialog(AcquisitionSettings& settings) override {
    settings.count = 1;
    settings.continuous = false;
    settings.auto_save = false;
    settings.self_guide_next = false;
    return CameraDialogResult::TakePhoto;
  }
  bool continue_after_failed_save() override { return false; }
};

double julian_date_now(const Tarvex& app) {
  return julian_date_of_unix(static_cast<double>(app.ports.clock.wall_time()));
}

SkyPosition to_j2000(const Tarvex& app, const MountPosition& p) {
  return precess_to_j2000({p.ra_hours, p.dec_degrees}, julian_date_now(app));
}

MountPosition of_date(const Tarvex& app, const SkyPosition& j2000) {
  const SkyPosition p = precess_from_j2000(j2000, julian_date_now(app));
  return {p.ra_hours, p.dec_degrees};
}

CentreOutcome stopped(CentreStatus status, Msg message, std::string_view detail = {}) {
  CentreOutcome o;
  o.status = status;
  o.message = message;
  o.reason = message_text(message_number(message));
  o.detail = std::string(detail);
  if (!detail.empty()) o.reason.append(": ").append(detail);
  return o;
}

CentreOutcome cancelled() {
  CentreOutcome o;
  o.status = CentreStatus::Cancelled;
  o.reason = "stopped";
  return o;
}

// What a mount must do for the loop: report where it points, sync and go
// to a position.
bool mount_can_centre(Mount& mount) {
  const MountCapabilities c = mount.capabilities();
  return c.read_position && c.sync && c.go_to && c.position_ra_step_seconds > 0 &&
         c.position_dec_step_arcsec > 0;
}

// The finest the mount can place the target, arc seconds on the sky at
// declination `dec`: the larger of its two coordinate steps.
double mount_step_arcsec(Mount& mount, double dec) {
  const MountCapabilities c = mount.capabilities();
  return std::max(c.position_dec_step_arcsec,
                  c.position_ra_step_seconds * 15.0 * std::cos(dec * kRad));
}

// The refusal of a tolerance finer than the mount's step: a mount in low
// precision is told what that precision can reach.
CentreOutcome below_step(Mount& mount, CentreStatus status) {
  const bool low = mount.capabilities().position_dec_step_arcsec >= 60;
  return stopped(status, low ? Msg::CentreBelowStep : Msg::CentreToleranceBelowStep);
}

// The checks made before anything moves. Nothing when the loop may start.
std::optional<CentreOutcome> refusal(Tarvex& app, Mount& mount, PlateSolver* solver) {
  if (solver == nullptr) return stopped(CentreStatus::Refused, Msg::CentreNoSolver);
  if (!mount_can_centre(mount) || mount.open() != ScopeResult::Done)
    return stopped(CentreStatus::Refused, Msg::CentreNoMount);
  CameraSession& camera = app.camera;
  if (!camera.camera_present()) camera.find(false);
  if (!camera.camera_present()) return stopped(CentreStatus::Refused, Msg::CentreNoCamera);
  return std::nullopt;
}

// Waits until the mount's position holds still (a slew ended), reading it
// once a second; a press stops the mount and the wait.
std::optional<CentreOutcome> wait_for_slew(Tarvex& app, Mount& mount, int limit_s,
                                           MountPosition& settled) {
  MountPosition last;
  if (mount.read_position(last) != ScopeResult::Done)
    return stopped(CentreStatus::NotCentred, Msg::TelescopeCommsFailed);
  for (int waited = 0; waited < limit_s; ++waited) {
    if (hold_for(app.ports.clock, app.ports.pump, 1000) == HoldEnd::Stopped) {
      app.ports.pump.clear();
      mount.abort();
      return cancelled();
    }
    MountPosition now;
    if (mount.read_position(now) != ScopeResult::Done)
      return stopped(CentreStatus::NotCentred, Msg::TelescopeCommsFailed);
    const double moved =
        separation_arcsec({now.ra_hours, now.dec_degrees}, {last.ra_hours, last.dec_degrees});
    last = now;
    if (moved < 2.0) {
      settled = now;
      return std::nullopt;
    }
  }
  return stopped(CentreStatus::NotCentred, Msg::CentreSlewTooLong);
}

// Solves `image` on a thread of its own while the window's events are
// handled; a press cancels the solve.
SolveOutcome solve_with_events(Tarvex& app, PlateSolver& solver, const SolveImage& image,
                               const SolveRequest& request) {
  std::atomic<bool> cancel{false};
  auto pending =
      std::async(std::launch::async, [&] { return solver.solve(image, request, &cancel); });
  EventPump& pump = app.ports.pump;
  while (pending.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    pump.pump();
    if (pump.abort_requested()) cancel = true;
  }
  SolveOutcome outcome = pending.get();
  if (cancel) {
    pump.clear();
    outcome.solution.reset();
    outcome.failure = SolveFailure::Cancelled;
  }
  return outcome;
}

// One exposure with the camera dialog's settings, solved with the mount's
// position as the hint.
std::optional<CentreOutcome> expose_and_solve(Tarvex& app, Mount& mount, PlateSolver& solver,
                                              CentreReport& report, PlateSolution& solution) {
  report.step("taking an exposure");
  OneExposure front;
  const AcquisitionSettings kept = app.acquisition;
  Sequencer sequencer(app, front);
  const CaptureOutcome taken = sequencer.take_photo();
  app.acquisition = kept;
  if (taken == CaptureOutcome::Stopped) return cancelled();
  if (taken == CaptureOutcome::NoCamera)
    return stopped(CentreStatus::NotCentred, Msg::CentreNoCamera);
  if (taken != CaptureOutcome::Done)
    return stopped(CentreStatus::NotCentred, Msg::CentreExposureFailed);

  report.step("solving");
  SolveRequest request;
  const double focal_inches = app.fits.fits_focal_length;
  request.focal_length_mm = focal_inches > 0 ? focal_inches * kMmPerInch : kDefaultFocalMm;
  request.pixel_width_um = app.fits.fits_pixel_width * 1000 * 2;
  request.pixel_height_um = app.fits.fits_pixel_height * 1000 * 2;
  MountPosition here;
  if (mount.read_position(here) == ScopeResult::Done) request.hint = to_j2000(app, here);
  const SolveOutcome solved = solve_with_events(app, solver, solve_image_of(app.store()), request);
  if (solved.failure == SolveFailure::Cancelled) return cancelled();
  if (!solved.solution) {
    const Msg m = solved.failure == SolveFailure::NoIndexForScale ? Msg::CentreFieldTooSmall
                  : solved.failure == SolveFailure::SolverMissing ? Msg::CentreNoSolver
                                                                  : Msg::CentreNotSolved;
    // A field no installed index covers is known before the mount moved
    // again: it is a refusal of the whole loop.
    const CentreStatus status =
        m == Msg::CentreNotSolved ? CentreStatus::NotCentred : CentreStatus::Refused;
    return stopped(status, m, solved.reason);
  }
  solution = *solved.solution;
  return std::nullopt;
}

std::optional<CentreOutcome> sync_to(Tarvex& app, Mount& mount, const SkyPosition& solved,
                                     CentreReport& report) {
  report.step("syncing the mount");
  const ScopeResult r = mount.sync_position(of_date(app, solved));
  if (r != ScopeResult::Done) return stopped(CentreStatus::NotCentred, Msg::CentreSyncFailed);
  return std::nullopt;
}

// The go-to of a run's start or of a try; a refused target (below the
// horizon) starts no slew.
std::optional<CentreOutcome> go_and_wait(Tarvex& app, Mount& mount, const GotoResult& started,
                                         int limit_s, CentreStatus refused_status,
                                         MountPosition& settled) {
  if (started.status == ScopeResult::Refused)
    return stopped(refused_status, Msg::CentreTargetRefused, started.reason);
  if (started.status != ScopeResult::Done)
    return stopped(refused_status, Msg::TelescopeCommsFailed);
  return wait_for_slew(app, mount, limit_s, settled);
}

}  // namespace

double separation_arcsec(const SkyPosition& a, const SkyPosition& b) {
  const double ra1 = a.ra_hours * 15 * kRad, ra2 = b.ra_hours * 15 * kRad;
  const double d1 = a.dec_degrees * kRad, d2 = b.dec_degrees * kRad;
  // The haversine form keeps small angles exact.
  const double sd = std::sin((d2 - d1) / 2), sr = std::sin((ra2 - ra1) / 2);
  const double h = sd * sd + std::cos(d1) * std::cos(d2) * sr * sr;
  return 2 * std::asin(std::min(1.0, std::sqrt(h))) / kRad * 3600.0;
}

SolveImage solve_image_of(const FrameStore& fs) {
  return solve_input_of(fs).image;
}

std::string centre_try_line(const CentreTry& t) {
  const double ra_s = std::round(t.solved.ra_hours * 36000.0) / 10.0;  // tenths of a second
  const long tenths = std::lround(ra_s * 10) % (24 * 36000);
  const long dec_s = std::lround(std::fabs(t.solved.dec_degrees) * 3600.0);
  char text[160];
  std::snprintf(text, sizeof text, "try %d: solved %02ld:%02ld:%02ld.%ld %c%02ld:%02ld:%02ld",
                t.number, tenths / 36000, (tenths / 600) % 60, (tenths / 10) % 60, tenths % 10,
                t.solved.dec_degrees < 0 ? '-' : '+', dec_s / 3600, (dec_s / 60) % 60, dec_s % 60);
  std::string line = text;
  if (t.error_arcsec >= 0) {
    std::snprintf(text, sizeof text, ", %.1f\" from target", t.error_arcsec);
    line += text;
  }
  if (t.synced) line += ", synced";
  return line;
}

std::string centre_outcome_line(const CentreOutcome& o) {
  if (o.status != CentreStatus::Centred) return "not centred: " + o.reason;
  char text[96];
  std::snprintf(text, sizeof text, "centred within %.1f\" after %d tr%s", o.error_arcsec, o.tries,
                o.tries == 1 ? "y" : "ies");
  return text;
}

CentreOutcome solve_and_sync(Tarvex& app, Mount& mount, PlateSolver* solver, CentreReport& report) {
  if (auto refused = refusal(app, mount, solver)) return *refused;
  PlateSolution solution;
  if (auto failed = expose_and_solve(app, mount, *solver, report, solution)) return *failed;
  if (auto failed = sync_to(app, mount, solution.centre, report)) return *failed;
  report.tried({1, solution.centre, -1, true});
  CentreOutcome o;
  o.status = CentreStatus::Centred;
  o.tries = 1;
  return o;
}

CentreOutcome centre_target(Tarvex& app, Mount& mount, PlateSolver* solver,
                            const CentreRequest& request, CentreReport& report) {
  if (auto refused = refusal(app, mount, solver)) return *refused;
  const CentreGoto& first = request.first_goto;
  const double first_dec = first.kind == CentreGoto::Kind::Position ? first.j2000.dec_degrees : 0;
  if (request.tolerance_arcsec < mount_step_arcsec(mount, first_dec))
    return below_step(mount, CentreStatus::Refused);

  // Where to centre, in the mount's coordinates: the first go-to's target,
  // or where the mount believes it points now.
  MountPosition target;
  if (first.kind == CentreGoto::Kind::None) {
    if (auto failed = wait_for_slew(app, mount, request.slew_limit_s, target)) return *failed;
  } else {
    report.step("going to the target");
    const GotoResult started = first.kind == CentreGoto::Kind::Catalogue
                                   ? mount.goto_object(first.catalogue, first.number)
                                   : mount.goto_position(of_date(app, first.j2000));
    if (auto failed =
            go_and_wait(app, mount, started, request.slew_limit_s, CentreStatus::Refused, target))
      return *failed;
    // The slew has ended where the mount believes its target is; a position
    // given is kept to the mount's finest step.
    if (first.kind == CentreGoto::Kind::Position) target = of_date(app, first.j2000);
  }
  const SkyPosition target_j2000 = to_j2000(app, target);

  CentreOutcome o;
  for (int n = 1; n <= request.tries; ++n) {
    PlateSolution solution;
    if (auto failed = expose_and_solve(app, mount, *solver, report, solution)) {
      failed->tries = n - 1;
      return *failed;
    }
    CentreTry t{n, solution.centre, separation_arcsec(solution.centre, target_j2000), false};
    o.tries = n;
    o.error_arcsec = t.error_arcsec;
    if (t.error_arcsec <= request.tolerance_arcsec) {
      report.tried(t);
      o.status = CentreStatus::Centred;
      return o;
    }
    if (n == request.tries) {
      report.tried(t);
      break;
    }
    if (auto failed = sync_to(app, mount, solution.centre, report)) return *failed;
    t.synced = true;
    report.tried(t);
    // A mount found to stay in low precision cannot place the target finer
    // than its step: the loop would only go round.
    if (request.tolerance_arcsec < mount_step_arcsec(mount, target_j2000.dec_degrees))
      return below_step(mount, CentreStatus::NotCentred);
    report.step("going to the target");
    MountPosition settled;
    if (auto failed = go_and_wait(app, mount, mount.goto_position(target), request.slew_limit_s,
                                  CentreStatus::NotCentred, settled))
      return *failed;
  }
  char text[160];
  std::snprintf(text, sizeof text, "still %.1f\" from the target after %d tries", o.error_arcsec,
                o.tries);
  o.status = CentreStatus::NotCentred;
  o.reason = text;
  return o;
}

}  // namespace tarvex
