// View > Solve Image: where the image on show points. The solve itself runs
// away from the program's thread (it takes seconds, in a separate program),
// so the command comes in three steps: prepare on the program's thread (the
// picture and the request copied out of the context), solve anywhere, and
// finish on the program's thread (the solution kept with the image, the
// line for the status bar).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/tarvex.h"
#include "scope/plate_solve.h"

namespace tarvex {

struct ImageSolve {
  SolveImage image;
  SolveRequest request;
  int binning = 1;              // image pixels per solver pixel
  std::uint64_t signature = 0;  // of the image it was made from
};

// The solve of the image on show: a raw frame binned 2 x 2, a colour image
// as luminance, the focal length from the FITS details (kept in inches).
// Nothing, with `refusal` saying why, when the focal length is not set.
std::optional<ImageSolve> prepare_image_solve(const Tarvex& app, std::string& refusal);

// Runs the solve while the window stays alive: the busy flag and cursor set,
// the progress window open with its bar moving through the time allowed,
// events pumped; any key or click asks the solver to stop (the outcome is
// then Cancelled). The solver works on a thread of its own, on the copies
// in `job` only.
SolveOutcome run_image_solve(Tarvex& app, const ImageSolve& job, PlateSolver& solver);

// The progress window's caption while a solve runs.
inline constexpr const char* SOLVE_PROGRESS_CAPTION =
    "Solving the image (any key or click cancels)";

// A solution kept for the image it was found for, expressed in that image's
// own full-resolution pixels (rows top first), with the image's signature.
struct KeptSolution {
  std::optional<PlateSolution> solution;
  std::uint64_t signature = 0;
};

// Keeps a solution in `kept` (when the image on show is still the one
// solved) and gives the status bar's line: "solved RA ... (J2000)" or
// "not solved: REASON".
std::string finish_image_solve(const Tarvex& app, const ImageSolve& job,
                               const SolveOutcome& outcome, KeptSolution& kept);

// "solved RA 05:35:16.8 Dec -05:23:24 scale 5.91"/px angle 0.0 deg (J2000)".
std::string solution_line(const PlateSolution& solution, double arcsec_per_pixel);

// The kept solution while the image on show is the one it was found for.
std::optional<PlateSolution> current_image_solution(const Tarvex& app, const KeptSolution& kept);

}  // namespace tarvex
