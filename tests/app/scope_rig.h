// The rig of the telescope tests: a context whose "Com Port"s lead to the
// simulated mount on a pseudo-terminal, through the real termios adapter
// (wrapped so that chosen calls can fail), on the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/tarvex.h"
#include "files/settings.h"
#include "platform/basic_ports.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "sim/sim_mount.h"
#include "test_support.h"

namespace tarvex {

// An event pump that runs a test's action on one of its passes: the way a
// click reaches the program while an operation waits.
class HookPump : public NullPump {
 public:
  void pump() override {
    NullPump::pump();
    if (on_pass && pumps >= at_pass) {
      auto action = std::move(on_pass);
      on_pass = nullptr;
      action();
    }
  }
  // Runs `action` once, on the pass numbered `pass` or the first after it.
  void run_on_pass(int pass, std::function<void()> action) {
    at_pass = pass;
    on_pass = std::move(action);
  }
  std::function<void()> on_pass;
  int at_pass = 0;
};

// Wraps the real adapter and fails chosen calls.
class FaultyPort : public SerialPort {
 public:
  explicit FaultyPort(SerialPort& real) : real_(real) {}
  int fail_puts_after = -1;  // successful writes before one fails; -1 never
  bool fail_parms = false;
  int resets = 0, dones = 0, writes = 0;

  int reset(int p, int r, int t) override {
    ++resets;
    return real_.reset(p, r, t);
  }
  int baud(int p, int c) override { return real_.baud(p, c); }
  int parms(int p, int a, int b, int c) override {
    return fail_parms ? -EINVAL : real_.parms(p, a, b, c);
  }
  int dtr(int p, char c) override { return real_.dtr(p, c); }
  int rts(int p, char c) override { return real_.rts(p, c); }
  int puts(int p, const char* s, int n) override {
    ++writes;
    if (fail_puts_after == 0) {
      fail_puts_after = -1;
      return -EIO;
    }
    if (fail_puts_after > 0) --fail_puts_after;
    return real_.puts(p, s, n);
  }
  int putc(int p, std::uint8_t b) override {
    const char c = static_cast<char>(b);
    return puts(p, &c, 1);
  }
  int gets(int p, char* b, int n) override { return real_.gets(p, b, n); }
  int expect_reply(int p) override { return real_.expect_reply(p); }
  int rx_clear(int p) override { return real_.rx_clear(p); }
  int done(int p) override {
    ++dones;
    return real_.done(p);
  }

 private:
  SerialPort& real_;
};

// A context whose "Com Port"s lead to the simulated mount, on the virtual
// clock, with the settings file holding the link type.
struct ScopeRig : ::testing::Test {
  testing::TempDir dir;
  RecordingMessages messages;
  VirtualClock base;
  SteppingClock clock{base};
  HookPump pump;
  RecordingProgress progress;
  RecordingLauncher launcher;
  RecordingDisplaySink display;
  SimMount mount;
  std::string device;  // what every "Com Port" leads to
  std::vector<int> ports_named;
  std::unique_ptr<TermiosSerialPort> serial;
  std::unique_ptr<FaultyPort> faulty;
  std::unique_ptr<Tarvex> app;

  void SetUp() override {
    ASSERT_TRUE(mount.open());
    mount.set_recording(true);
    clock.add_listener(mount);
    device = mount.device_path();
    serial = std::make_unique<TermiosSerialPort>(clock, [this](int n) {
      ports_named.push_back(n);
      return device;
    });
    faulty = std::make_unique<FaultyPort>(*serial);
    app = std::make_unique<Tarvex>(Paths(dir.path() / "data"),
                                   Ports{messages, clock, pump, progress, launcher, display});
    app->telescope.port = faulty.get();
    use_link(LinkType::Lx200);
  }
  // Chooses the link type, in memory and in the file the link reloads.
  void use_link(LinkType type) {
    app->settings.telescope_type = type;
    ASSERT_EQ(save_settings(app->paths.settings_file(), app->settings, app->fits), FileSave::Ok);
  }
  void open_link() {
    ASSERT_EQ(ensure_link_open(*app), ScopeResult::Done);
    mount.clear_received();
  }
  std::uint32_t now() { return base.now_ms(); }

  struct Chunk {
    std::uint32_t at;  // clock reading when the mount read it
    std::string bytes;
  };
  std::vector<Chunk> chunks() const {
    std::vector<Chunk> c;
    for (const auto& r : mount.received()) c.push_back({r.at_ms, r.bytes});
    return c;
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& r : mount.received()) t.push_back(r.bytes);
    return t;
  }
};

}  // namespace tarvex
