// Ports: the small interfaces through which the core reaches the desktop and
// the hardware. The Qt user interface, the command-line tool, the simulators
// and the tests each plug their own adapters in behind them.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

enum class BoxIcon { None, Stop, Warning, Information };

// The answers to "save the changed image before closing?".
enum class SaveChoice { Save, Discard, Cancel };

// Message boxes. `message` shows a coded message from the table (caption
// "Tarvex", one OK button, no icon); `box` shows a box with its own caption.
class Messages {
 public:
  virtual ~Messages() = default;
  // Shows the already resolved text of message `code`. Returns 0 when the box
  // was closed normally, 2 if it reports a cancel.
  virtual int message(unsigned code, const std::string& text) = 0;
  virtual int box(const std::string& caption, const std::string& text, BoxIcon icon) = 0;
  // A Yes/No question; true for Yes.
  virtual bool ask_yes_no(const std::string& caption, const std::string& text) = 0;
  // A question with the buttons "Save", "Discard" and "Cancel". Adapters
  // without such a box ask Yes/No instead: Yes saves, No discards.
  virtual SaveChoice ask_save_discard_cancel(const std::string& caption, const std::string& text) {
    return ask_yes_no(caption, text) ? SaveChoice::Save : SaveChoice::Discard;
  }
};

// The calendar date and time of `t` in the zone the settings' UT offset
// names, "GMT" followed by the offset as a POSIX zone reads it: an offset of
// 5 is five hours behind UT, -2 two hours ahead. Worked out here rather than
// by setting the process time zone, which would change every other local
// time of the process.
inline std::tm calendar_in_zone(std::time_t t, int ut_offset_hours) {
  const std::time_t shifted = t - static_cast<std::time_t>(ut_offset_hours) * 3600;
  std::tm calendar{};
  gmtime_r(&shifted, &calendar);
  return calendar;
}

// The instant a calendar date and time of that zone names; an impossible
// date rolls over (31 February is 2 or 3 March).
inline std::time_t time_in_zone(std::tm calendar, int ut_offset_hours) {
  return timegm(&calendar) + static_cast<std::time_t>(ut_offset_hours) * 3600;
}

// Millisecond ticks (like the system millisecond clock), the wall-clock date
// and time, and the system beep.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint32_t now_ms() = 0;
  // Seconds since 1970-01-01 00:00 UT (the system calendar clock): the time
  // stamped on files and labels.
  virtual std::time_t wall_time() = 0;
  virtual void beep() = 0;
  // Lets `ms` milliseconds pass doing nothing else: the system clock sleeps,
  // a virtual clock moves on at once. Blocking work that takes time (the
  // simulated camera reading out a field) and waiting loops resting between
  // their passes use it. This default polls the ticks until they have moved
  // on that far.
  virtual void sleep_ms(std::uint32_t ms) {
    const std::uint32_t start = now_ms();
    while (now_ms() - start < ms) {
    }
  }

  // wall_time() as a calendar date and time in the zone of the settings' UT
  // offset (see calendar_in_zone).
  std::tm local_time(int ut_offset_hours) { return calendar_in_zone(wall_time(), ut_offset_hours); }
};

// The inputs that stop or steer a long operation: a key, or the left or the
// right mouse button pressed anywhere in the program's windows.
enum class Input : std::uint8_t { None = 0, Key = 1, LeftButton = 2, RightButton = 4 };

// A set of inputs.
class Inputs {
 public:
  constexpr Inputs() = default;
  // Implicit, so a single input can be passed where a set is taken.
  constexpr Inputs(Input one) : bits_(static_cast<std::uint8_t>(one)) {}
  static constexpr Inputs all() {
    return Inputs(Input::Key) | Inputs(Input::LeftButton) | Inputs(Input::RightButton);
  }
  constexpr bool has(Input one) const {
    return one != Input::None && (bits_ & static_cast<std::uint8_t>(one)) != 0;
  }
  constexpr bool any() const { return bits_ != 0; }
  constexpr Inputs operator|(Inputs other) const { return from_bits(bits_ | other.bits_); }
  constexpr Inputs without(Inputs other) const { return from_bits(bits_ & ~other.bits_); }
  constexpr bool operator==(const Inputs&) const = default;

 private:
  static constexpr Inputs from_bits(unsigned bits) {
    Inputs s;
    s.bits_ = static_cast<std::uint8_t>(bits & 7u);
    return s;
  }
  std::uint8_t bits_ = 0;
};

// Keeps the window alive during long work and tells which inputs arrived.
// pump() handles the window events waiting now and records the presses among
// them; a recorded input stays pending until an operation clears it, once it
// has acted on it. An operation that waits for input clears the pump when it
// starts, so the click that started it is not taken for an answer.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void pump() = 0;
  // The inputs recorded and not cleared yet.
  virtual Inputs pending() const = 0;
  // Forgets the given inputs (all of them by default).
  virtual void clear(Inputs which = Inputs::all()) = 0;

  // Any key or button press stops the operations that stop on any input.
  bool abort_requested() const { return pending().any(); }
  // True once for each arrival of `input`: it is cleared as it is taken, so a
  // press consumed by one wait does not also end the next. Other pending
  // inputs are left for their own takers.
  bool take(Input input) {
    if (!pending().has(input)) return false;
    clear(input);
    return true;
  }
};

// The "Filter Progress" window and the busy cursor.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void open(const std::string& caption) = 0;
  virtual void set_position(int position) = 0;  // 0..256; above 256 shows full
  virtual void close() = 0;
  virtual void busy_cursor(bool on) = 0;
};

// Starts a separate program and returns at once.
class Launcher {
 public:
  virtual ~Launcher() = default;
  virtual bool start_detached(const std::string& program, const std::vector<std::string>& args) = 0;
};

// The user-interface side of the display: the window title and the picture
// loaded back from the bitmap file that refresh_display wrote.
class DisplaySink {
 public:
  virtual ~DisplaySink() = default;
  virtual void set_title(const std::string& title) = 0;
  // `colour` tells whether the bitmap is 24-bit (system palette) or 8-bit
  // (palette from its colour table).
  virtual void reload_bitmap(const std::string& path, bool colour) = 0;
};

}  // namespace tarvex
