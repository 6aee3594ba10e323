// Steps of the Contrast and Filters menus and the histogram listing.
#include <cstdio>

#include "app/display_pipeline.h"
#include "app/processing/filters_commands.h"
#include "app/processing/stretch_commands.h"
#include "cli/steps.h"
#include "processing/filters.h"

namespace tarvex::cli {

namespace {

StepResult usage(std::string error) {
  return StepResult{STEP_USAGE, std::move(error)};
}
StepResult done(bool) {
  return StepResult{STEP_OK, {}};
}

StepFunction kernel_step(KernelFilter filter) {
  return plain([filter](Tarvex& app) { kernel_filter_command(app, filter); });
}

}  // namespace

void register_processing_steps(StepRegistry& registry) {
  registry.add("normal-stretch", "black=0..255 (0),white=1..300 (255): Contrast > Normal Stretch",
               [](Tarvex& app, const StepKeys& keys) {
                 std::string e;
                 if (!only_keys(keys, {"black", "white"}, e)) return usage(e);
                 const auto b = int_key(keys, "black", 0, STRETCH_BLACK_MAX, 0, e);
                 if (!b) return usage(e);
                 const auto w =
                     int_key(keys, "white", STRETCH_WHITE_MIN, STRETCH_WHITE_MAX, 255, e);
                 if (!w) return usage(e);
                 if (*b >= *w) return usage("black must lie below white");
                 if (checking_steps()) return StepResult{};
                 return done(normal_stretch_command(app, static_cast<unsigned>(*b),
                                                    static_cast<unsigned>(*w)));
               });
  registry.add("power-stretch", "gamma=0.1..3.0 (1.0): Contrast > Power Law Stretch",
               [](Tarvex& app, const StepKeys& keys) {
                 std::string e;
                 if (!only_keys(keys, {"gamma"}, e)) return usage(e);
                 const auto g = double_key(keys, "gamma", 0.1, 3.0, 1.0, e);
                 if (!g) return usage(e);
                 if (checking_steps()) return StepResult{};
                 return done(power_stretch_command(app, *g));
               });
  registry.add("sine-stretch", "Contrast > Sine Law Stretch",
               plain([](Tarvex& app) { sine_stretch_command(app); }));
  registry.add("log-stretch", "Contrast > Logarithmic Stretch",
               plain([](Tarvex& app) { log_stretch_command(app); }));
  registry.add("antilog-stretch", "Contrast > Antilogarithmic Stretch",
               plain([](Tarvex& app) { antilog_stretch_command(app); }));
  registry.add("remove-background", "Contrast > Remove Background (needs a level above 2)",
               plain([](Tarvex& app) { remove_background(app, true); }));
  registry.add("non-linear-stretch", "power=2..50 (25): Contrast > Non-Linear Stretch",
               [](Tarvex& app, const StepKeys& keys) {
                 std::string e;
                 if (!only_keys(keys, {"power"}, e)) return usage(e);
                 const auto p =
                     int_key(keys, "power", NON_LINEAR_POWER_MIN, NON_LINEAR_POWER_MAX, 25, e);
                 if (!p) return usage(e);
                 if (checking_steps()) return StepResult{};
                 return done(non_linear_stretch_command(app, static_cast<unsigned>(*p)));
               });
  registry.add("invert", "Contrast > Invert image to Negative",
               plain([](Tarvex& app) { invert_command(app); }));

  registry.add("lowpass", "Filters > Low Pass Weighted Mean Smoother",
               kernel_step(KernelFilter::LowPass));
  registry.add("gaussian", "Filters > Gaussian Smoother Filter",
               kernel_step(KernelFilter::Gaussian));
  registry.add("high-pass-low", "Filters > High Pass, Low Power",
               kernel_step(KernelFilter::HighPassLow));
  registry.add("high-pass-high", "Filters > High Pass, High Power",
               kernel_step(KernelFilter::HighPassHigh));
  registry.add("smoother-sharper", "Filters > Smoother/Sharper Filter",
               kernel_step(KernelFilter::SmootherSharper));
  registry.add("bas-relief", "Filters > Bas Relief Generator",
               kernel_step(KernelFilter::BasRelief));
  registry.add("unsharp-mask", "radius=1..7 (3),power=1..7 (1): Filters > Unsharp masking HPF",
               [](Tarvex& app, const StepKeys& keys) {
                 std::string e;
                 if (!only_keys(keys, {"radius", "power"}, e)) return usage(e);
                 const auto r =
                     int_key(keys, "radius", UNSHARP_RADIUS_MIN, UNSHARP_RADIUS_MAX, 3, e);
                 if (!r) return usage(e);
                 const auto p = int_key(keys, "power", UNSHARP_POWER_MIN, UNSHARP_POWER_MAX, 1, e);
                 if (!p) return usage(e);
                 if (checking_steps()) return StepResult{};
                 return done(unsharp_mask_command(app, static_cast<int>(*r), static_cast<int>(*p)));
               });
  registry.add(
      "median", "radius=1..3 (1),power=1..10 tenths (6): Filters > Median Filter - Noise Reduction",
      [](Tarvex& app, const StepKeys& keys) {
        std::string e;
        if (!only_keys(keys, {"radius", "power"}, e)) return usage(e);
        const auto r = int_key(keys, "radius", MEDIAN_RADIUS_MIN, MEDIAN_RADIUS_MAX, 1, e);
        if (!r) return usage(e);
        const auto p = int_key(keys, "power", MEDIAN_POWER_MIN, MEDIAN_POWER_MAX, 6, e);
        if (!p) return usage(e);
        if (checking_steps()) return StepResult{};
        return done(median_filter_command(app, static_cast<int>(*r), static_cast<int>(*p)));
      });
  registry.add("vertical-smoothing", "Filters > Vertical Smoothing (alternates direction)",
               plain([](Tarvex& app) { vertical_smoothing_command(app); }));
  registry.add("gradient", "Filters > Gradient Filter",
               plain([](Tarvex& app) { gradient_filter_command(app); }));
  registry.add("histogram", "prints the 256 histogram counters and the background level",
               plain([](Tarvex& app) {
                 after_paint(app);
                 const FrameStore& f = app.store();
                 for (int i = 0; i < 256; ++i) std::printf("bin %3d: %u\n", i, f.ImageHistogram[i]);
                 std::printf("background level: %d\n", f.BackgroundLevel);
                 std::fflush(stdout);
               }));
}

}  // namespace tarvex::cli
