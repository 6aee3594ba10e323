// Ports: the small interfaces through which the core reaches the desktop and
// the hardware. The Qt user interface, the command-line tool, the simulators
// and the tests each plug their own adapters in behind them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

enum class BoxIcon { None, Stop, Warning, Information };

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
};

// Millisecond ticks (like the system millisecond clock) and the system beep.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint32_t now_ms() = 0;
  virtual void beep() = 0;
};

// Keeps the window alive during long work and reports presses that abort.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void pump() = 0;
  // True once a key or a left or right mouse button was pressed since the
  // last call to clear_abort().
  virtual bool abort_requested() = 0;
  virtual void clear_abort() = 0;
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
