// The USB camera link: discovery of the camera's two interfaces, command
// reports and bulk reads into the receive buffer. No pixel is placed here;
// the readout turns the received bytes into frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "camera/usb_commands.h"
#include "platform/ports.h"
#include "platform/usb_transport.h"

namespace tarvex {

inline constexpr int MAX_DEVICE_RECORDS = 20;

// What discovery learnt about one enumerated interface.
struct DeviceRecord {
  std::uint16_t vendor_id = 0;  // 0 when the slot found no interface
  std::string manufacturer;     // or "- not present -"
  std::uint16_t product_id = 0;
  std::string product;  // product string or identification text, or "- not present -"
};
using DeviceRecords = std::array<DeviceRecord, MAX_DEVICE_RECORDS>;

// Results of the link operations.
enum LinkResult {
  LINK_OK = 0,
  LINK_REFUSED = 1,  // report longer than 254 bytes: nothing sent
  LINK_FAILED = 2,   // the write or the read failed; the error was reported
};

struct CameraLink {
  CameraLink(UsbTransport& usb_port, Messages& message_port)
      : usb(usb_port), messages(message_port), receive_buffer(FIELD_READ_BYTES) {}

  UsbTransport& usb;
  Messages& messages;
  int hid_handle = 0;
  int block_handle = 0;
  int camera_present = 0;
  int old_host = 0;
  int show_link_info = 0;  // the "USB debug info" setting
  CommandBlock command{};
  std::uint32_t read_length = 0;
  // Destination of every bulk read, sized once for the largest read.
  std::vector<std::uint8_t> receive_buffer;
  // True when the last bulk read failed or came back short: the buffer then
  // does not hold a new image and must not be placed into a frame.
  bool last_read_failed = false;
};

// Finds the camera: enumerates the HID and block interfaces, fills the
// records, opens both and sets camera_present. Returns 1 when at least one
// interface of either class was enumerated, else 0.
int find_camera(CameraLink& link, DeviceRecords& records);

// Sends `count` payload bytes (at most 254) as one output report with
// identifier 0. Returns a LinkResult; failures are reported as message 50.
int WriteUSBdevice(CameraLink& link, const std::uint8_t* bytes, std::size_t count);

// Makes the command block a timing command with sub-code n and sends it.
int send_timing_command(CameraLink& link, int n);

// Sends the read command (bytes 1..7 as prepared) and reads read_length bytes
// into the receive buffer. Returns LINK_OK, or LINK_FAILED when the read
// failed or delivered fewer bytes (reported, last_read_failed set).
int read_block_data(CameraLink& link);

}  // namespace tarvex
