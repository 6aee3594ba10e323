#include "cli/guide_commands.h"

#include <cstdio>
#include <optional>

#include "app/guiding/guide_benchmark.h"
#include "app/mounts.h"
#include "app/telescope.h"
#include "camera/readout.h"
#include "camera/usb_commands.h"
#include "cli/fits_keys.h"
#include "cli/interrupt.h"

namespace tarvex::cli {

namespace {

// The brightest sample of a window left of the frame's middle, in frame
// coordinates.
bool find_bright_star(Tarvex& app, int& gx, int& gy) {
  ReadoutState& r = app.camera.readout;
  const int saved_x = r.window_x, saved_y = r.window_y;
  r.window_x = 120;
  r.window_y = 226;
  std::array<std::uint16_t, GUIDE_WINDOW_SAMPLES> window{};
  const AcquisitionSettings& a = app.acquisition;
  const bool ok =
      take_window_frame(app.camera.link, app.ports.clock, r, a.guide_value, a.guide_range,
                        WindowStretch{}, window.data()) == LinkResult::Ok;
  CommandBlock block{};
  set_window_codes(block, r.window_x, r.window_y);
  r.window_x = saved_x;
  r.window_y = saved_y;
  if (!ok) return false;
  int column = 0, row = 0;
  decode_window_codes(block, column, row);
  int best = -1;
  for (int j = 10; j < 118; ++j)
    for (int i = 10; i < 118; ++i)
      if (window[j * 128 + i] > best) best = window[j * 128 + i], gx = column + i, gy = row + j;
  return best > 0;
}

// Refuses the capture options a guiding command does not take.
std::optional<int> refuse_other_options(const Options& o, bool with_minutes, std::ostream& err) {
  for (const std::string& flag : o.capture.given) {
    if (flag != "--star" && flag != "--guide-range" && flag != "--guide-value" &&
        !(with_minutes && (flag == "--minutes" || flag == "--unguided")))
      return usage_error(err, flag + " does not belong to " + o.command);
  }
  if (!o.input.empty()) return usage_error(err, "unexpected argument " + o.input);
  return std::nullopt;
}

// The guide exposure the options give (the camera dialog's, 1 s, otherwise).
void apply_guide_exposure(const Options& o, Tarvex& app) {
  if (o.capture.guide_range) app.acquisition.guide_range = *o.capture.guide_range;
  if (o.capture.guide_value) app.acquisition.guide_value = *o.capture.guide_value;
}

}  // namespace

GuidingReport::GuidingReport(Autoguider& guider, std::ostream& out) : guider_(guider), out_(out) {}

bool GuidingReport::check_before_exposure(GuidedExposure& g) {
  if (!guider_.check_before_exposure(g)) return false;
  started_ = true;
  lost_ = false;
  stopped_ = false;
  at_start_ = guider_.graph().totals();
  return true;
}

void GuidingReport::note_lost(const GuidedExposure& g) {
  if (!g.acquisition.self_guide_next && !stopped_) lost_ = true;
}

void GuidingReport::switch_guiding_frame(GuidedExposure& g) {
  guider_.switch_guiding_frame(g);
  note_lost(g);
}

void GuidingReport::guide_step(GuidedExposure& g) {
  guider_.guide_step(g);
  note_lost(g);
}

bool GuidingReport::end_guiding_in_progress() {
  stopped_ = true;
  return guider_.end_guiding_in_progress();
}

void GuidingReport::close_info() {
  guider_.close_info();
  if (!started_) return;
  started_ = false;
  const GuideTotals t = guider_.graph().totals().since(at_start_);
  char line[160];
  std::snprintf(line, sizeof line, "guiding: %zu corrections, RMS RA %.3f px, Dec %.3f px, %s\n",
                t.count, t.rms_x(), t.rms_y(),
                lost_      ? "star lost"
                : stopped_ ? "stopped"
                           : "star held");
  out_ << line;
  out_.flush();
}

void print_guide_events(Autoguider& guider, std::ostream& out, std::uint32_t start) {
  guider.on_event = [&out, start](const GuideEvent& e) {
    char line[200];
    std::snprintf(line, sizeof line, "%8.1f s  %s\n", (e.at_ms - start) / 1000.0,
                  guide_event_text(e).c_str());
    out << line;
    out.flush();
  };
}

bool prepare_guiding(Tarvex& app, const Options& o, Autoguider&, std::ostream& err) {
  if (!app.camera.camera_present()) app.camera.find(app.settings.usb_debug_info);
  if (!app.camera.camera_present()) {
    err << "tarvex-cli: no camera found\n";
    return false;
  }
  if (const auto link = guiding_link_override(o, link_type(app)))
    app.telescope.link_type_override = link;
  if (current_mount(app).open() != ScopeResult::Done) {
    err << "tarvex-cli: the telescope link could not be opened\n";
    return false;
  }
  int gx = 0, gy = 0;
  if (o.capture.star) {
    gx = o.capture.star->first;
    gy = o.capture.star->second;
  } else if (!find_bright_star(app, gx, gy)) {
    err << "tarvex-cli: no guide star found\n";
    return false;
  }
  app.star_pick.guide_star_picked = true;
  app.star_pick.guide_star_x = gx;
  app.star_pick.guide_star_y = gy;
  app.star.position = {gx, gy, 0, 0};
  return true;
}

int train_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (const auto refused = refuse_other_options(o, false, err)) return *refused;
  if (!o.fits_keys.empty()) return usage_error(err, "--fits belongs to process and guide");
  InterruptPump pump;
  InterruptScope interrupts;
  return with_context(
      o, err,
      [&](Tarvex& app) {
        apply_guide_exposure(o, app);
        Autoguider guider(app);
        if (!prepare_guiding(app, o, guider, err)) return 1;
        const TrainOutcome outcome = guider.train();
        if (outcome == TrainOutcome::Aborted) {
          err << "tarvex-cli: training stopped; the stored rates and backlash are unchanged\n";
          return 130;
        }
        if (outcome == TrainOutcome::StarLost)
          err << "tarvex-cli: the star was lost during training; the stored rates and backlash "
                 "are unchanged\n";
        if (outcome != TrainOutcome::Done) return 1;
        const TrainingResult& r = guider.last_training();
        out << "RA rate " << r.ra_rate << " px/s, Dec rate " << r.dec_rate << " px/s, RA backlash "
            << r.ra_backlash << ", Dec backlash " << r.dec_backlash << "\n";
        return 0;
      },
      &pump);
}

