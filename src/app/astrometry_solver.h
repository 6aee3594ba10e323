// The plate solver: astrometry.net's solve-field, run as a separate program
// on a FITS copy of the picture in a temporary folder (never linked). The
// scale range comes from the pixel size and focal length; a hint limits the
// search to a circle around it, and when that finds nothing in the time
// allowed one search of the whole sky follows. The answer is read from the
// world coordinate file solve-field writes.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scope/plate_solve.h"

namespace tarvex {

// One installed index: the range of quad sizes it holds, arcminutes.
struct SolverIndex {
  std::filesystem::path file;
  double quad_low_arcmin = 0;
  double quad_high_arcmin = 0;
};

// The indexes astrometry.net finds through its configuration file (its
// add_path folders and index lines; /usr/share/astrometry when it has none),
// each with the quad sizes its header (or, failing that, its Tycho-2 series
// name) gives.
std::vector<SolverIndex> installed_solver_indexes(
    const std::filesystem::path& config = "/etc/astrometry.cfg");

// Whether any of `indexes` can solve a field of `width_arcmin` x
// `height_arcmin`: it needs quads no larger than the field's diagonal and no
// smaller than a tenth of its shorter side. Empty when one can; else the
// reason, naming the field's size and the field sizes the indexes cover.
std::string index_coverage_refusal(const std::vector<SolverIndex>& indexes, double width_arcmin,
                                   double height_arcmin);

// The packages that bring astrometry.net and the indexes this camera needs
// at usual focal lengths.
inline constexpr const char* SOLVER_PACKAGES =
    "astrometry.net, astrometry-data-tycho2-08 and astrometry-data-tycho2-09";

// solve-field found on the PATH. `program` may name another solve-field,
// and `config` another configuration file, for tests.
std::unique_ptr<PlateSolver> make_astrometry_solver(
    const std::string& program = "solve-field",
    const std::filesystem::path& config = "/etc/astrometry.cfg");

// The failure's name in the words of "not solved: ..." when no reason text
// was given.
const char* solve_failure_text(SolveFailure failure);

}  // namespace tarvex
