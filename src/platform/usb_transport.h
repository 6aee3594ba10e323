// The USB port: how the camera code finds the camera's two interfaces, sends
// commands as HID output reports and reads image data from the bulk endpoint.
// The Linux adapter (hidapi + libusb) and the simulated camera implement it.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvex {

// The two interface classes the camera publishes.
enum class UsbClass { Hid = 0, Block = 1 };

// One present interface of a class, as enumeration reports it.
struct UsbInterface {
  std::string path;  // opaque to the caller; empty when the system gave no name
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::string manufacturer;  // empty when the device has none
  std::string product;       // product string (HID) or identification text (block)
};

// What a bulk read delivered: `received` bytes at the start of the buffer,
// and 0 or the system error number. A transfer that ends early may report no
// error with fewer bytes received.
struct UsbRead {
  int error = 0;
  std::size_t received = 0;
};

class UsbTransport {
 public:
  virtual ~UsbTransport() = default;

  // The present interfaces of one class, in enumeration order; nothing when
  // the system's device list cannot be had.
  virtual std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) = 0;

  // Opens an interface listed by list_interfaces; it becomes the command
  // channel (Hid) or the data channel (Block), replacing one opened before.
  // Returns a positive handle number, or 0 when the interface cannot be opened.
  virtual int open_interface(UsbClass cls, const UsbInterface& which) = 0;

  // Writes one HID output report (report identifier first) to the command
  // channel. Returns 0, or a system error number.
  virtual int write_report(std::span<const std::uint8_t> report) = 0;

  // Fills `destination` from the data channel in one bulk transfer.
  virtual UsbRead bulk_read(std::span<std::uint8_t> destination) = 0;

  // The same transfer, delivering the same bytes, with `while_waiting`
  // called on this thread every few tens of milliseconds until it ends, so
  // the program's window stays alive during a field read of seconds. An
  // adapter that cannot wait in steps makes the plain transfer.
  virtual UsbRead bulk_read_waiting(std::span<std::uint8_t> destination,
                                    const std::function<void()>& while_waiting) {
    (void)while_waiting;
    return bulk_read(destination);
  }
};

// The transport of a program run with no camera: it lists no interface and
// opens none. A context made without a transport (most tests) uses it.
class NoUsbTransport : public UsbTransport {
 public:
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass) override {
    return std::vector<UsbInterface>{};
  }
  int open_interface(UsbClass, const UsbInterface&) override { return 0; }
  int write_report(std::span<const std::uint8_t>) override { return ENODEV; }
  UsbRead bulk_read(std::span<std::uint8_t>) override { return {ENODEV, 0}; }
};

// One transport with no camera behind it; it holds no state.
inline UsbTransport& no_usb_transport() {
  static NoUsbTransport none;
  return none;
}

}  // namespace tarvex