// guide --benchmark: runs on its own simulated camera and mount, so it takes
// no other option than the scenario and the length.
int benchmark_command(const Options& o, std::ostream& out, std::ostream& err) {
  for (const std::string& flag : o.capture.given)
    if (flag != "--benchmark" && flag != "--scenario" && flag != "--minutes")
      return usage_error(err, flag + " does not belong to guide --benchmark");
  if (!o.fits_keys.empty()) return usage_error(err, "--fits does not belong to guide --benchmark");
  if (!o.input.empty()) return usage_error(err, "unexpected argument " + o.input);
  std::span<const BenchScenario> chosen = bench_scenarios();
  if (o.capture.scenario) {
    const BenchScenario* s = find_bench_scenario(*o.capture.scenario);
    if (s == nullptr) {
      std::string names;
      for (const BenchScenario& b : bench_scenarios())
        names += (names.empty() ? "" : ", ") + std::string(b.name);
      return usage_error(err, "--scenario takes " + names + ", not " + *o.capture.scenario);
    }
    chosen = {s, 1};
  }
  const double minutes = o.capture.minutes.value_or(30);
  for (const BenchScenario& s : chosen) {
    for (BenchAlgorithm a : BENCH_ALGORITHMS)
      out << bench_line(s, a, run_guide_benchmark(s, a, minutes)) << "\n";
    out << bench_floor_line(s) << "\n";
    out.flush();
  }
  return 0;
}

