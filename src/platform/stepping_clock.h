// A clock that lets simulators take their turn whenever the program reads
// the time. The simulated mount serves its end of a pseudo-terminal this
// way: on the program's own thread, at the times the program sees, so a run
// on a virtual clock is repeatable and waiting loops give the mount its turn.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#include "platform/ports.h"

namespace tarvex {

class ClockListener {
 public:
  virtual ~ClockListener() = default;
  virtual void on_clock(std::uint32_t now_ms) = 0;
};

class SteppingClock : public Clock {
 public:
  explicit SteppingClock(Clock& inner) : inner_(inner) {}

  void add_listener(ClockListener& listener) { listeners_.push_back(&listener); }
  void remove_listener(ClockListener& listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener),
                     listeners_.end());
  }

  std::uint32_t now_ms() override {
    const std::uint32_t now = inner_.now_ms();
    // A listener that reads the clock itself does not step the others again.
    if (!stepping_) {
      stepping_ = true;
      for (ClockListener* l : listeners_) l->on_clock(now);
      stepping_ = false;
    }
    return now;
  }
  std::time_t wall_time() override { return inner_.wall_time(); }
  void beep() override { inner_.beep(); }
  // Lets the time pass in slices of at most 10 ms, the simulators taking
  // their turn after each, as they would in a waiting loop.
  void sleep_ms(std::uint32_t ms) override {
    const std::uint32_t end = inner_.now_ms() + ms;
    for (std::uint32_t now = now_ms(); static_cast<std::int32_t>(now - end) < 0; now = now_ms())
      inner_.sleep_ms(std::min<std::uint32_t>(end - now, 10));
  }

 private:
  Clock& inner_;
  std::vector<ClockListener*> listeners_;
  bool stepping_ = false;
};

}  // namespace tarvex
