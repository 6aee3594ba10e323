// The mounts behind the mount port on the serial link: an LX200 and the
// guider control box, each sending exactly the bytes of the telescope
// operations (app/telescope.h) it is made of, and the choice between them by
// the link type in effect.
#pragma once

#include <optional>

#include "app/indi_choice.h"
#include "app/tarvex.h"
#include "files/more_settings.h"
#include "scope/mount.h"

namespace tarvex {

// A "Meade LX200 (Tm)" mount: go-to, sync, position, moves at four rates,
// guide pulses and the focuser. With link type none (the LX200 port open, no
// mount chosen) its pulses go in the control box's form, as they always have.
class Lx200Mount final : public Mount {
 public:
  explicit Lx200Mount(Tarvex& app) : app_(app) {}
  MountCapabilities capabilities() const override;
  ScopeResult open() override;
  ScopeResult reset() override { return ScopeResult::Done; }
  GotoResult goto_coordinates(const Coordinates& target) override;
  GotoResult goto_object(Catalogue catalogue, int number) override;
  ScopeResult sync(const Coordinates& target) override;
  GotoResult goto_position(const MountPosition& target) override;
  ScopeResult sync_position(const MountPosition& target) override;
  ScopeResult abort() override;
  void set_rate(MoveRate rate) override;
  ScopeResult move(Direction direction) override;
  ScopeResult stop() override;
  MoveRate rate() const override;
  bool moving() const override;
  ScopeResult pulse(Direction direction, std::uint32_t ms, PulseEnd end) override;
  ScopeResult read_position(MountPosition& out) override;
  ScopeResult read_site(double& latitude, double& longitude_east) override;
  ScopeResult read_object_info() override;
  std::string object_info() const override;
  void set_focus_speed(bool fast) override;
  ScopeResult focus(bool inward) override;
  ScopeResult focus_stop() override;
  bool focus_fast() const override;
  bool focusing() const override;

 private:
  Tarvex& app_;
  // Cleared once the mount was found to stay in low precision.
  bool takes_high_precision_ = true;
};

// The guider control box: it closes direction relays and nothing more, so
// it moves, stops and pulses; everything else is Unsupported and sends
// nothing. Its abort opens every relay; its reset drops and raises the
// port's lines and sends the box its reset bytes.
class ControlBoxMount final : public Mount {
 public:
  explicit ControlBoxMount(Tarvex& app) : app_(app) {}
  MountCapabilities capabilities() const override;
  ScopeResult open() override;
  ScopeResult reset() override;
  GotoResult goto_coordinates(const Coordinates&) override { return unsupported(); }
  GotoResult goto_object(Catalogue, int) override { return unsupported(); }
  ScopeResult sync(const Coordinates&) override { return ScopeResult::Unsupported; }
  ScopeResult abort() override;
  void set_rate(MoveRate) override {}
  ScopeResult move(Direction direction) override;
  ScopeResult stop() override;
  MoveRate rate() const override { return MoveRate::Guide; }
  bool moving() const override;
  ScopeResult pulse(Direction direction, std::uint32_t ms, PulseEnd end) override;
  ScopeResult read_position(MountPosition&) override { return ScopeResult::Unsupported; }
  ScopeResult read_object_info() override { return ScopeResult::Unsupported; }
  std::string object_info() const override { return {}; }
  void set_focus_speed(bool) override {}
  ScopeResult focus(bool) override { return ScopeResult::Unsupported; }
  ScopeResult focus_stop() override { return ScopeResult::Unsupported; }
  bool focus_fast() const override { return false; }
  bool focusing() const override { return false; }

 private:
  static GotoResult unsupported() { return {ScopeResult::Unsupported, 0, {}}; }
  Tarvex& app_;
};

// The mount of the link type in effect: the INDI mount when one is in
// effect, the control box for its link type, the LX200 otherwise (the form
// the telescope windows and moves have always used).
Mount& current_mount(Tarvex& app);
// The mount the go-to window drives: the INDI mount when one is in effect,
// else the LX200.
Mount& goto_window_mount(Tarvex& app);

// The kind of mount chosen, for what the menus enable: the INDI mount when
// one is in effect, else the settings' link (whether or not it opened).
LinkType chosen_link_type(const Tarvex& app);

// The INDI mount in effect: the one given for this run, else the one the
// small settings file chooses (mount.link = indi), unless this run names a
// serial link; nothing when the serial link serves.
std::optional<IndiMountChoice> indi_choice(const Tarvex& app);
// The INDI mount of `choice`, made afresh when the choice changed.
Mount& indi_mount(Tarvex& app, const IndiMountChoice& choice);

// The INDI choice as the small settings file keeps it: whether it is the
// mount in use, the server and the device.
bool indi_chosen_in(const MoreSettings& settings);
IndiMountChoice indi_choice_in(const MoreSettings& settings);
// Stores the choice; false (and nothing changed) when the server is not
// HOST:PORT or a value cannot be written.
bool store_indi_choice(MoreSettings& settings, bool chosen, const IndiMountChoice& choice);
// The two serial mounts themselves, for a window made for one of them.
Mount& lx200_mount(Tarvex& app);
Mount& control_box_mount(Tarvex& app);

}  // namespace tarvex
