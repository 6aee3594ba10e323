// The serial port: the calls the telescope code makes to open, configure,
// write, read and close the port its mount or control box hangs on. Ports
// are numbered from 0 ("Com Port 1") to 4 ("Com Port 5"). Every call returns
// a negative error code on failure (the system's error number, negated).
// The termios adapter implements it for serial ports, USB-serial adapters
// and pseudo-terminals alike.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex {

// Baud codes of baud(): the rates the port offers, slowest first.
enum SerialBaud {
  BAUD_110 = 0,
  BAUD_300 = 1,
  BAUD_1200 = 2,
  BAUD_2400 = 3,
  BAUD_4800 = 4,
  BAUD_9600 = 5,
  BAUD_19200 = 6,
  BAUD_38400 = 7,
  BAUD_57600 = 8,
  BAUD_115200 = 9,
};

// Parity codes and stop-bit codes of parms().
enum SerialParity {
  PARITY_NONE = 0,
  PARITY_ODD = 1,
  PARITY_EVEN = 2,
  PARITY_MARK = 3,
  PARITY_SPACE = 4
};
enum SerialStopBits { STOP_BITS_ONE = 0, STOP_BITS_TWO = 1 };

// The line commands of dtr() and rts().
inline constexpr char LINE_SET = 'S';
inline constexpr char LINE_CLEAR = 'C';

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the port (closing it first when open) with receive and transmit
  // queues of the given sizes, raw, at 9600 baud 8N1 until told otherwise.
  virtual int reset(int port, int rx_queue, int tx_queue) = 0;
  virtual int baud(int port, int code) = 0;
  virtual int parms(int port, int parity, int stop_bits, int data_bits) = 0;
  // 'S' sets the line, 'C' clears it. A port without modem lines (a
  // pseudo-terminal) has nothing to set and answers 0.
  virtual int dtr(int port, char command) = 0;
  virtual int rts(int port, char command) = 0;
  // Writes `length` bytes; returns the number written.
  virtual int puts(int port, const char* text, int length) = 0;
  virtual int putc(int port, std::uint8_t byte) = 0;
  // Reads up to `length` characters; returns how many arrived (0 when none
  // came in time). Never more than asked, never longer than the read bound.
  virtual int gets(int port, char* buffer, int length) = 0;
  // Starts waiting for a new reply, as a write does: the next read waits
  // for its first character as long as for any reply, whatever arrived
  // before it. For a mount that answers two commands in turn, the second
  // answer coming later than the gap between characters.
  virtual int expect_reply(int port) = 0;
  // Discards what has been received and not read.
  virtual int rx_clear(int port) = 0;
  virtual int done(int port) = 0;
  // The system's wording of the last failure, with the device, for a front
  // end's details (the message box shows only the error number).
  virtual std::string last_failure() const { return {}; }
};

}  // namespace tarvex