int guide_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (o.capture.benchmark) return benchmark_command(o, out, err);
  if (o.capture.scenario) return usage_error(err, "--scenario belongs to guide --benchmark");
  if (const auto refused = refuse_other_options(o, true, err)) return *refused;
  const int minutes = o.capture.minutes.value_or(1);
  // The focal length gives the RMS in arcseconds too (the pixel size is the
  // camera's).
  for (const std::string& kv : o.fits_keys)
    if (kv.rfind("focal-length=", 0) != 0)
      return usage_error(err, "guide takes --fits focal-length=INCHES only");
  InterruptPump pump;
  InterruptScope interrupts;
  return with_context(
      o, err,
      [&](Tarvex& app) {
        for (const std::string& kv : o.fits_keys) {
          std::string error;
          if (!set_fits_key(app.fits, kv, error)) return usage_error(err, error);
        }
        apply_guide_exposure(o, app);
        Autoguider guider(app);
        if (!prepare_guiding(app, o, guider, err)) return 1;
        // Times from the start of the run, whatever the clock counts from.
        const std::uint32_t start = app.ports.clock.now_ms();
        if (o.capture.unguided) {
          const GuideOutcome outcome =
              guider.observe(static_cast<std::uint32_t>(minutes) * 60000u,
                             [&](const Autoguider::ObservedFrame& f) {
                               char line[120];
                               std::snprintf(line, sizeof line, "frame %d t %.3f x %.3f y %.3f\n",
                                             f.number, (f.at_ms - start) / 1000.0, f.x, f.y);
                               out << line;
                             });
          out.flush();
          if (outcome == GuideOutcome::Stopped) return 0;
          if (outcome == GuideOutcome::StarLost) err << "tarvex-cli: the guide star was lost\n";
          if (outcome == GuideOutcome::FrameFailed) err << "tarvex-cli: a guide frame failed\n";
          return 1;
        }
        print_guide_events(guider, out, start);
        guider.on_correction = [&](const GuideSample& s) {
          char line[120];
          if (s.holding_drift) {
            std::snprintf(line, sizeof line, "%8.1f s  %s  RA %+5d ms  Dec %+5d ms\n",
                          (s.at_ms - start) / 1000.0, HOLDING_DRIFT_TEXT, s.ra_pulse_ms,
                          s.dec_pulse_ms);
            out << line;
            out.flush();
            return;
          }
          std::snprintf(line, sizeof line, "%8.1f s  dx %+7.3f  dy %+7.3f  RA %+5d ms  Dec %+5d ms",
                        (s.at_ms - start) / 1000.0, s.dx, s.dy, s.ra_pulse_ms, s.dec_pulse_ms);
          out << line;
          if (s.beyond_range >= BEYOND_RANGE_FRAMES) out << "  " << BEYOND_RANGE_TEXT;
          out << "\n";
          out.flush();
        };
        const GuideOutcome outcome = guider.guide(static_cast<std::uint32_t>(minutes) * 60000u);
        // Refused before the loop: its message says why, and there is no RMS.
        if (outcome == GuideOutcome::Refused || outcome == GuideOutcome::LinkFailed) return 1;
        // The summary covers the whole run, not only what the graph holds.
        const GuideTotals& g = guider.graph().totals();
        const GuideScale scale = guider.scale();
        char line[160];
        int n = std::snprintf(line, sizeof line, "%zu corrections: RMS RA %.3f px, Dec %.3f px",
                              g.count, g.rms_x(), g.rms_y());
        if (scale.known())
          n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n),
                             " (RA %.2f\", Dec %.2f\")", g.rms_x() * scale.ra,
                             g.rms_y() * scale.dec);
        out << line << "\n";
        switch (outcome) {
          case GuideOutcome::Stopped: return 0;
          case GuideOutcome::StarLost:
            err << "tarvex-cli: the guide star was lost";
            if (g.count == 0 && o.capture.star)
              err << " before the first correction: is there a star near " << o.capture.star->first
                  << "," << o.capture.star->second << "?";
            err << "\n";
            return 1;
          case GuideOutcome::FrameFailed: err << "tarvex-cli: a guide frame failed\n"; return 1;
          default: return 1;
        }
      },
      &pump);
}

}  // namespace tarvex::cli
