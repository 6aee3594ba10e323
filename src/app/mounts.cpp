#include "app/mounts.h"

#include <sys/stat.h>

#include "app/indi_mount.h"
#include "app/telescope.h"

namespace tarvex {

// The go-to and sync texts carry whole minutes of right ascension and of
// declination; positions go to the second in high precision, to a tenth of
// a minute and the arc minute in low.
MountCapabilities Lx200Mount::capabilities() const {
  MountCapabilities c;
  c.go_to = c.sync = c.read_position = c.focus = true;
  c.ra_step_seconds = 60;
  c.dec_step_arcsec = 60;
  c.position_ra_step_seconds = takes_high_precision_ ? 1 : 6;
  c.position_dec_step_arcsec = takes_high_precision_ ? 1 : 60;
  c.autoguide = link_type(app_) != LinkType::None;
  return c;
}

ScopeResult Lx200Mount::open() {
  return ensure_link_open(app_);
}

GotoResult Lx200Mount::goto_coordinates(const Coordinates& target) {
  return tarvex::goto_coordinates(app_, target);
}

GotoResult Lx200Mount::goto_object(Catalogue catalogue, int number) {
  return tarvex::goto_object(app_, catalogue, number);
}

ScopeResult Lx200Mount::sync(const Coordinates& target) {
  return sync_coordinates(app_, target);
}

GotoResult Lx200Mount::goto_position(const MountPosition& target) {
  bool high = takes_high_precision_;
  GotoResult result = tarvex::goto_position(app_, target, high);
  if (result.status != ScopeResult::LinkFailed && result.status != ScopeResult::SerialError)
    takes_high_precision_ = high;
  return result;
}

ScopeResult Lx200Mount::sync_position(const MountPosition& target) {
  bool high = takes_high_precision_;
  const ScopeResult result = tarvex::sync_position(app_, target, high);
  if (result != ScopeResult::LinkFailed && result != ScopeResult::SerialError)
    takes_high_precision_ = high;
  return result;
}

ScopeResult Lx200Mount::abort() {
  return abort_lx200(app_);
}

void Lx200Mount::set_rate(MoveRate rate) {
  set_move_rate(app_, rate);
}

ScopeResult Lx200Mount::move(Direction direction) {
  return press_lx200_move(app_, direction);
}

ScopeResult Lx200Mount::stop() {
  return release_lx200_move(app_);
}

// The rate is kept as the LX200 command that sets it.
MoveRate Lx200Mount::rate() const {
  const std::string& r = app_.telescope.rate_command;
  if (r == LX200_RATE_SLEW) return MoveRate::Slew;
  if (r == LX200_RATE_FIND) return MoveRate::Find;
  if (r == LX200_RATE_CENTRE) return MoveRate::Centre;
  return MoveRate::Guide;
}

bool Lx200Mount::moving() const {
  return app_.telescope.move_running;
}

ScopeResult Lx200Mount::pulse(Direction direction, std::uint32_t ms, PulseEnd end) {
  return guide_pulse(app_, direction, ms, end);
}

ScopeResult Lx200Mount::read_position(MountPosition& out) {
  return tarvex::read_position(app_, out);
}

ScopeResult Lx200Mount::read_site(double& latitude, double& longitude_east) {
  return tarvex::read_site(app_, latitude, longitude_east);
}

ScopeResult Lx200Mount::read_object_info() {
  return tarvex::read_object_info(app_);
}

std::string Lx200Mount::object_info() const {
  return app_.telescope.object_info;
}

void Lx200Mount::set_focus_speed(bool fast) {
  tarvex::set_focus_speed(app_, fast);
}

ScopeResult Lx200Mount::focus(bool inward) {
  return press_focus(app_, inward);
}

ScopeResult Lx200Mount::focus_stop() {
  return release_focus(app_);
}

bool Lx200Mount::focus_fast() const {
  return app_.telescope.focus_speed == LX200_FOCUS_FAST;
}

bool Lx200Mount::focusing() const {
  return app_.telescope.focus_running;
}

MountCapabilities ControlBoxMount::capabilities() const {
  MountCapabilities c;
  c.relays = true;
  return c;
}

ScopeResult ControlBoxMount::open() {
  return ensure_link_open(app_);
}

ScopeResult ControlBoxMount::reset() {
  return reset_control_box(app_);
}

bool ControlBoxMount::moving() const {
  return app_.telescope.move_running;
}

ScopeResult ControlBoxMount::abort() {
  return release_box_move(app_);
}

ScopeResult ControlBoxMount::move(Direction direction) {
  return press_box_move(app_, direction);
}

ScopeResult ControlBoxMount::stop() {
  return release_box_move(app_);
}

ScopeResult ControlBoxMount::pulse(Direction direction, std::uint32_t ms, PulseEnd end) {
  return guide_pulse(app_, direction, ms, end);
}

Mount& lx200_mount(Tarvex& app) {
  if (!app.lx200_mount) app.lx200_mount = std::make_unique<Lx200Mount>(app);
  return *app.lx200_mount;
}

Mount& control_box_mount(Tarvex& app) {
  if (!app.box_mount) app.box_mount = std::make_unique<ControlBoxMount>(app);
  return *app.box_mount;
}

Mount& current_mount(Tarvex& app) {
  if (const auto choice = indi_choice(app)) return indi_mount(app, *choice);
  return link_type(app) == LinkType::ControlBox ? control_box_mount(app) : lx200_mount(app);
}

Mount& goto_window_mount(Tarvex& app) {
  if (const auto choice = indi_choice(app)) return indi_mount(app, *choice);
  return lx200_mount(app);
}

Mount& indi_mount(Tarvex& app, const IndiMountChoice& choice) {
  auto* kept = dynamic_cast<IndiMount*>(app.indi_mount.get());
  if (kept == nullptr || !(kept->choice() == choice))
    app.indi_mount = std::make_unique<IndiMount>(app, choice);
  return *app.indi_mount;
}

LinkType chosen_link_type(const Tarvex& app) {
  return indi_choice(app) ? LinkType::Indi : app.settings.telescope_type;
}

bool indi_chosen_in(const MoreSettings& settings) {
  return settings.text("mount.link") == "indi";
}

IndiMountChoice indi_choice_in(const MoreSettings& settings) {
  return {settings.text("indi.server"), settings.text("indi.mount")};
}

bool store_indi_choice(MoreSettings& settings, bool chosen, const IndiMountChoice& choice) {
  std::string host;
  int port = 0;
  if (!parse_indi_server(choice.server, host, port)) return false;
  MoreSettings changed = settings;
  if (changed.set("indi.server", choice.server) != SettingChange::Set ||
      changed.set("indi.mount", choice.device) != SettingChange::Set ||
      changed.set("mount.link", chosen ? "indi" : "settings") != SettingChange::Set)
    return false;
  settings = changed;
  return true;
}

std::optional<IndiMountChoice> indi_choice(const Tarvex& app) {
  if (app.indi_override) return app.indi_override;
  if (app.telescope.link_type_override) return std::nullopt;
  // The small settings file is read again only once it was written anew.
  // (A save replaces the file, so its inode tells a new one apart even
  // within one tick of the file system's clock.)
  auto& stored = app.indi_stored;
  const std::filesystem::path file = app.paths.more_settings_file();
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    stored = {};
    return std::nullopt;
  }
  const Tarvex::StoredIndiChoice::Stamp stamp{st.st_ino, st.st_size, st.st_mtim.tv_sec,
                                              st.st_mtim.tv_nsec};
  if (!stored.read || !(stored.written == stamp)) {
    const MoreSettingsLoad load = load_more_settings(file);
    stored.read = true;
    stored.written = stamp;
    stored.choice.reset();
    if (indi_chosen_in(load.settings)) stored.choice = indi_choice_in(load.settings);
  }
  return stored.choice;
}

}  // namespace tarvex
