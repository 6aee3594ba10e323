#include "platform/serial_termios.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvex {

namespace {

struct BaudRate {
  speed_t speed;
  std::uint32_t bits_per_second;
};

constexpr BaudRate kRates[] = {
    {B110, 110},   {B300, 300},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},
    {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
};
constexpr int kRateCount = static_cast<int>(sizeof(kRates) / sizeof(kRates[0]));

bool reached(std::uint32_t now, std::uint32_t t) {
  return static_cast<std::int32_t>(now - t) >= 0;
}

}  // namespace

TermiosSerialPort::TermiosSerialPort(Clock& clock, DeviceNamer device_for)
    : clock_(clock), device_for_(std::move(device_for)) {}

TermiosSerialPort::~TermiosSerialPort() {
  for (Line& l : lines_) {
    if (l.fd >= 0) ::close(l.fd);
  }
}

std::uint32_t TermiosSerialPort::character_ms(int baud_code) {
  if (baud_code < 0 || baud_code >= kRateCount) baud_code = BAUD_9600;
  const std::uint32_t bps = kRates[baud_code].bits_per_second;
  return (10000 + bps - 1) / bps;
}

std::string TermiosSerialPort::device(int port) const {
  if (port < 0 || port >= PORT_COUNT) return {};
  return lines_[static_cast<std::size_t>(port)].device;
}

int TermiosSerialPort::fail(int error_number, const char* what) {
  last_failure_ = std::string(what) + ": " + std::strerror(error_number);
  return -error_number;
}

TermiosSerialPort::Line* TermiosSerialPort::open_line(int port) {
  if (port < 0 || port >= PORT_COUNT) return nullptr;
  Line& l = lines_[static_cast<std::size_t>(port)];
  return l.fd >= 0 ? &l : nullptr;
}

int TermiosSerialPort::reset(int port, int /*rx_queue*/, int /*tx_queue*/) {
  // The system sizes the queues itself; the sizes asked for are small
  // enough for any of them.
  if (port < 0 || port >= PORT_COUNT) return fail(EINVAL, "no such port");
  Line& l = lines_[static_cast<std::size_t>(port)];
  if (l.fd >= 0) ::close(l.fd);
  l = Line{};
  l.device = device_for_ ? device_for_(port + 1) : std::string();
  const int fd = ::open(l.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(errno, l.device.c_str());
  termios t{};
  if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
    const int e = errno != 0 ? errno : ENOTTY;
    ::close(fd);
    return fail(e, l.device.c_str());
  }
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, B9600);
  ::cfsetospeed(&t, B9600);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    const int e = errno;
    ::close(fd);
    return fail(e, l.device.c_str());
  }
  ::tcflush(fd, TCIOFLUSH);
  l.fd = fd;
  return 0;
}

int TermiosSerialPort::baud(int port, int code) {
  Line* l = open_line(port);
  if (l == nullptr) return fail(EBADF, "port not open");
  if (code < 0 || code >= kRateCount) return fail(EINVAL, "baud code");
  termios t{};
  if (::tcgetattr(l->fd, &t) != 0) return fail(errno, l->device.c_str());
  ::cfsetispeed(&t, kRates[code].speed);
  ::cfsetospeed(&t, kRates[code].speed);
  if (::tcsetattr(l->fd, TCSANOW, &t) != 0) return fail(errno, l->device.c_str());
  l->baud_code = code;
  return 0;
}

