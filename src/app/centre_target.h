// Solve & Sync and Centre Target: closing the loop between where the mount
// believes it points and where the camera shows it points. An exposure is
// taken with the camera dialog's settings, solved, and the mount synced to
// the solved centre; Centre Target then goes to its target again and repeats
// until the solved centre lies within the tolerance or the tries run out.
// Everything goes through the mount port and the solver port, so the
// LX200 link, another mount, the simulators and a test's fakes serve alike.
//
// The mount keeps coordinates of its own date; solutions are J2000. The
// position hint given to the solver and the positions reported are J2000,
// the sync and the go-to are in the mount's coordinates.
#pragma once

#include <optional>
#include <string>

#include "app/tarvex.h"
#include "platform/messages.h"
#include "scope/mount.h"
#include "scope/plate_solve.h"

namespace tarvex {

inline constexpr double DEFAULT_CENTRE_TOLERANCE_ARCSEC = 30.0;
inline constexpr int DEFAULT_CENTRE_TRIES = 3;

// Where Centre Target should go first, when it starts the run with a go-to
// of its own (tarvex-cli's centre): an object of the mount's catalogues, or
// a J2000 position. Without one it centres on the mount's current target
// (the last go-to, where the mount believes it points now).
struct CentreGoto {
  enum class Kind { None, Catalogue, Position } kind = Kind::None;
  Catalogue catalogue = Catalogue::Messier;
  int number = 0;
  SkyPosition j2000;
};

struct CentreRequest {
  CentreGoto first_goto;
  double tolerance_arcsec = DEFAULT_CENTRE_TOLERANCE_ARCSEC;
  int tries = DEFAULT_CENTRE_TRIES;
  // The longest a slew may take before the wait gives up, seconds.
  int slew_limit_s = 300;
};

enum class CentreStatus {
  Centred,     // Centre Target: within the tolerance; Solve & Sync: synced
  NotCentred,  // the tries ran out, or a step failed on the way
  Refused,     // refused before the mount moved
  Cancelled,   // stopped by a press (an interruption of tarvex-cli)
};

// One solved exposure.
struct CentreTry {
  int number = 0;
  SkyPosition solved;        // J2000
  double error_arcsec = -1;  // from the target; negative for Solve & Sync
  bool synced = false;
};

struct CentreOutcome {
  CentreStatus status = CentreStatus::NotCentred;
  // What went wrong, in the words shown after "not centred: ".
  std::string reason;
  // The message shown for it (CallerText when only `reason` says it).
  std::optional<Msg> message;
  std::string detail;  // what the mount or the solver said, if anything
  int tries = 0;
  double error_arcsec = -1;  // of the last solve
};

// What the loop tells its front end as it goes.
class CentreReport {
 public:
  virtual ~CentreReport() = default;
  // "taking an exposure", "solving", "syncing the mount", ...
  virtual void step(const std::string& /*text*/) {}
  virtual void tried(const CentreTry& /*attempt*/) {}
};

// "try 2: solved 00:42:51.2 +41:15:02, 48.3\" from target, synced"
std::string centre_try_line(const CentreTry& attempt);
// "centred within 12.4\" after 2 tries" or "not centred: REASON"
std::string centre_outcome_line(const CentreOutcome& outcome);

// One exposure, solved, and the mount synced to it.
CentreOutcome solve_and_sync(Tarvex& app, Mount& mount, PlateSolver* solver, CentreReport& report);

// The whole loop; see the top of this file.
CentreOutcome centre_target(Tarvex& app, Mount& mount, PlateSolver* solver,
                            const CentreRequest& request, CentreReport& report);

// A raw 752 x 580 mosaic binned 2 x 2 into one plane, so the colour
// pattern does not hide half the stars from the solver.
SolveImage solve_image_of(const FrameStore& fs);

// The angle between two positions, arc seconds.
double separation_arcsec(const SkyPosition& a, const SkyPosition& b);

}  // namespace tarvex
