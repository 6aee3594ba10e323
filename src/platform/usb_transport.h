// The USB port: how the camera code finds the camera's two interfaces, sends
// commands as HID output reports and reads image data from the bulk endpoint.
// The Linux adapter (hidapi + libusb) and the simulated camera implement it.
#pragma once

#include <cstddef>
#include <cstdint>
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

class UsbTransport {
 public:
  virtual ~UsbTransport() = default;

  // Lists the present interfaces of one class, in enumeration order. Returns
  // false when the system's device list cannot be had.
  virtual bool list_interfaces(UsbClass cls, std::vector<UsbInterface>& out) = 0;

  // Opens an interface listed by list_interfaces; it becomes the command
  // channel (Hid) or the data channel (Block), replacing one opened before.
  // Returns a positive handle number, or 0 when the interface cannot be opened.
  virtual int open_interface(UsbClass cls, const UsbInterface& which) = 0;

  // Writes one HID output report (report identifier first) to the command
  // channel. Returns 0, or a system error number.
  virtual int write_report(const std::uint8_t* report, std::size_t length) = 0;

  // Reads `length` bytes from the data channel in one bulk transfer.
  // `received` tells how many arrived. Returns 0, or a system error number
  // (a transfer that ends early may return 0 with fewer bytes received).
  virtual int bulk_read(std::uint8_t* destination, std::size_t length, std::size_t& received) = 0;

  // Major and minor version of the host system, for the link report.
  virtual void host_version(int& major, int& minor) = 0;
};

}  // namespace tarvex
