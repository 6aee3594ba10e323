// The termios adapter of the serial port: POSIX serial devices, USB-serial
// adapters and pseudo-terminals, opened raw and never blocking. Every wait
// (for a reply, or for room to write) polls the descriptor without a
// time-out in a loop that reads the program's Clock, so time-outs are clock
// time, a silent mount never holds the program, and on a clock that steps
// simulators the simulated mount gets its turn while the program waits.
//
// The read rule of gets(port, buffer, n):
// - it takes what has arrived, and returns as soon as it has n characters;
//   it never returns more than n;
// - while nothing has arrived since the last write to the port (or the last
//   expect_reply), it waits for the mount's reply until REPLY_WAIT_MS after
//   that write;
// - once characters have arrived since that write, it stops when no new one
//   has come for the character gap: GAP_MS, or three character times at
//   slow rates. GAP_MS is longer than the 16 ms for which the common
//   USB-serial adapters gather bytes before handing them on, so a reply
//   that comes in such chunks is read whole;
// - in all it never waits longer than REPLY_WAIT_MS + n character times +
//   the gap after it started.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ports.h"
#include "platform/serial_port.h"

namespace tarvex {

class TermiosSerialPort : public SerialPort {
 public:
  static constexpr int PORT_COUNT = 5;
  static constexpr std::uint32_t REPLY_WAIT_MS = 200;
  static constexpr std::uint32_t GAP_MS = 25;
  // Longest wait for room in the transmit queue before a write fails.
  static constexpr std::uint32_t WRITE_WAIT_MS = 1000;

  // `device_for` names the device of "Com Port n" (n = 1..5).
  using DeviceNamer = std::function<std::string(int com_port)>;
  TermiosSerialPort(Clock& clock, DeviceNamer device_for);
  ~TermiosSerialPort() override;
  TermiosSerialPort(const TermiosSerialPort&) = delete;
  TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

  int reset(int port, int rx_queue, int tx_queue) override;
  int baud(int port, int code) override;
  int parms(int port, int parity, int stop_bits, int data_bits) override;
  int dtr(int port, char command) override;
  int rts(int port, char command) override;
  int puts(int port, const char* text, int length) override;
  int putc(int port, std::uint8_t byte) override;
  int gets(int port, char* buffer, int length) override;
  int expect_reply(int port) override;
  int rx_clear(int port) override;
  int done(int port) override;

  std::string last_failure() const override { return last_failure_; }

  // While it waits for a reply or for room to write, the port handles the
  // program's pending events through `pump` (none by default), so that a
  // window stays alive however long the mount takes. Operations started by
  // those events must not use the port meanwhile: the program's windows
  // start no second telescope operation while one runs.
  void set_pump(EventPump* pump) { pump_ = pump; }

  // The device behind `port` at its last reset.
  std::string device(int port) const;

  // Milliseconds one character takes at a baud code (ten bits a character).
  static std::uint32_t character_ms(int baud_code);

 private:
  struct Line {
    int fd = -1;
    int baud_code = BAUD_9600;
    std::string device;
    bool written = false;  // something was written since the reset
    std::uint32_t last_write = 0;
    bool heard = false;  // a character arrived since the last write
    std::uint32_t last_heard = 0;
  };
  Line* open_line(int port);
  int fail(int error_number, const char* what);
  int set_lines(int port, int bits, char command);
  void pump_events();

  Clock& clock_;
  DeviceNamer device_for_;
  std::array<Line, PORT_COUNT> lines_;
  std::string last_failure_;
  EventPump* pump_ = nullptr;
  bool pumping_ = false;
};

}  // namespace tarvex
