#include <memory>

#include "app/astrometry_solver.h"
#include "app/export_commands.h"
#include "app/solve_commands.h"
#include "app/solve_file.h"
#include "cli/interrupt.h"
#include "cli/subcommands.h"

namespace tarvex::cli {

int solve_command(const Options& o, std::ostream& out, std::ostream& err) {
  SolveFileRequest request;
  request.file = o.input;
  request.focal_length_mm = o.solve.focal_length_mm;
  request.hint = o.solve.hint;
  request.radius_degrees = o.solve.radius_degrees;
  request.software = program_name_and_version();
  const std::unique_ptr<PlateSolver> solver = make_astrometry_solver();
  const auto scratch = std::make_unique<FrameStore>();
  SolveFileResult r;
  {
    // Ctrl-C ends solve-field and everything it started.
    InterruptScope interrupts;
    r = solve_file(request, *solver, *scratch, &interruption_requested());
  }
  switch (r.status) {
    case SolveFileStatus::Unreadable:
      err << "tarvex-cli: " << o.input << ": " << r.error << "\n";
      return 2;
    case SolveFileStatus::NoFocalLength:
      return usage_error(err,
                         o.input + " does not record its focal length: give --focal-length MM");
    case SolveFileStatus::NotSolved: {
      const std::string reason =
          r.outcome.reason.empty() ? solve_failure_text(r.outcome.failure) : r.outcome.reason;
      out << "not solved: " << reason << "\n";
      return 1;
    }
    case SolveFileStatus::Solved:
    case SolveFileStatus::WcsNotWritten: break;
  }
  const PlateSolution& s = *r.outcome.solution;
  out << solution_line(s, r.arcsec_per_pixel) << "\n";
  if (r.status == SolveFileStatus::WcsNotWritten) {
    err << "tarvex-cli: the solution could not be written to " << r.wcs_file.string() << ": "
        << r.error << "\n";
    return 1;
  }
  if (r.wrote_copy) out << "standard copy with the solution: " << r.wcs_file.string() << "\n";
  return 0;
}

}  // namespace tarvex::cli
