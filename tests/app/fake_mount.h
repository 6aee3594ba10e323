// A mount for tests: it does everything the port offers at once, in memory,
// and logs what it was asked.
#pragma once

#include <string>
#include <vector>

#include "scope/mount.h"

namespace tarvex {

class FakeMount final : public Mount {
 public:
  MountCapabilities capabilities() const override { return caps; }
  ScopeResult open() override { return log.push_back("open"), ScopeResult::Done; }
  ScopeResult reset() override { return log.push_back("reset"), ScopeResult::Done; }
  GotoResult goto_coordinates(const Coordinates& t) override {
    log.push_back("goto");
    position = to_position(t);
    return {};
  }
  GotoResult goto_object(Catalogue, int) override {
    return log.push_back("goto object"), GotoResult{};
  }
  ScopeResult sync(const Coordinates& t) override {
    log.push_back("sync");
    position = to_position(t);
    return ScopeResult::Done;
  }
  ScopeResult abort() override {
    return moving_ = false, log.push_back("abort"), ScopeResult::Done;
  }
  void set_rate(MoveRate rate) override { rate_ = rate; }
  ScopeResult move(Direction) override {
    if (moving_) return ScopeResult::Ignored;
    moving_ = true;
    log.push_back("move");
    return ScopeResult::Done;
  }
  ScopeResult stop() override { return moving_ = false, log.push_back("stop"), ScopeResult::Done; }
  MoveRate rate() const override { return rate_; }
  bool moving() const override { return moving_; }
  ScopeResult pulse(Direction, std::uint32_t ms, PulseEnd) override {
    log.push_back("pulse " + std::to_string(ms));
    return ScopeResult::Done;
  }
  ScopeResult read_position(MountPosition& out) override {
    out = position;
    return ScopeResult::Done;
  }
  ScopeResult read_object_info() override { return ScopeResult::Done; }
  std::string object_info() const override { return "FAKE"; }
  void set_focus_speed(bool fast) override { fast_ = fast; }
  ScopeResult focus(bool) override { return focusing_ = true, ScopeResult::Done; }
  ScopeResult focus_stop() override { return focusing_ = false, ScopeResult::Done; }
  bool focus_fast() const override { return fast_; }
  bool focusing() const override { return focusing_; }

  MountCapabilities caps{true, true, true, true, true, false, 60, 60};

  static MountPosition to_position(const Coordinates& t) {
    const double dec = t.dec_degrees + t.dec_minutes / 60.0;
    return {t.ra_hours + t.ra_minutes / 60.0, t.dec_negative ? -dec : dec};
  }

  std::vector<std::string> log;
  MountPosition position;

 private:
  MoveRate rate_ = MoveRate::Guide;
  bool moving_ = false;
  bool fast_ = false;
  bool focusing_ = false;
};

}  // namespace tarvex
