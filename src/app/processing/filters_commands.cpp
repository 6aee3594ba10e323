#include "app/processing/filters_commands.h"

#include <cstdio>
#include <string>

#include "app/busy_scope.h"
#include "app/display_pipeline.h"
#include "processing/filters.h"

namespace tarvex {

KernelFilterInfo kernel_filter_info(KernelFilter filter) {
  switch (filter) {
    case KernelFilter::LowPass: return {1, 0, 16, "Lowpass Smoother Filter"};
    case KernelFilter::Gaussian: return {2, 1, 80, "Gaussian Filter"};
    case KernelFilter::HighPassLow: return {1, 2, 1, "High Pass Low Power Filter"};
    case KernelFilter::HighPassHigh: return {2, 3, 1, "High Pass High Power Filter"};
    case KernelFilter::SmootherSharper: return {2, 4, 1, "Smoother/Sharper Filter"};
    case KernelFilter::BasRelief: return {2, 5, 1, "Bas Relief Filter"};
  }
  return {1, 0, 16, "Lowpass Smoother Filter"};
}

bool kernel_filter_command(Tarvex& app, KernelFilter filter, bool redisplay) {
  const KernelFilterInfo info = kernel_filter_info(filter);
  {
    BusyScope busy(app);
    if (!convolve_frame(app.store(), info.radius, info.kernel, info.divisor)) return false;
  }
  app.history.add_history(info.history);
  if (redisplay) refresh_display(app);
  return true;
}

bool unsharp_mask_command(Tarvex& app, int radius, int power, bool redisplay) {
  {
    BusyScope busy(app);
    if (!unsharp_mask(app.store(), radius, power)) return false;
  }
  app.history.add_history("Unsharp Mask : rad " + std::to_string(radius) + " ,power " +
                          std::to_string(power));
  if (redisplay) refresh_display(app);
  return true;
}

bool median_filter_command(Tarvex& app, int radius, int power) {
  {
    BusyScope busy(app);
    if (!median_filter(app.store(), radius, power)) return false;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%1.1f", power / 10.0);
  app.history.add_history("Median Filter : rad " + std::to_string(radius) + " ,power " + text);
  refresh_display(app);
  return true;
}

void vertical_smoothing_command(Tarvex& app) {
  vertical_smoothing(app.store(), app.SmoothDownward);
  app.history.add_history("Vertical Smoothing Filter");
  refresh_display(app);
}

void gradient_filter_command(Tarvex& app) {
  {
    BusyScope busy(app);
    save_undo(app.store());
    gradient_filter(app.store());
  }
  app.history.add_history("Gradient Filter");
  refresh_display(app);
}

}  // namespace tarvex