int TermiosSerialPort::parms(int port, int parity, int stop_bits, int data_bits) {
  Line* l = open_line(port);
  if (l == nullptr) return fail(EBADF, "port not open");
  if (parity < PARITY_NONE || parity > PARITY_SPACE || stop_bits < STOP_BITS_ONE ||
      stop_bits > STOP_BITS_TWO || data_bits < 5 || data_bits > 8)
    return fail(EINVAL, "line parameters");
  termios t{};
  if (::tcgetattr(l->fd, &t) != 0) return fail(errno, l->device.c_str());
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[data_bits - 5];
  switch (parity) {
    case PARITY_ODD: t.c_cflag |= PARENB | PARODD; break;
    case PARITY_EVEN: t.c_cflag |= PARENB; break;
    case PARITY_MARK: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case PARITY_SPACE: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  if (stop_bits == STOP_BITS_TWO) t.c_cflag |= CSTOPB;
  if (::tcsetattr(l->fd, TCSANOW, &t) != 0) return fail(errno, l->device.c_str());
  return 0;
}

int TermiosSerialPort::set_lines(int port, int bits, char command) {
  Line* l = open_line(port);
  if (l == nullptr) return fail(EBADF, "port not open");
  if (command != LINE_SET && command != LINE_CLEAR) return fail(EINVAL, "line command");
  if (::ioctl(l->fd, command == LINE_SET ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
    // A pseudo-terminal has no modem lines: nothing to set.
    if (errno == ENOTTY || errno == EINVAL) return 0;
    return fail(errno, l->device.c_str());
  }
  return 0;
}

int TermiosSerialPort::dtr(int port, char command) {
  return set_lines(port, TIOCM_DTR, command);
}

int TermiosSerialPort::rts(int port, char command) {
  return set_lines(port, TIOCM_RTS, command);
}

int TermiosSerialPort::puts(int port, const char* text, int length) {
  Line* l = open_line(port);
  if (l == nullptr) return fail(EBADF, "port not open");
  if (length < 0) return fail(EINVAL, "length");
  int sent = 0;
  std::uint32_t give_up = 0;
  bool waiting = false;
  while (sent < length) {
    const ssize_t n = ::write(l->fd, text + sent, static_cast<std::size_t>(length - sent));
    if (n > 0) {
      sent += static_cast<int>(n);
      waiting = false;
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return fail(errno, l->device.c_str());
    // The transmit queue is full: wait for room, on the clock.
    const std::uint32_t now = clock_.now_ms();
    if (!waiting) {
      waiting = true;
      give_up = now + WRITE_WAIT_MS;
    } else if (reached(now, give_up)) {
      return fail(EAGAIN, l->device.c_str());
    }
    pollfd p{l->fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) == 0) pump_events();
  }
  // A reply is awaited from now on.
  l->written = true;
  l->heard = false;
  l->last_write = clock_.now_ms();
  return sent;
}

int TermiosSerialPort::putc(int port, std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  return puts(port, &c, 1);
}

int TermiosSerialPort::gets(int port, char* buffer, int length) {
  Line* l = open_line(port);
  if (l == nullptr) return fail(EBADF, "port not open");
  if (length <= 0) return 0;
  const std::uint32_t char_ms = character_ms(l->baud_code);
  const std::uint32_t gap = GAP_MS > 3 * char_ms ? GAP_MS : 3 * char_ms;
  const std::uint32_t start = clock_.now_ms();
  const std::uint32_t limit =
      start + REPLY_WAIT_MS + static_cast<std::uint32_t>(length) * char_ms + gap;
  int got = 0;
  std::uint32_t now = start;
  for (;;) {
    pollfd p{l->fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, 0);
    if (ready < 0 && errno != EINTR) return fail(errno, l->device.c_str());
    if (ready > 0 && (p.revents & POLLIN) != 0) {
      const ssize_t n = ::read(l->fd, buffer + got, static_cast<std::size_t>(length - got));
      if (n > 0) {
        got += static_cast<int>(n);
        l->heard = true;
        l->last_heard = now;
        if (got == length) return got;
        continue;
      }
      if (n == 0) return fail(EIO, l->device.c_str());  // the device went away
      if (errno != EAGAIN && errno != EINTR) return fail(errno, l->device.c_str());
    } else if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
      return fail(EIO, l->device.c_str());
    }
    std::uint32_t deadline = start;
    if (l->heard) {
      deadline = l->last_heard + gap;
    } else if (l->written) {
      deadline = l->last_write + REPLY_WAIT_MS;
    }
    if (reached(now, deadline) || reached(now, limit)) return got;
    if (ready == 0) pump_events();
    now = clock_.now_ms();
  }
}

void TermiosSerialPort::pump_events() {
  // Not again from inside an event the pump is handling.
  if (pump_ == nullptr || pumping_) return;
  pumping_ = true;
  pump_->pump();
  pumping_ = false;
}

int TermiosSerialPort::expect_reply(int port) {
  Line* l = open_line(port);
  if (l == nullptr) return fail(EBADF, "port not open");
  l->written = true;
  l->heard = false;
  l->last_write = clock_.now_ms();
  return 0;
}

int TermiosSerialPort::rx_clear(int port) {
  Line* l = open_line(port);
  if (l == nullptr) return fail(EBADF, "port not open");
  if (::tcflush(l->fd, TCIFLUSH) != 0) return fail(errno, l->device.c_str());
  return 0;
}

int TermiosSerialPort::done(int port) {
  if (port < 0 || port >= PORT_COUNT) return fail(EINVAL, "no such port");
  Line& l = lines_[static_cast<std::size_t>(port)];
  if (l.fd >= 0) ::close(l.fd);
  l.fd = -1;
  return 0;
}

}  // namespace tarvex
