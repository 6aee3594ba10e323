#include "app/program_defaults.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "app/mounts.h"
#include "platform/messages.h"

namespace tarvex {

namespace {

std::int16_t clamp16(int v, int lo, int hi) {
  return static_cast<std::int16_t>(std::clamp(v, lo, hi));
}

}  // namespace

Reported ProgramDefaultsModel::open() {
  if (!more_file_.empty()) {
    more_ = load_more_settings(more_file_).settings;
    indi_chosen_ = indi_chosen_in(more_);
    indi_ = indi_choice_in(more_);
  }
  if (!settings_load_failed(load_settings(file_, s_, fits_, messages_))) return {};
  show_message(messages_, Msg::SettingsLoadFailed);
  return Msg::SettingsLoadFailed;
}

Reported ProgramDefaultsModel::save_changes() {
  bool saved = save_settings(file_, s_, fits_) == FileSave::Ok;
  if (saved && !more_file_.empty()) {
    // A server that is not HOST:PORT is not stored; the box says so.
    saved = store_indi_choice(more_, indi_chosen_, indi_) &&
            save_more_settings(more_file_, more_) == FileSave::Ok;
  }
  if (saved) return {};
  show_message(messages_, Msg::SettingsSaveFailed);
  return Msg::SettingsSaveFailed;
}

void ProgramDefaultsModel::set_guide_algorithm(std::string_view name) {
  more_.set("guide.algorithm", name);
}

void ProgramDefaultsModel::toggle_dither_ra_only() {
  more_.set("guide.dither-axes", dither_ra_only() ? "both" : "ra");
}

bool ProgramDefaultsModel::set_guide_field(std::string_view key, std::string_view text) {
  const KnownSetting* known = find_setting(key);
  const auto field =
      std::find_if(std::begin(GUIDE_DEFAULTS_FIELDS), std::end(GUIDE_DEFAULTS_FIELDS),
                   [key](const GuideDefaultsField& f) { return f.key == key; });
  if (known == nullptr || field == std::end(GUIDE_DEFAULTS_FIELDS)) return false;
  if (more_.text(key) == text || more_.set(key, text) == SettingChange::Set) return true;
  char range[160];
  std::snprintf(range, sizeof range, "%s from %g to %g",
                known->kind == SettingKind::Integer ? "a whole number" : "a number", known->min,
                known->max);
  show_message(messages_, Msg::CallerText,
               std::string(field->label) + ": '" + std::string(text) + "' is refused; give " +
                   range + ". The value " + more_.text(key) + " is kept.");
  return false;
}

void ProgramDefaultsModel::set_guide_mask_radius(int pixels) {
  if (pixels == 7 || pixels == 8 || pixels == 9 || pixels == 11 || pixels == 13 || pixels == 15)
    s_.guide_mask_radius = static_cast<std::int16_t>(pixels);
}

void ProgramDefaultsModel::set_telescope_type(LinkType type) {
  indi_chosen_ = type == LinkType::Indi;
  if (indi_chosen_) return;
  s_.telescope_type = type;
  if (type != LinkType::Lx200) s_.dedicated_com_port = true;
}

void ProgramDefaultsModel::choose_com_port(int n) {
  if (n < 1 || n > 5) return;
  s_.dedicated_com_port = true;
  s_.com_port = static_cast<std::int16_t>(n);
}

void ProgramDefaultsModel::set_guide_training_time(int seconds) {
  if (seconds == 1 || seconds == 2 || seconds == 4)
    s_.guide_training_time = static_cast<std::int16_t>(seconds);
}

void ProgramDefaultsModel::set_slew_values(int ra_pps, int dec_pps, int ra_backlash,
                                           int dec_backlash, int ra_hysteresis,
                                           int dec_hysteresis) {
  s_.ra_pixels_per_sec = clamp16(ra_pps, -32768, 32767);
  s_.dec_pixels_per_sec = clamp16(dec_pps, -32768, 32767);
  // The backlash values are kept within 0..20, the range the settings file
  // accepts; a value outside it would make the next start rewrite the file
  // and lose every later setting.
  s_.ra_backlash = clamp16(ra_backlash, 0, 20);
  s_.dec_backlash = clamp16(dec_backlash, 0, 20);
  s_.ra_hysteresis = clamp16(ra_hysteresis, 0, 20);
  s_.dec_hysteresis = clamp16(dec_hysteresis, 0, 20);
}

void ProgramDefaultsModel::swap_north_south() {
  s_.drive_directions.north_south_swapped = !s_.drive_directions.north_south_swapped;
}

void ProgramDefaultsModel::swap_east_west() {
  s_.drive_directions.east_west_swapped = !s_.drive_directions.east_west_swapped;
}

void ProgramDefaultsModel::set_autosave_subdir(std::string_view name) {
  s_.autosave_subdir.assign(name.substr(0, SETTINGS_SUBDIR_SIZE));
}

}  // namespace tarvex
