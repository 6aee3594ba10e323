// The settings record and its file, "Tarvex.ini" in the automatic-save
// folder: a fixed binary sequence of 59 fields (1184 bytes).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "files/file_save.h"
#include "files/fits_cards.h"
#include "files/fits_text.h"
#include "files/settings_choices.h"
#include "platform/ports.h"

namespace tarvex {

inline constexpr std::size_t SETTINGS_FILE_SIZE = 1184;
inline constexpr std::size_t SETTINGS_CARD_SIZE = TEXT_CARD_SIZE;
inline constexpr std::size_t SETTINGS_SUBDIR_SIZE = 79;

struct Settings {
  std::int16_t autosave_number = 0;
  std::int16_t ut_offset_hours = 0;
  bool light_pollution = false;
  bool line_offset = true;
  bool pixel_offset = false;
  bool fast_par = false;
  std::int16_t reserved_choice_a = 0;
  std::int16_t guide_mask_radius = 8;
  bool anti_alias = true;
  bool weak_stretch = false;
  bool strong_stretch = false;
  bool ir_filter = false;
  std::int16_t saturation_factor = 3;
  std::int16_t reserved_choice_b = 1;
  BackgroundColour background_colour = BackgroundColour::LightGray;
  bool focus_delay = true;
  bool user_stretch = false;
  std::int16_t user_stretch_value = 4;
  bool high_pass_low_power = false;
  bool unsharp_mask = false;
  std::int16_t unsharp_diameter = 3;
  std::int16_t unsharp_power = 1;
  bool remove_background = false;
  bool disable_interrupts = true;
  bool fast_par2 = false;
  // Fields 26 to 38 are the texts of the FITS text record (FitsText).
  bool colour_option = true;
  std::int16_t com_port = 1;
  std::int16_t guide_training_time = 1;
  std::int16_t ra_pixels_per_sec = 6;
  std::int16_t dec_pixels_per_sec = 6;
  std::int16_t ra_backlash = 0;
  std::int16_t dec_backlash = 0;
  bool ignore_drift = false;
  LinkType telescope_type = LinkType::None;
  std::int16_t ra_hysteresis = 0;
  std::int16_t dec_hysteresis = 0;
  DriveDirections drive_directions;
  bool beep_after_exposure = false;
  bool direction_change_delay = true;
  bool controlbox_present = true;
  std::string autosave_subdir;
  bool dedicated_com_port = true;
  bool interlace_smoothing = true;
  bool colour_smoothing = true;
  bool binned_import_default = false;
  bool usb_debug_info = false;
};

inline constexpr const char* NO_INI_WARNING = "Warning!\nNo INI file found, please set defaults...";
inline constexpr const char* FAST_PAR_FAILURE = "Failed to read fast_par value";
inline constexpr const char* FAST_PAR_CAPTION = "MORVALE";

// How a load of the settings file ended.
enum class SettingsLoad {
  Read,        // every field was read
  Created,     // there was no folder (or at start no file): it was made and the file written
               // with the values in memory
  Rewritten,   // a field held a value it cannot take: the file was rewritten with the values in
               // memory (the fields before it as read, the rest as they were)
  Incomplete,  // the file is missing or ends early: the fields before the end were read
  NotSaved,    // the file was to be created or rewritten, and could not be
};

// True when the load failed: the file could not be read whole or not be
// (re)written. A created or rewritten file is a success.
inline bool settings_load_failed(SettingsLoad r) {
  return r == SettingsLoad::Incomplete || r == SettingsLoad::NotSaved;
}

// Loads the settings file, field by field. The folder of the file is created
// when missing, and then the file is written with the values in memory. A
// missing file, or one that ends early at some of the fields, shows the
// no-INI warning; an unreadable fast_par value shows its own notice and is
// kept as it was. Both are own-caption notices, not message codes.
SettingsLoad load_settings(const std::filesystem::path& file, Settings& settings, FitsText& fits,
                           Messages& messages);

// The load when the program starts: a missing file is a first start, not a
// fault, even where its folder exists already (made by automatic saving,
// say): the file is written with the values in memory (the defaults) without
// a word. A file that is there is loaded as load_settings loads it, a
// damaged one with its warning.
SettingsLoad load_settings_at_start(const std::filesystem::path& file, Settings& settings,
                                    FitsText& fits, Messages& messages);

// Writes the settings file. The previous file stays as it was on failure.
FileSave save_settings(const std::filesystem::path& file, const Settings& settings,
                       const FitsText& fits);

// The whole file image of the settings, exactly as save_settings writes it.
std::array<std::uint8_t, SETTINGS_FILE_SIZE> settings_bytes(const Settings& settings,
                                                            const FitsText& fits);

}  // namespace tarvex
