#include "app/solve_commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "app/astrometry_solver.h"
#include "app/busy_scope.h"
#include "app/image_file.h"
#include "processing/plate_wcs.h"
#include "processing/solve_image.h"

namespace tarvex {

std::optional<ImageSolve> prepare_image_solve(const Tarvex& app, std::string& refusal) {
  if (!(app.fits.fits_focal_length > 0)) {
    refusal =
        "The image scale is not known: set the focal length (in inches) in the FITS details "
        "first.";
    return std::nullopt;
  }
  const FrameStore& fs = app.store();
  SolveInput input = solve_input_of(fs);
  ImageSolve job;
  job.image = std::move(input.image);
  job.binning = input.binning;
  job.signature = image_signature(fs);
  const double width_um = app.fits.fits_pixel_width > 0 ? app.fits.fits_pixel_width * 1000 : 8.6;
  const double height_um = app.fits.fits_pixel_height > 0 ? app.fits.fits_pixel_height * 1000 : 8.3;
  job.request.pixel_width_um = width_um * job.binning;
  job.request.pixel_height_um = height_um * job.binning;
  job.request.focal_length_mm = app.fits.fits_focal_length * 25.4;
  return job;
}

SolveOutcome run_image_solve(Tarvex& app, const ImageSolve& job, PlateSolver& solver) {
  BusyScope busy(app);
  Ports& ports = app.ports;
  ports.pump.clear();
  ports.progress.open(SOLVE_PROGRESS_CAPTION);
  std::atomic<bool> cancel{false}, done{false};
  SolveOutcome outcome;
  std::thread worker([&] {
    outcome = solver.solve(job.image, job.request, &cancel);
    done = true;
  });
  // The bar fills over the time a hinted and a blind try may take.
  const std::uint32_t start = ports.clock.now_ms();
  const double span_ms = 2000.0 * std::max(1, job.request.time_limit_s);
  while (!done) {
    ports.pump.pump();
    if (ports.pump.abort_requested()) {
      cancel = true;
      ports.pump.clear();
    }
    const double elapsed = ports.clock.now_ms() - start;
    ports.progress.set_position(static_cast<int>(std::min(255.0, 256 * elapsed / span_ms)));
    ports.clock.sleep_ms(20);
  }
  worker.join();
  ports.progress.close();
  return outcome;
}

std::string solution_line(const PlateSolution& s, double arcsec_per_pixel) {
  char line[160];
  std::snprintf(line, sizeof line, "solved RA %s Dec %s scale %.2f\"/px angle %.1f deg (J2000)",
                ra_hms_text(s.centre.ra_hours).c_str(), dec_dms_text(s.centre.dec_degrees).c_str(),
                arcsec_per_pixel, std::fabs(s.angle_degrees) < 0.05 ? 0.0 : s.angle_degrees);
  return line;
}

std::string finish_image_solve(const Tarvex& app, const ImageSolve& job,
                               const SolveOutcome& outcome, KeptSolution& kept) {
  if (!outcome.solution) {
    return "not solved: " + (outcome.reason.empty()
                                 ? std::string(solve_failure_text(outcome.failure))
                                 : outcome.reason);
  }
  PlateSolution s = *outcome.solution;
  s.arcsec_per_pixel /= job.binning;
  s.wcs = wcs_for_image(s.wcs, job.binning, FRAME_HEIGHT, false);
  if (image_signature(app.store()) == job.signature) {
    kept.solution = s;
    kept.signature = job.signature;
  }
  return solution_line(s, s.arcsec_per_pixel);
}

std::optional<PlateSolution> current_image_solution(const Tarvex& app, const KeptSolution& kept) {
  if (!kept.solution || image_signature(app.store()) != kept.signature) return std::nullopt;
  return kept.solution;
}

}  // namespace tarvex
