#include "app/colour/synthesis_commands.h"

#include <algorithm>
#include <string>

#include "app/busy_scope.h"
#include "app/display_pipeline.h"
#include "app/processing/filters_commands.h"
#include "app/processing/merge_commands.h"
#include "app/processing/stretch_commands.h"
#include "image/label_band.h"
#include "platform/messages.h"

namespace tarvex {

SynthesisOptions synthesis_options(const Settings& s) {
  SynthesisOptions o;
  o.daylight = s.colour_option;
  o.light_pollution = s.light_pollution;
  o.smoothing = s.colour_smoothing;
  o.anti_alias = s.anti_alias;
  o.ir_filter = s.ir_filter;
  o.stretch = s.weak_stretch     ? AutoStretch::Weak
              : s.strong_stretch ? AutoStretch::Strong
              : s.user_stretch   ? AutoStretch::User
                                 : AutoStretch::None;
  o.user_power = s.user_stretch_value;
  o.remove_background = s.remove_background;
  o.high_pass = s.high_pass_low_power;
  o.unsharp = s.unsharp_mask;
  o.unsharp_diameter = s.unsharp_diameter;
  o.unsharp_power = s.unsharp_power;
  o.pixel_offset = s.pixel_offset;
  o.line_offset = s.line_offset;
  return o;
}

void store_synthesis_options(const SynthesisOptions& o, Settings& s) {
  s.colour_option = o.daylight;
  s.light_pollution = o.light_pollution;
  s.colour_smoothing = o.smoothing;
  s.anti_alias = o.anti_alias;
  s.ir_filter = o.ir_filter;
  s.weak_stretch = o.stretch == AutoStretch::Weak;
  s.strong_stretch = o.stretch == AutoStretch::Strong;
  s.user_stretch = o.stretch == AutoStretch::User;
  s.user_stretch_value = static_cast<std::int16_t>(o.user_power);
  s.remove_background = o.remove_background;
  s.high_pass_low_power = o.high_pass;
  s.unsharp_mask = o.unsharp;
  s.unsharp_diameter = static_cast<std::int16_t>(o.unsharp_diameter);
  s.unsharp_power = static_cast<std::int16_t>(o.unsharp_power);
  s.pixel_offset = o.pixel_offset;
  s.line_offset = o.line_offset;
}
ColourSynthesis synthesize_colour_command(Tarvex& app, const SynthesisDialog& dialog) {
  FrameStore& fs = app.store();
  // The synthesis works in SecondFrame.
  if (refused_during_merge(app)) return ColourSynthesis::MergeHoldsBase;
  if (fs.IsColour) {
    show_message(app.ports.messages, Msg::AlreadyColourConverted);
    return ColourSynthesis::AlreadyConverted;
  }
  if (settings_load_failed(
          load_settings(app.paths.settings_file(), app.settings, app.fits, app.ports.messages))) {
    show_message(app.ports.messages, Msg::ColourSettingsLoadFailed);
  }
  if (dialog) {
    if (!dialog(app.settings)) return ColourSynthesis::Cancelled;
    if (save_settings(app.paths.settings_file(), app.settings, app.fits) != FileSave::Ok) {
      show_message(app.ports.messages, Msg::ColourSettingsSaveFailed);
    }
  }
  synthesize_colour(app, synthesis_options(app.settings));
  return ColourSynthesis::Converted;
}

void synthesize_colour(Tarvex& app, const SynthesisOptions& o) {
  FrameStore& fs = app.store();
  Progress& progress = app.ports.progress;
  EventPump& pump = app.ports.pump;
  {
    BusyScope busy(app);
    progress.open("COLOUR CALCULATION IN PROGRESS");
    const ColourDivisors divisors = colour_divisors(o.daylight, o.ir_filter);
    const bool label_band = has_label_band(fs.CurrentFrame);
    synthesize_mosaic(fs, divisors, {o.pixel_offset, o.line_offset}, [&](int row) {
      progress.set_position(row_progress(row));
      pump.pump();
    });
    repair_and_finish(fs, label_band, o.smoothing);
    progress.close();
    fs.IsColour = true;
    if (o.light_pollution) equalise_backgrounds(fs);
    std::copy_n(fs.SecondFrame.begin(), FRAME_SAMPLES, fs.CurrentFrame.begin());

    if (o.stretch != AutoStretch::None) {
      const double power = o.stretch == AutoStretch::Weak     ? WEAK_STRETCH_POWER
                           : o.stretch == AutoStretch::Strong ? STRONG_STRETCH_POWER
                                                              : static_cast<double>(o.user_power);
      fs.BackgroundLevel = synthesis_background_level(fs.CurrentFrame);
      if (o.remove_background) {
        // Remove Background applies its table, and it is applied once more.
        if (remove_background(app, false)) stretch_table_command(app, false);
      }
      fill_auto_stretch_table(app.StretchTable, power);
      app.history.add_history("Non-Linear Stretch : power " +
                              std::to_string(static_cast<int>(power)));
      stretch_table_command(app, false);
    }
    if (o.high_pass) kernel_filter_command(app, KernelFilter::HighPassLow, false);
    if (o.unsharp) unsharp_mask_command(app, o.unsharp_diameter, o.unsharp_power, false);
    if (o.anti_alias) anti_alias_command(app, false);
  }
  refresh_display(app);
}

bool anti_alias_command(Tarvex& app, bool as_command) {
  FrameStore& fs = app.store();
  if (!fs.IsColour) {
    show_message(app.ports.messages, Msg::NotColourConverted);
    return false;
  }
  Progress& progress = app.ports.progress;
  {
    // As a synthesis step this nests inside the conversion's own busy scope,
    // which keeps the busy cursor until the whole conversion is done.
    BusyScope busy(app);
    progress.open("ANTI-ALIAS PROGRESS");
    // From the menu the filter can be undone with Undo Last Colour Filter.
    if (as_command) save_colour_planes(fs);
    anti_alias_planes(fs, [&](int row) {
      progress.set_position(row_progress(row));
      app.ports.pump.pump();
    });
    progress.close();
  }
  if (as_command) refresh_display(app);
  return true;
}

}  // namespace tarvex
