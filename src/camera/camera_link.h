// The USB camera link: discovery of the camera's two interfaces, command
// reports and bulk reads into the receive buffer. No pixel is placed here;
// the readout turns the received bytes into frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "camera/usb_commands.h"
#include "platform/host_version.h"
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
enum class LinkResult {
  Ok,
  Refused,  // report longer than 254 bytes: nothing sent (reported)
  Failed,   // the write or the read failed (reported)
};

// Results of a camera search.
enum class CameraSearch {
  Found,       // both interfaces are open: the camera is present
  Incomplete,  // interfaces were listed, but not both of the camera's (reported)
  NoneListed,  // no interface of either class is present (reported)
  Failed,      // the device list could not be had, or a listed interface had no
               // system name or could not be opened (reported)
};

// True when the search listed at least one interface.
inline bool interfaces_listed(CameraSearch search) {
  return search == CameraSearch::Found || search == CameraSearch::Incomplete;
}

struct CameraLink {
  CameraLink(UsbTransport& usb_port, Messages& message_port, HostVersion host_system = {})
      : usb(usb_port),
        messages(message_port),
        host(host_system),
        receive_buffer(FIELD_READ_BYTES) {}

  UsbTransport& usb;
  Messages& messages;
  // The running system's version, shown in the link report.
  HostVersion host;
  int hid_handle = 0;
  int block_handle = 0;
  bool camera_present = false;
  bool old_host = false;
  bool show_link_info = false;  // the "USB debug info" setting
  CommandBlock command{};
  std::uint32_t read_length = 0;
  // Destination of every bulk read, sized once for the largest read.
  std::vector<std::uint8_t> receive_buffer;
  // While set, called every few tens of milliseconds during a bulk read (the
  // reader keeps the window alive and the progress moving); the bytes read
  // are the same either way.
  std::function<void()> while_reading;
  // True when the last bulk read failed or came back short: the buffer then
  // does not hold a new image and must not be placed into a frame.
  bool last_read_failed = false;
  // The system error number of the last write or read that failed (0 before
  // any failure); ENODEV and its kin say the camera is gone.
  int last_error = 0;
};

// Finds the camera: enumerates the HID and block interfaces, fills the
// records, opens both and sets camera_present. A search judges only what is
// present now: the camera counts as absent until both interfaces are open.
CameraSearch find_camera(CameraLink& link, DeviceRecords& records);

// Sends the payload (at most 254 bytes) as one output report with
// identifier 0. Failures are reported as message 50.
LinkResult WriteUSBdevice(CameraLink& link, std::span<const std::uint8_t> payload);

// Makes the command block the timing command and sends it.
LinkResult send_timing_command(CameraLink& link, TimingCommand command);

// Sends the read command (bytes 1..7 as prepared) and reads read_length bytes
// into the receive buffer. Failed when the read failed or delivered fewer
// bytes (reported, last_read_failed set).
LinkResult read_block_data(CameraLink& link);

}  // namespace tarvex
