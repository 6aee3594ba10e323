// The Filters menu's commands as the main window runs them: busy cursor,
// the filter, the history line, then the redisplay.
#pragma once

#include "app/tarvex.h"

namespace tarvex {

// The six fixed-kernel filters, by menu command.
enum class KernelFilter {
  LowPass,          // 5 "Low Pass &Weighted Mean &Smoother"
  Gaussian,         // 4 "&Gaussian Smoother Filter"
  HighPassLow,      // 107 "&High Pass, Low Power"
  HighPassHigh,     // 108 "High Pass, High &Power"
  SmootherSharper,  // 109 "&Smoother/Sharper Filter"
  BasRelief,        // 7 "&Bas Relief Generator"
};

struct KernelFilterInfo {
  int radius;
  int kernel;
  int divisor;
  const char* history;
};

KernelFilterInfo kernel_filter_info(KernelFilter filter);

// Each returns false, changing nothing, for parameters outside the dialogs'
// ranges. `redisplay` is cleared by colour synthesis, which redisplays later.
bool kernel_filter_command(Tarvex& app, KernelFilter filter, bool redisplay = true);
bool unsharp_mask_command(Tarvex& app, int radius, int power, bool redisplay = true);
// Power in tenths, 1..10.
bool median_filter_command(Tarvex& app, int radius, int power);
void vertical_smoothing_command(Tarvex& app);
void gradient_filter_command(Tarvex& app);

}  // namespace tarvex
