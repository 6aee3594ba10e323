// The simulated camera: a UsbTransport that answers the camera's command
// protocol from a rendered sky, timed on the program's clock.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ports.h"
#include "platform/usb_transport.h"
#include "sim/sky_renderer.h"

namespace tarvex {

class SimCamera : public UsbTransport {
 public:
  // How long the camera takes to deliver a field read and a window read, as
  // the hardware does; the clock passes that time during the bulk read.
  static constexpr std::uint32_t FIELD_READ_MS = 3500;
  static constexpr std::uint32_t WINDOW_READ_MS = 231;  // the same rate for 32768 bytes

  SimCamera(Clock& clock, std::unique_ptr<SkyRenderer> sky);
  explicit SimCamera(Clock& clock, const SkyConfig& config = {});

  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) override;
  int open_interface(UsbClass cls, const UsbInterface& which) override;
  int write_report(std::span<const std::uint8_t> report) override;
  UsbRead bulk_read(std::span<std::uint8_t> destination) override;
  // The read time passes in steps of READ_STEP_MS with `while_waiting`
  // called after each; the bytes are rendered before, so they are the same.
  UsbRead bulk_read_waiting(std::span<std::uint8_t> destination,
                            const std::function<void()>& while_waiting) override;
  static constexpr std::uint32_t READ_STEP_MS = 50;

  // The sky seen by the camera; the simulated mount moves it.
  SkyRenderer& sky() { return *sky_; }
  void shift_pointing(double dx, double dy) { sky_->shift_pointing(dx, dy); }
  // Called as each exposure starts, before its light is gathered, and as
  // each guide window read during a longer exposure starts the next (the
  // simulated mount's seeing moves the stars here).
  std::function<void()> on_exposure_start;

  // Faults for tests: the next bulk read fails with `error`, or delivers
  // only `bytes` bytes.
  void fail_next_read(int error) { fail_error_ = error; }
  void shorten_next_read(std::size_t bytes) { short_bytes_ = bytes; }
  // While false, discovery finds no block interface (a camera whose data
  // interface is missing).
  bool block_interface_present = true;
  // The read times in use (a camera of another speed, or none at all for
  // tests of the sky alone).
  std::uint32_t field_read_ms = FIELD_READ_MS;
  std::uint32_t window_read_ms = WINDOW_READ_MS;

  // The exposure the last read was rendered with, and how many exposures
  // have been started (timing command 1).
  double last_read_exposure_ms() const { return last_exposure_ms_; }
  std::uint32_t exposures_started() const { return exposure_number_; }

  // Every command block the camera received (timing commands and read
  // requests), with the clock time it arrived at. Kept only while recording.
  struct Command {
    std::uint32_t at_ms;
    std::array<std::uint8_t, 8> bytes;
  };
  void set_recording(bool on) { recording_ = on; }
  const std::vector<Command>& commands() const { return commands_; }
  void clear_commands() { commands_.clear(); }

 private:
  void timing(int sub_code);
  void latch(int field, std::uint32_t at);
  void resolve_pending(bool window_read_follows, bool field_read_follows = false);
  double field_exposure(int field, std::uint32_t now) const;
  // Keeps where the sky lies while an exposure integrates (at most every
  // 50 ms unless `always`), so a read renders the stars along their path.
  void note_pointing(std::uint32_t now, bool always);
  std::vector<PointingSample> path_of(std::uint32_t start, double exposure_ms) const;

  Clock& clock_;
  std::unique_ptr<SkyRenderer> sky_;
  std::vector<std::uint16_t> samples_;  // one raw field, rendered before it is sent

  bool hid_open_ = false;
  bool block_open_ = false;
  std::array<std::uint8_t, 8> request_{};
  bool read_pending_ = false;
  // Integration of the two fields: start times and exposures latched by the
  // timing commands that end them.
  std::uint32_t start_[2] = {0, 0};
  double latched_[2] = {0, 0};
  bool is_latched_[2] = {false, false};
  double last_latched_ = 0;
  bool any_latched_ = false;
  int next_field_ = 0;
  // Guide windows read while a main exposure integrates: the window's own
  // exposure runs from the start of integration or the last window read to
  // the timing command that ends it, and leaves the main fields alone.
  std::uint32_t window_start_ = 0;
  bool guide_window_ = false;
  double guide_exposure_ = 0;
  int pending_code_ = 0;  // a timing 4 or 5 not yet resolved
  std::uint32_t pending_at_ = 0;
  std::uint32_t exposure_number_ = 0;
  double last_exposure_ms_ = 0;
  std::vector<PointingSample> pointing_;  // times are clock ticks since the exposure began
  std::uint32_t integration_start_ = 0;
  // Whether the first field ended for a frame readout, and the exposure
  // whose first field was so read.
  bool frame_readout_ = false;
  std::uint32_t single_rows_exposure_ = UINT32_MAX;
  // The first field was just read a photosite row at a time and nothing has
  // followed: a timing command 1 now restarts integration for the second
  // field of that same frame (the half-time download), which is read a row
  // at a time too.
  bool first_rows_just_read_ = false;
  int fail_error_ = 0;
  std::size_t short_bytes_ = SIZE_MAX;
  bool recording_ = false;
  std::vector<Command> commands_;
};

}  // namespace tarvex
