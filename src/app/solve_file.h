// Solving an image file: the file read (the program's own layout or any
// standard FITS image), the picture for the solver made from it, the focal
// length and the hint taken from what was given or else from its header,
// and on success the world coordinate cards written: into the header of a
// standard file, or into a standard copy beside a file of the program's own
// layout, whose fixed header has no room for them.
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>

#include "image/frame_store.h"
#include "scope/plate_solve.h"

namespace tarvex {

struct SolveFileRequest {
  std::filesystem::path file;
  std::optional<double> focal_length_mm;  // else the header's
  std::optional<SkyPosition> hint;        // else the header's, else none
  std::optional<double> radius_degrees;   // around the hint; 5 when not given
  int time_limit_s = 30;
  std::string software;  // SWCREATE of a standard copy
};

enum class SolveFileStatus {
  Solved,
  Unreadable,     // the file could not be read as an image (error says why)
  NoFocalLength,  // neither given nor in the header
  NotSolved,      // the solver's outcome says why
  WcsNotWritten,  // solved, but the cards could not be written (error says why)
};

struct SolveFileResult {
  SolveFileStatus status = SolveFileStatus::Solved;
  SolveOutcome outcome;
  // The picture's own scale (a binned mosaic's solution divided back).
  double arcsec_per_pixel = 0;
  // Where the cards went: the file itself, or its standard copy.
  std::filesystem::path wcs_file;
  bool wrote_copy = false;
  std::string error;
};

// The standard copy of an own-layout file "DIR/NAME.FIT": "DIR/NAME-wcs.fits".
std::filesystem::path wcs_copy_path(const std::filesystem::path& file);

// "HH:MM:SS[.s]" and "[+-]DD:MM:SS" (also "HH MM SS" with blanks, as the
// OBJCTRA and OBJCTDEC cards give them); nothing when not such a value.
std::optional<double> parse_ra_hours(const std::string& text);
std::optional<double> parse_dec_degrees(const std::string& text);

// Reads, solves and writes as described above. `scratch` receives an own-
// layout file's image.
SolveFileResult solve_file(const SolveFileRequest& request, PlateSolver& solver,
                           FrameStore& scratch, const std::atomic<bool>* cancel = nullptr);

}  // namespace tarvex
