// Set Program Defaults: what every control of the dialog does to the settings
// in memory. The Qt dialog is a view over this model.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "app/indi_choice.h"
#include "app/reported.h"
#include "files/fits_text.h"
#include "files/more_settings.h"
#include "files/settings.h"
#include "platform/ports.h"

namespace tarvex {

// The number fields of the "Guide Algorithm" and "Dithering" groups: the key
// of the small settings file each one sets, and its label.
struct GuideDefaultsField {
  std::string_view key;
  std::string_view label;
};
inline constexpr GuideDefaultsField GUIDE_DEFAULTS_FIELDS[] = {
    {"guide.lost-star-seconds", "Hold lost star (s)"}, {"guide.dither-pixels", "Dither (pixels)"},
    {"guide.settle-pixels", "Settle within (pixels)"}, {"guide.settle-frames", "Settle frames"},
    {"guide.settle-seconds", "Settle time-out (s)"},
};

class ProgramDefaultsModel {
 public:
  // `more_settings_file`, when given, is the small settings file that keeps
  // the INDI mount's choice, server and device, and the guiding settings.
  ProgramDefaultsModel(Settings& settings, FitsText& fits, std::filesystem::path settings_file,
                       Messages& messages, std::filesystem::path more_settings_file = {})
      : s_(settings),
        fits_(fits),
        file_(std::move(settings_file)),
        more_file_(std::move(more_settings_file)),
        messages_(messages) {}

  // Loads the settings before the dialog opens; SettingsLoadFailed when the
  // file could not be read or rewritten.
  Reported open();
  // "Save Changes": saves; SettingsSaveFailed when the file could not be
  // written.
  Reported save_changes();

  // "Camera Offsets"
  void toggle_pixel_offset() { s_.pixel_offset = !s_.pixel_offset; }
  void toggle_line_offset() { s_.line_offset = !s_.line_offset; }
  // "Radius of Guide Star Mask": 7, 8, 9, 11, 13 or 15; other values are ignored.
  void set_guide_mask_radius(int pixels);
  void toggle_focus_delay() { s_.focus_delay = !s_.focus_delay; }
  // "Background Colour".
  void set_background_colour(BackgroundColour colour) { s_.background_colour = colour; }
  void toggle_disable_interrupts() { s_.disable_interrupts = !s_.disable_interrupts; }
  void toggle_interlace_smoothing() { s_.interlace_smoothing = !s_.interlace_smoothing; }
  // "Telescope Guiding": None, Meade LX200 (Tm), Via Control Box or INDI
  // Mount. None and the control box take the port as their own. The INDI
  // mount is kept in the small settings file: the settings file's link
  // stays as it was while it is chosen.
  void set_telescope_type(LinkType type);
  LinkType telescope_type() const { return indi_chosen_ ? LinkType::Indi : s_.telescope_type; }
  // The INDI server (HOST:PORT) and the mount's device name.
  void set_indi_server(std::string_view server) { indi_.server = server; }
  void set_indi_device(std::string_view device) { indi_.device = device; }
  const std::string& indi_server() const { return indi_.server; }
  const std::string& indi_device() const { return indi_.device; }
  // "Guide Algorithm": "classic" or "predictive"; other names are ignored.
  void set_guide_algorithm(std::string_view name);
  std::string guide_algorithm() const { return more_.text("guide.algorithm"); }
  // "RA only": dithers move the reference in RA alone.
  void toggle_dither_ra_only();
  bool dither_ra_only() const { return more_.text("guide.dither-axes") == "ra"; }
  // A field of GUIDE_DEFAULTS_FIELDS by its key. A value out of the key's
  // range, or not a number, is refused with a message naming the field, and
  // the value held stays (false).
  bool set_guide_field(std::string_view key, std::string_view text);
  // The field's value as the small settings file writes it.
  std::string guide_field(std::string_view key) const { return more_.text(key); }
  void choose_shared_com_port() { s_.dedicated_com_port = false; }
  void choose_com_port(int n);
  // "Default Guide Training Time": 1, 2 or 4 seconds.
  void set_guide_training_time(int seconds);
  // "Set Slew Values"
  void set_slew_values(int ra_pixels_per_sec, int dec_pixels_per_sec, int ra_backlash,
                       int dec_backlash, int ra_hysteresis, int dec_hysteresis);
  void toggle_ignore_drift() { s_.ignore_drift = !s_.ignore_drift; }
  void toggle_direction_change_delay() { s_.direction_change_delay = !s_.direction_change_delay; }
  void swap_north_south();
  void swap_east_west();
  // "Set Sub-Dir": up to 79 characters.
  void set_autosave_subdir(std::string_view name);
  void toggle_beep_after_exposure() { s_.beep_after_exposure = !s_.beep_after_exposure; }
  void toggle_fits_unsigned() { fits_.fits_unsigned = !fits_.fits_unsigned; }
  void toggle_usb_debug_info() { s_.usb_debug_info = !s_.usb_debug_info; }
  void toggle_binned_import_default() { s_.binned_import_default = !s_.binned_import_default; }

  // What the controls show.
  bool north_south_swapped() const { return s_.drive_directions.north_south_swapped; }
  bool east_west_swapped() const { return s_.drive_directions.east_west_swapped; }
  // 0 for "Shared Com Port", else the port 1..5.
  int com_port_choice() const { return s_.dedicated_com_port ? s_.com_port : 0; }

  const Settings& settings() const { return s_; }
  const FitsText& fits() const { return fits_; }

 private:
  Settings& s_;
  FitsText& fits_;
  std::filesystem::path file_;
  std::filesystem::path more_file_;
  Messages& messages_;
  MoreSettings more_;
  bool indi_chosen_ = false;
  IndiMountChoice indi_;
};

}  // namespace tarvex
