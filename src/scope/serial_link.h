// The state of the telescope's serial link, and the one check every serial
// call of a telescope operation goes through.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/settings_choices.h"
#include "platform/ports.h"
#include "platform/serial_port.h"
#include "scope/direction_block.h"
#include "scope/lx200.h"

namespace tarvex {

inline constexpr int SERIAL_QUEUE_SIZE = 1024;

struct SerialLink {
  // The port the front end chose (the termios adapter, on a real device or
  // on the simulated mount's pseudo-terminal). Without one every call fails.
  SerialPort* port = nullptr;

  // Set once the link has been opened; it stays set for the rest of the run.
  bool link_open = false;
  // True while the port itself is open. A serial error closes the port and
  // clears this, and the next telescope operation opens it again.
  bool port_open = false;
  // The port was opened for the control box (300 baud) rather than for an
  // LX200 (9600 baud).
  bool port_for_box = false;
  // The LX200 link could not be opened: the link type counts as none until
  // the settings are next reloaded. Kept here, never in the settings, so a
  // passing failure cannot end up in the settings file.
  bool lx200_failed = false;
  // Command-line choices for this run only (never written to the file).
  std::optional<LinkType> link_type_override;
  std::optional<int> com_port_override;

  DirectionBlock directions;
  bool move_running = false;   // a press-and-hold telescope move is on
  bool focus_running = false;  // a press-and-hold focus move is on
  std::uint32_t pulse_ms = 0;  // duration of the next timed guide pulse
  std::string rate_command = LX200_RATE_SLEW;
  std::string focus_speed = LX200_FOCUS_SLOW;
  std::string object_info;  // up to 33 characters read from the mount
};

// One operation's use of the port. Every call goes through one check: a
// negative result reports message 50 "ERROR n " with the error number,
// closes the port and fails the session. Once failed, the remaining calls
// send and read nothing, so one failure gives one box, not one per byte.
class SerialSession {
 public:
  SerialSession(SerialLink& link, Messages& messages);

  bool ok() const { return ok_; }
  int port() const { return port_; }

  bool reset();
  bool baud(int code);
  bool dtr(char command);
  bool rts(char command);
  // Not checked: the open reports a refusal in its own words.
  int parms(int parity, int stop_bits, int data_bits);
  bool puts(std::string_view text);
  bool putc(std::uint8_t byte);
  // Up to n characters, as the port's read rule delivers them.
  std::string gets(int n);
  // Up to n characters of a text the mount may close with `terminator`:
  // the read stops after it, so what the mount sends next is left for the
  // next read.
  std::string gets_through(int n, char terminator);
  // The next read waits for a new reply (SerialPort::expect_reply).
  bool expect_reply();
  bool rx_clear();
  // Closes the port without a message.
  void close();

 private:
  bool check(int result);

  SerialLink& link_;
  Messages& messages_;
  SerialPort& serial_;
  int port_;
  bool ok_ = true;
};

}  // namespace tarvex
