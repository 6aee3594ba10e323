// Fuzz target: field and window reads from a camera that misbehaves. The
// input scripts a USB port: each read answers with an error number, a count
// of bytes received (all, fewer, none, or more than asked) and bytes taken
// from the input; the reads ask for fields of either parity and windows at
// any position. A read that failed or came back short must leave the frame
// or window untouched; none may read or write out of bounds.
#include <algorithm>
#include <memory>

#include "camera/camera_link.h"
#include "camera/readout.h"
#include "fuzz_support.h"
#include "platform/basic_ports.h"

using namespace tarvex;

namespace {

// Takes bytes off the front of the input; zeros once it is used up.
struct Script {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  int number() { return static_cast<std::int16_t>(byte() | (byte() << 8)); }
};

class ScriptedUsb : public UsbTransport {
 public:
  explicit ScriptedUsb(Script& s) : s_(s) {}
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass) override {
    return std::vector<UsbInterface>{};
  }
  int open_interface(UsbClass, const UsbInterface&) override { return 1; }
  int write_report(std::span<const std::uint8_t>) override { return s_.byte() == 255 ? EIO : 0; }
  UsbRead bulk_read(std::span<std::uint8_t> destination) override {
    const std::uint8_t how = s_.byte();
    const int error = (how & 7) == 7 ? EPIPE : 0;
    std::size_t received = destination.size();
    switch ((how >> 3) & 3) {
      case 1: received = destination.size() * s_.byte() / 256; break;  // short
      case 2: received = 0; break;
      case 3: received = destination.size() + 1 + s_.byte(); break;  // claims more
      default: break;
    }
    // The bytes delivered repeat what is left of the script.
    const auto fill = fuzz::repeat_to(s_.data, std::min<std::size_t>(s_.size, 4096),
                                      std::min(received, destination.size()));
    std::copy(fill.begin(), fill.end(), destination.begin());
    return {error, received};
  }

 private:
  Script& s_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto frame = std::make_unique<Frame>();
  static const auto before = std::make_unique<Frame>();
  Script script{data, size};
  ScriptedUsb usb(script);
  RecordingMessages messages;
  VirtualClock clock;
  CameraLink link(usb, messages);
  ReadoutState state;
  for (int op = 0; op < 8 && script.size > 0; ++op) {
    const std::uint8_t what = script.byte();
    *before = *frame;
    if (what & 1) {
      state.field_parity = (what >> 1) & 1;
      state.exposure_ms = script.number();
      if (read_field(link, clock, state, *frame) != LinkResult::Ok)
        fuzz::check(fuzz::same_bytes(*frame, *before), "a failed field read changed the frame");
    } else {
      state.window_x = script.number();
      state.window_y = script.number();
      state.exposure_ms = script.number();
      if (read_window(link, state, frame->data()) != LinkResult::Ok) {
        fuzz::check(fuzz::same_bytes(*frame, *before), "a failed window read changed the window");
        continue;
      }
      WindowStretch stretch;
      stretch.bits = script.number();
      stretch.stretch_all = (what & 2) != 0;
      const int peak = focus_peak(frame->data());
      fuzz::check(peak >= 0 && peak <= 65535, "a focus peak outside the samples");
      stretch_window(frame->data(), stretch);
    }
  }
  return 0;
}
