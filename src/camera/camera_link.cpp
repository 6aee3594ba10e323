#include "camera/camera_link.h"

#include <cerrno>
#include <cstdio>

#include "platform/messages.h"

namespace tarvex {

namespace {

std::string format_error(const char* format, int error) {
  char text[160];
  std::snprintf(text, sizeof text, format, error);
  return text;
}

std::string or_not_present(const std::string& s) {
  return s.empty() ? TEXT_NOT_PRESENT : s;
}

}  // namespace

int find_camera(CameraLink& link, DeviceRecords& records) {
  int result = 0;
  // A new search judges only what is present now.
  link.hid_handle = 0;
  link.block_handle = 0;
  std::vector<UsbInterface> found;
  for (UsbClass cls : {UsbClass::Hid, UsbClass::Block}) {
    found.clear();
    if (!link.usb.list_interfaces(cls, found)) {
      show_message(link.messages, MESSAGE_CALLER_TEXT, TEXT_NO_PNP_NODE);
      return 0;
    }
    for (int m = 0; m < MAX_DEVICE_RECORDS; ++m) {
      DeviceRecord& record = records[m];
      record.vendor_id = 0;
      if (static_cast<std::size_t>(m) >= found.size()) continue;
      const UsbInterface& itf = found[m];
      result = 1;
      if (itf.path.empty()) {
        link.messages.box(TEXT_ERROR_CAPTION, TEXT_NO_SYSTEM_NAME, BoxIcon::Stop);
        return 0;
      }
      const int handle = link.usb.open_interface(cls, itf);
      if (handle <= 0) {
        link.messages.box(TEXT_ERROR_CAPTION, TEXT_CANNOT_OPEN, BoxIcon::Stop);
        return 0;
      }
      (cls == UsbClass::Hid ? link.hid_handle : link.block_handle) = handle;
      record.vendor_id = itf.vendor_id;
      record.product_id = itf.product_id;
      record.manufacturer = or_not_present(itf.manufacturer);
      record.product = or_not_present(itf.product);
    }
  }
  if (link.hid_handle == 0 || link.block_handle == 0) {
    show_message(link.messages, MESSAGE_CALLER_TEXT, TEXT_BLOCKIO_NOT_FOUND);
    link.camera_present = 0;
    return result;
  }
  int major = 0, minor = 0;
  link.usb.host_version(major, minor);
  link.old_host = (major == 4 && minor > 0) ? 1 : 0;
  if (link.show_link_info) {
    char text[200];
    std::snprintf(text, sizeof text, FORMAT_CAMERA_FOUND, link.hid_handle, link.block_handle, major,
                  minor);
    show_message(link.messages, MESSAGE_CALLER_TEXT, text);
  }
  link.camera_present = 1;
  return result;
}

int WriteUSBdevice(CameraLink& link, const std::uint8_t* bytes, std::size_t count) {
  std::array<std::uint8_t, MAX_REPORT_LENGTH> report;
  const std::size_t length = frame_report(bytes, count, report);
  if (length == 0) {
    show_message(link.messages, MESSAGE_CALLER_TEXT, TEXT_REPORT_TOO_LONG);
    return LINK_REFUSED;
  }
  const int error = link.usb.write_report(report.data(), length);
  if (error != 0) {
    show_message(link.messages, MESSAGE_CALLER_TEXT, format_error(FORMAT_WRITE_FAILED, error));
    return LINK_FAILED;
  }
  return LINK_OK;
}

int send_timing_command(CameraLink& link, int n) {
  set_timing_command(link.command, n);
  return WriteUSBdevice(link, link.command.data(), link.command.size());
}

int read_block_data(CameraLink& link) {
  link.command[0] = COMMAND_READ;
  WriteUSBdevice(link, link.command.data(), link.command.size());
  link.last_read_failed = true;
  const std::size_t wanted = link.read_length;
  int error = 0;
  std::size_t received = 0;
  if (wanted > link.receive_buffer.size()) {
    error = EINVAL;  // a request larger than the buffer is never issued
  } else {
    error = link.usb.bulk_read(link.receive_buffer.data(), wanted, received);
    // A transfer that ends early delivers no image either.
    if (error == 0 && received < wanted) error = EIO;
  }
  if (error != 0) {
    show_message(link.messages, MESSAGE_CALLER_TEXT, format_error(FORMAT_READ_FAILED, error));
    return LINK_FAILED;
  }
  link.last_read_failed = false;
  return LINK_OK;
}

}  // namespace tarvex
