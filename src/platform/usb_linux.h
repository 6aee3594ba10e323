// The Linux USB adapter: the camera's command channel is its HID interface,
// reached through hidapi (hidraw); image data comes from the bulk IN endpoint
// of its vendor-specific interface, reached through libusb-1.0.
#pragma once

#include <memory>

#include "platform/usb_transport.h"

namespace tarvex {

class LinuxUsbTransport : public UsbTransport {
 public:
  LinuxUsbTransport();
  ~LinuxUsbTransport() override;
  LinuxUsbTransport(const LinuxUsbTransport&) = delete;
  LinuxUsbTransport& operator=(const LinuxUsbTransport&) = delete;

  // Only devices with both a HID interface and a vendor-specific interface
  // with a bulk IN endpoint are listed, in either class, so keyboards and
  // other HID devices never become the command channel.
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) override;
  int open_interface(UsbClass cls, const UsbInterface& which) override;
  int write_report(std::span<const std::uint8_t> report) override;
  UsbRead bulk_read(std::span<std::uint8_t> destination) override;
  // One asynchronous transfer, its events handled in steps of 40 ms: the
  // kernel keeps the endpoint polled throughout, as for bulk_read.
  UsbRead bulk_read_waiting(std::span<std::uint8_t> destination,
                            const std::function<void()>& while_waiting) override;

  // Longest wait for one bulk transfer before it counts as failed.
  static constexpr unsigned BULK_TIMEOUT_MS = 15000;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tarvex
