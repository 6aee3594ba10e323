// The ports' own behaviour: which input arrived and when it is cleared, and
// the wall time of the clock adapters.
#include "platform/ports.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/basic_ports.h"

namespace tarvex {
namespace {

// Runs passes of `pass_ms` on the virtual clock, pumping once per pass, until
// `stop` says so; returns the clock time of the pass that stopped (or 0 after
// `max_passes`).
template <typename Stop>
std::uint32_t run_passes(VirtualClock& clock, EventPump& pump, std::uint32_t pass_ms,
                         int max_passes, Stop stop) {
  for (int i = 0; i < max_passes; ++i) {
    clock.advance(pass_ms);
    pump.pump();
    if (stop()) return clock.now_ms();
  }
  return 0;
}

// Sets TZ for the life of the object, then puts back what was there.
class ZoneForTest {
 public:
  explicit ZoneForTest(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) saved_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneForTest() {
    if (had_)
      ::setenv("TZ", saved_.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }

 private:
  bool had_ = false;
  std::string saved_;
};

TEST(EventPump, TellsWhichInputArrivedAndForgetsWhatWasTaken) {
  NullPump pump;
  EXPECT_FALSE(pump.abort_requested());
  pump.press(Input::Key);
  pump.press(Input::RightButton);
  EXPECT_TRUE(pump.pending().has(Input::Key));
  EXPECT_TRUE(pump.pending().has(Input::RightButton));
  EXPECT_FALSE(pump.pending().has(Input::LeftButton));
  EXPECT_FALSE(pump.pending().has(Input::None));
  EXPECT_TRUE(pump.abort_requested());

  // Taking an input that did not arrive changes nothing.
  EXPECT_FALSE(pump.take(Input::LeftButton));
  EXPECT_EQ(pump.pending(), Inputs(Input::Key) | Input::RightButton);
  // A taken input is gone; the others wait for their own takers.
  EXPECT_TRUE(pump.take(Input::RightButton));
  EXPECT_FALSE(pump.take(Input::RightButton));
  EXPECT_EQ(pump.pending(), Inputs(Input::Key));
  // Two presses of one button before anyone looks are one arrival.
  pump.press(Input::LeftButton);
  pump.press(Input::LeftButton);
  EXPECT_TRUE(pump.take(Input::LeftButton));
  EXPECT_FALSE(pump.pending().has(Input::LeftButton));
  pump.clear();
  EXPECT_FALSE(pump.abort_requested());
  EXPECT_EQ(pump.pending(), Inputs());
}

TEST(EventPump, ScriptedPressesArriveOnTheFirstPassAtTheirTime) {
  {
    // Nothing arrives before a pass handles the events, even when its time is past.
    VirtualClock clock(0);
    ScriptedPump pump(clock);
    pump.press_at(10, Input::Key);
    clock.advance(50);
    EXPECT_FALSE(pump.abort_requested());
    pump.pump();
    EXPECT_EQ(pump.pending(), Inputs(Input::Key));
  }
  VirtualClock clock(0);
  ScriptedPump pump(clock);
  pump.press_at(1500, Input::Key);
  pump.press_at(2500, Input::RightButton);
  pump.press_at(4200, Input::LeftButton);
  pump.press_at(9000, Input::LeftButton);

  // A loop that stops on a left press only: keys and right presses pass
  // without stopping it, and are cleared as ignored.
  const std::uint32_t stopped = run_passes(clock, pump, 1000, 20, [&] {
    if (pump.take(Input::LeftButton)) return true;
    pump.clear();
    return false;
  });
  EXPECT_EQ(stopped, 5000u);
  EXPECT_EQ(pump.scripted(), 1u);

  // The press that ended that wait does not end the next one at once: the
  // next loop, which stops on any input, runs until the press at 9000 ms.
  const std::uint32_t next = run_passes(clock, pump, 1000, 20, [&] {
    if (!pump.abort_requested()) return false;
    pump.clear();
    return true;
  });
  EXPECT_EQ(next, 9000u);
  EXPECT_EQ(pump.scripted(), 0u);
  EXPECT_FALSE(pump.abort_requested());
}

TEST(Clock, WallTimeOfTheAdapters) {
  ZoneForTest zone("GMT0");
  const std::time_t march_5 = 1709672829;  // 2024-03-05 21:07:09 UT

  // The virtual clock's wall time moves on with its ticks, a second per 1000 ms.
  VirtualClock virtual_clock(0);
  virtual_clock.advance(700);
  virtual_clock.set_wall_time(march_5);
  EXPECT_EQ(virtual_clock.wall_time(), march_5);
  virtual_clock.advance(2500);
  EXPECT_EQ(virtual_clock.wall_time(), march_5 + 2);
  const std::tm shown = virtual_clock.local_time(0);
  EXPECT_EQ(shown.tm_hour, 21);
  EXPECT_EQ(shown.tm_min, 7);
  EXPECT_EQ(shown.tm_sec, 11);

  // The fixed clock keeps its calendar time, read in the zone of the offset
  // it follows when asked: the same local time is another instant in
  // another zone. The process time zone plays no part.
  std::tm given{};
  given.tm_year = 2024 - 1900;
  given.tm_mon = 2;
  given.tm_mday = 5;
  given.tm_hour = 21;
  given.tm_min = 7;
  given.tm_sec = 9;
  FixedWallClock fixed(given);
  EXPECT_EQ(fixed.wall_time(), march_5);
  std::int16_t offset = -2;  // two hours ahead of UT
  fixed.follow_zone(&offset);
  {
    ZoneForTest west("GMT7");
    EXPECT_EQ(fixed.wall_time(), march_5 - 7200);
    const std::tm local = fixed.local_time(offset);
    EXPECT_EQ(local.tm_hour, 21);
    EXPECT_EQ(local.tm_mday, 5);
    EXPECT_EQ(virtual_clock.local_time(offset).tm_hour, 23);
  }
  offset = 0;
  EXPECT_EQ(fixed.wall_time(), march_5);
  // Its ticks still run.
  const std::uint32_t t0 = fixed.now_ms();
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (fixed.now_ms() == t0 && std::chrono::steady_clock::now() < until) {
  }
  EXPECT_NE(fixed.now_ms(), t0);

  // The system clock's wall time is the calendar clock's.
  SteadyClock system;
  const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  EXPECT_NEAR(static_cast<double>(system.wall_time()), static_cast<double>(now), 2.0);
}

}  // namespace
}  // namespace tarvex
