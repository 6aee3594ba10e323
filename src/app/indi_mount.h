// A mount on the INDI network: any telescope an `indiserver` serves, driven
// through the mount port like the LX200 and the control box. It talks to the
// server at HOST:PORT as an INDI client and drives the one device named.
//
// Nothing is connected until the mount is first used, so the program starts
// without a server. The INDI library reads the server on its own thread;
// every property the mount uses is copied out there under a lock, and the
// program's thread only ever looks at those copies. Every wait (the
// connection, the device's properties, an acknowledgement, a slew) has an
// end; a server that is gone or a device that stays silent gives the
// telescope message "Communication with telescope failed" and the call
// returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/indi_choice.h"
#include "app/tarvex.h"
#include "scope/mount.h"

namespace tarvex {

// "HOST:PORT" (or "HOST", which takes INDI's port 7624) into its parts;
// false for an empty host or a port outside 1..65535.
bool parse_indi_server(std::string_view text, std::string& host, int& port);

// How long each wait may last, in milliseconds.
struct IndiWaits {
  std::uint32_t connect_ms = 5000;  // the server's socket
  std::uint32_t define_ms = 8000;   // the device's properties, its connection
  std::uint32_t reply_ms = 5000;    // the device's answer to a command
  std::uint32_t slew_ms = 240000;   // a go-to to its end
};

class IndiClientLink;

class IndiMount final : public Mount {
 public:
  IndiMount(Tarvex& app, IndiMountChoice choice, IndiWaits waits = {});
  ~IndiMount() override;
  IndiMount(const IndiMount&) = delete;
  IndiMount& operator=(const IndiMount&) = delete;

  const IndiMountChoice& choice() const { return choice_; }

  MountCapabilities capabilities() const override;
  ScopeResult open() override;
  ScopeResult reset() override { return ScopeResult::Done; }
  // A go-to returns once the mount reports the slew ended (or an
  // interruption stops it, with an abort sent).
  GotoResult goto_coordinates(const Coordinates& target) override;
  GotoResult goto_object(Catalogue catalogue, int number) override;
  ScopeResult sync(const Coordinates& target) override;
  GotoResult goto_position(const MountPosition& target) override;
  ScopeResult sync_position(const MountPosition& target) override;
  ScopeResult abort() override;
  void set_rate(MoveRate rate) override { rate_ = rate; }
  ScopeResult move(Direction direction) override;
  ScopeResult stop() override;
  MoveRate rate() const override { return rate_; }
  bool moving() const override { return moving_; }
  // The mount times the pulse itself; the call returns when the mount
  // reports it ended (or at a stop request, when asked to).
  ScopeResult pulse(Direction direction, std::uint32_t ms, PulseEnd end) override;
  ScopeResult read_position(MountPosition& out) override;
  ScopeResult read_object_info() override;
  std::string object_info() const override { return object_info_; }
  // INDI focusers are devices of their own: this mount drives none.
  void set_focus_speed(bool) override {}
  ScopeResult focus(bool) override { return ScopeResult::Unsupported; }
  ScopeResult focus_stop() override { return ScopeResult::Unsupported; }
  bool focus_fast() const override { return false; }
  bool focusing() const override { return false; }

  // How many guide pulses the mount acknowledged since the mount was made.
  std::uint64_t pulses_acknowledged() const { return pulses_acknowledged_; }

 private:
  enum class Wait { Met, TimedOut, Lost, Stopped };
  template <typename Met>
  Wait wait(std::uint32_t ms, bool stoppable, Met met);
  GotoResult slew_to(double ra_hours, double dec_degrees);
  ScopeResult sync_to(double ra_hours, double dec_degrees);
  // Reports the telescope message once for a lost server or a silent device.
  ScopeResult failed(Wait why);
  // The direction after the drive swap settings.
  Direction swapped(Direction direction) const;

  Tarvex& app_;
  IndiMountChoice choice_;
  IndiWaits waits_;
  std::unique_ptr<IndiClientLink> link_;
  MoveRate rate_ = MoveRate::Centre;
  bool moving_ = false;
  Direction moving_direction_ = Direction::North;
  std::string object_info_;
  std::uint64_t pulses_acknowledged_ = 0;
};

}  // namespace tarvex
