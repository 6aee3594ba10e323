// The batch stack: a night's lights, with their darks and flats, calibrated,
// registered on many stars onto the first light's geometry and combined
// pixel by pixel with outlier rejection, written as a 32-bit floating-point
// FITS file (and optionally a 16-bit TIFF).
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/stack/stack_inputs.h"
#include "processing/stack_combine.h"
#include "processing/star_registration.h"

namespace tarvex {

struct StackRequest {
  std::vector<std::filesystem::path> lights, darks, flats;
  CombineParameters combine;
  bool align = true;  // on stars; else the frames are combined as they lie
  Interpolation interpolation = Interpolation::Bicubic;
  std::filesystem::path out;
  std::optional<std::filesystem::path> tiff16;
  SynthesisOptions colour;            // mosaics: the user's colour options
  std::filesystem::path temp_parent;  // where the registered frames wait; empty: the system's
  // Frames left out: stars more elongated than this (trailed), or a median
  // star width this many times the median of all frames.
  double max_elongation = 1.5;
  double max_width_ratio = 1.5;
  int min_stars = 6;                               // to register a frame
  std::size_t band_bytes = std::size_t{16} << 20;  // the combine's working set
};

struct LeftOut {
  std::string file;
  std::string reason;
};

// Where a light landed on the first light: the shift and rotation applied.
struct FrameRegistration {
  std::string file;
  RigidTransform transform;
  int matched = 0;      // star pairs the fit used
  double residual = 0;  // their root mean square distance, pixels
};

struct StackOutcome {
  bool written = false;
  std::string error;  // why nothing was written
  StackKind kind = StackKind::Monochrome;
  int stacked = 0;
  std::vector<LeftOut> left_out;
  std::vector<FrameRegistration> registered;
  std::vector<std::string> history;  // the HISTORY lines written
  int band_rows = 0;                 // rows combined at a time
};

// Reports progress (`done` of `total` steps, with a line saying what);
// returning false cancels the run.
using StackProgress = std::function<bool(int done, int total, const std::string& what)>;

// Runs the whole stack. `scratch` (a frame store) is overwritten: it carries
// the colour synthesis of mosaics and the 16-bit TIFF.
StackOutcome run_batch_stack(const StackRequest& request, FrameStore& scratch,
                             const StackProgress& progress = {});

}  // namespace tarvex
