#include "scope/serial_link.h"

#include <cerrno>
#include <cstdio>

#include "platform/messages.h"

namespace tarvex {

namespace {

// Stands in when the front end gave no port: every call fails.
class NoSerialPort : public SerialPort {
 public:
  int reset(int, int, int) override { return -ENODEV; }
  int baud(int, int) override { return -ENODEV; }
  int parms(int, int, int, int) override { return -ENODEV; }
  int dtr(int, char) override { return -ENODEV; }
  int rts(int, char) override { return -ENODEV; }
  int puts(int, const char*, int) override { return -ENODEV; }
  int putc(int, std::uint8_t) override { return -ENODEV; }
  int gets(int, char*, int) override { return -ENODEV; }
  int expect_reply(int) override { return -ENODEV; }
  int rx_clear(int) override { return -ENODEV; }
  int done(int) override { return 0; }
};

SerialPort& port_or_none(SerialPort* port) {
  static NoSerialPort none;
  return port != nullptr ? *port : none;
}

}  // namespace

SerialSession::SerialSession(SerialLink& link, Messages& messages)
    : link_(link),
      messages_(messages),
      serial_(port_or_none(link.port)),
      port_(port_index(link.directions.port_digit())) {}

bool SerialSession::check(int result) {
  if (result >= 0) return true;
  char text[32];
  std::snprintf(text, sizeof text, "ERROR %d ", result);
  show_message(messages_, Msg::CallerText, text);
  close();
  ok_ = false;
  return false;
}

void SerialSession::close() {
  serial_.done(port_);
  link_.port_open = false;
}

bool SerialSession::reset() {
  if (!ok_) return false;
  if (!check(serial_.reset(port_, SERIAL_QUEUE_SIZE, SERIAL_QUEUE_SIZE))) return false;
  link_.port_open = true;
  return true;
}

bool SerialSession::baud(int code) {
  return ok_ && check(serial_.baud(port_, code));
}

bool SerialSession::dtr(char command) {
  return ok_ && check(serial_.dtr(port_, command));
}

bool SerialSession::rts(char command) {
  return ok_ && check(serial_.rts(port_, command));
}

int SerialSession::parms(int parity, int stop_bits, int data_bits) {
  if (!ok_) return -1;
  return serial_.parms(port_, parity, stop_bits, data_bits);
}

bool SerialSession::puts(std::string_view text) {
  return ok_ && check(serial_.puts(port_, text.data(), static_cast<int>(text.size())));
}

bool SerialSession::putc(std::uint8_t byte) {
  return ok_ && check(serial_.putc(port_, byte));
}

std::string SerialSession::gets(int n) {
  if (!ok_ || n <= 0) return {};
  std::string buffer(static_cast<std::size_t>(n), '\0');
  const int got = serial_.gets(port_, buffer.data(), n);
  if (!check(got)) return {};
  buffer.resize(static_cast<std::size_t>(got > n ? n : got));
  return buffer;
}

std::string SerialSession::gets_through(int n, char terminator) {
  std::string text;
  while (static_cast<int>(text.size()) < n) {
    const std::string c = gets(1);
    if (c.empty()) break;
    text += c;
    if (c[0] == terminator) break;
  }
  return text;
}

bool SerialSession::expect_reply() {
  return ok_ && check(serial_.expect_reply(port_));
}

bool SerialSession::rx_clear() {
  return ok_ && check(serial_.rx_clear(port_));
}

}  // namespace tarvex
