// The termios adapter on a pseudo-terminal, against a scripted peer that
// answers at chosen times on the virtual clock: the read rule, line
// settings, lines a pseudo-terminal lacks, failures.
#include "platform/serial_termios.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/basic_ports.h"
#include "platform/stepping_clock.h"

namespace tarvex {
namespace {

// The other end of the line: writes its script at the clock times given and
// keeps what it received.
class ScriptedPeer : public ClockListener {
 public:
  ScriptedPeer() {
    char name[256] = {};
    EXPECT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    path = name;
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
  }
  ~ScriptedPeer() override {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  // Sends `text` once the clock reads `at` or later.
  void send_at(std::uint32_t at, std::string text) { script_.push_back({at, std::move(text)}); }
  void hang_up() {
    ::close(master_);
    master_ = -1;
  }
  int master() const { return master_; }
  void on_clock(std::uint32_t now) override {
    if (master_ < 0) return;
    char buf[256];
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0) received.append(buf, n);
    for (auto it = script_.begin(); it != script_.end();) {
      if (static_cast<std::int32_t>(now - it->first) >= 0) {
        EXPECT_EQ(::write(master_, it->second.data(), it->second.size()),
                  static_cast<ssize_t>(it->second.size()));
        it = script_.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::string path;
  std::string received;

 private:
  int master_ = -1;
  int slave_ = -1;
  std::vector<std::pair<std::uint32_t, std::string>> script_;
};

struct SerialRig : ::testing::Test {
  VirtualClock base;
  SteppingClock clock{base};
  ScriptedPeer peer;
  TermiosSerialPort port{clock, [this](int) { return peer.path; }};
  void SetUp() override {
    clock.add_listener(peer);
    ASSERT_EQ(port.reset(0, 1024, 1024), 0);
  }
  // Writes a command and returns the clock reading after it.
  std::uint32_t send(const std::string& text) {
    EXPECT_EQ(port.puts(0, text.data(), static_cast<int>(text.size())),
              static_cast<int>(text.size()));
    return base.now_ms();
  }
  std::string read(int n, std::uint32_t* took = nullptr) {
    std::string buf(static_cast<std::size_t>(n), '\0');
    const std::uint32_t start = base.now_ms();
    const int got = port.gets(0, buf.data(), n);
    if (took != nullptr) *took = base.now_ms() - start;
    EXPECT_GE(got, 0);
    buf.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return buf;
  }
};

TEST_F(SerialRig, WritesArriveByteForByte) {
  send("#:Mn#");
  EXPECT_EQ(port.putc(0, 0), 1);
  EXPECT_EQ(port.putc(0, 17), 1);
  clock.now_ms();
  EXPECT_EQ(peer.received, std::string("#:Mn#\0\x11", 7));
}

TEST_F(SerialRig, AReplyThatComesWithinTheReplyWaitIsRead) {
  // One character takes about a millisecond at 9600 baud, so a reply is
  // never there the moment the command has gone.
  std::uint32_t t = send("#:MS#");
  peer.send_at(t + 2, "0");
  EXPECT_EQ(read(1), "0");
  t = send("#:GR#");
  peer.send_at(t + 150, "05:35:24#");
  EXPECT_EQ(read(9), "05:35:24#");
}

TEST_F(SerialRig, ASilentOrLateMountCostsTheReplyWaitAndNoMore) {
  std::uint32_t took = 0;
  std::uint32_t t = send("#:LI#");
  EXPECT_EQ(read(33, &took), "");
  EXPECT_LE(took, TermiosSerialPort::REPLY_WAIT_MS + 2);
  EXPECT_GE(took, TermiosSerialPort::REPLY_WAIT_MS - 2);
  // A second read without a new command takes only what is waiting.
  EXPECT_EQ(read(1, &took), "");
  EXPECT_LE(took, 2u);
  t = send("#:MS#");
  peer.send_at(t + TermiosSerialPort::REPLY_WAIT_MS + 50, "0");
  EXPECT_EQ(read(1, &took), "");
  EXPECT_LE(took, TermiosSerialPort::REPLY_WAIT_MS + 2);
}

TEST_F(SerialRig, NeverMoreThanAskedAndTheRestStaysForTheNextRead) {
  const std::uint32_t t = send("#:LI#");
  const std::string longer(100, 'x');
  peer.send_at(t + 5, longer);
  EXPECT_EQ(read(33), std::string(33, 'x'));
  EXPECT_EQ(read(1), "x");
  EXPECT_EQ(port.rx_clear(0), 0);
  EXPECT_EQ(read(10), "");
}

TEST_F(SerialRig, AGapInTheReplyEndsTheRead) {
  const std::uint32_t t = send("#:LI#");
  peer.send_at(t + 3, "M31  ");
  peer.send_at(t + 60, "late");
  std::uint32_t took = 0;
  EXPECT_EQ(read(33, &took), "M31  ");
  EXPECT_LE(took, 3 + TermiosSerialPort::GAP_MS + 3);
  EXPECT_EQ(read(33, &took), "");  // the rest comes after the gap
  while (base.now_ms() < t + 100) clock.now_ms();
  EXPECT_EQ(read(33), "late");
  // A reply that keeps trickling still ends by the read's bound.
  const std::uint32_t t2 = send("#:LI#");
  for (std::uint32_t k = 0; k < 200; ++k) peer.send_at(t2 + 5 + 8 * k, "y");
  std::string got = read(33, &took);
  EXPECT_EQ(got, std::string(33, 'y'));
  EXPECT_LE(took, TermiosSerialPort::REPLY_WAIT_MS + 33 * 2 + TermiosSerialPort::GAP_MS);
}

TEST_F(SerialRig, LineSettingsShowOnTheOtherSideAndModemLinesAreNotAnError) {
  termios t{};
  ASSERT_EQ(port.baud(0, BAUD_300), 0);
  ASSERT_EQ(port.parms(0, PARITY_NONE, STOP_BITS_ONE, 8), 0);
  ASSERT_EQ(::tcgetattr(peer.master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B300);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
  // (A pseudo-terminal keeps 8 bits without parity whatever it is told.)
  ASSERT_EQ(port.baud(0, BAUD_9600), 0);
  ASSERT_EQ(port.parms(0, PARITY_EVEN, STOP_BITS_TWO, 7), 0);
  ASSERT_EQ(::tcgetattr(peer.master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  // A pseudo-terminal has no DTR or RTS: nothing to set, no failure.
  EXPECT_EQ(port.dtr(0, LINE_SET), 0);
  EXPECT_EQ(port.rts(0, LINE_CLEAR), 0);
  EXPECT_LT(port.baud(0, 42), 0);
  EXPECT_LT(port.parms(0, 9, 0, 8), 0);
  EXPECT_LT(port.dtr(0, 'X'), 0);
}

TEST_F(SerialRig, FailuresAreNegativeErrorNumbers) {
  EXPECT_EQ(port.done(0), 0);
  char c = 0;
  EXPECT_EQ(port.gets(0, &c, 1), -EBADF);
  EXPECT_EQ(port.puts(0, "x", 1), -EBADF);
  EXPECT_EQ(port.reset(7, 1024, 1024), -EINVAL);
  TermiosSerialPort missing(clock, [](int) { return std::string("/nonexistent/ttyS0"); });
  EXPECT_EQ(missing.reset(0, 1024, 1024), -ENOENT);
  EXPECT_NE(missing.last_failure().find("/nonexistent/ttyS0"), std::string::npos);
  // A plain file is not a serial port.
  TermiosSerialPort not_a_tty(clock, [](int) { return std::string("/dev/null"); });
  EXPECT_EQ(not_a_tty.reset(0, 1024, 1024), -ENOTTY);
}

TEST_F(SerialRig, AVanishedDeviceFailsTheRead) {
  send("#:GR#");
  peer.hang_up();
  char buf[8];
  EXPECT_EQ(port.gets(0, buf, 8), -EIO);
}

}  // namespace
}  // namespace tarvex
