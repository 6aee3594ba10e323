#include "camera/camera_link.h"

#include <cerrno>
#include <cstdio>
#include <optional>

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

CameraSearch find_camera(CameraLink& link, DeviceRecords& records) {
  bool listed = false;
  // A new search judges only what is present now.
  link.hid_handle = 0;
  link.block_handle = 0;
  link.camera_present = false;
  for (UsbClass cls : {UsbClass::Hid, UsbClass::Block}) {
    const std::optional<std::vector<UsbInterface>> found = link.usb.list_interfaces(cls);
    if (!found) {
      show_message(link.messages, Msg::CallerText, TEXT_NO_PNP_NODE);
      return CameraSearch::Failed;
    }
    for (int m = 0; m < MAX_DEVICE_RECORDS; ++m) {
      DeviceRecord& record = records[m];
      record.vendor_id = 0;
      if (static_cast<std::size_t>(m) >= found->size()) continue;
      const UsbInterface& itf = (*found)[m];
      listed = true;
      if (itf.path.empty()) {
        link.messages.box(TEXT_ERROR_CAPTION, TEXT_NO_SYSTEM_NAME, BoxIcon::Stop);
        return CameraSearch::Failed;
      }
      const int handle = link.usb.open_interface(cls, itf);
      if (handle <= 0) {
        link.messages.box(TEXT_ERROR_CAPTION, TEXT_CANNOT_OPEN, BoxIcon::Stop);
        return CameraSearch::Failed;
      }
      (cls == UsbClass::Hid ? link.hid_handle : link.block_handle) = handle;
      record.vendor_id = itf.vendor_id;
      record.product_id = itf.product_id;
      record.manufacturer = or_not_present(itf.manufacturer);
      record.product = or_not_present(itf.product);
    }
  }
  if (link.hid_handle == 0 || link.block_handle == 0) {
    show_message(link.messages, Msg::CallerText, TEXT_BLOCKIO_NOT_FOUND);
    return listed ? CameraSearch::Incomplete : CameraSearch::NoneListed;
  }
  link.old_host = link.host.major == 4 && link.host.minor > 0;
  if (link.show_link_info) {
    char text[200];
    std::snprintf(text, sizeof text, FORMAT_CAMERA_FOUND, link.hid_handle, link.block_handle,
                  link.host.major, link.host.minor);
    show_message(link.messages, Msg::CallerText, text);
  }
  link.camera_present = true;
  return CameraSearch::Found;
}

LinkResult WriteUSBdevice(CameraLink& link, std::span<const std::uint8_t> payload) {
  std::array<std::uint8_t, MAX_REPORT_LENGTH> report;
  const std::size_t length = frame_report(payload, report);
  if (length == 0) {
    show_message(link.messages, Msg::CallerText, TEXT_REPORT_TOO_LONG);
    return LinkResult::Refused;
  }
  const int error = link.usb.write_report(std::span(report).first(length));
  if (error != 0) {
    link.last_error = error;
    show_message(link.messages, Msg::CallerText, format_error(FORMAT_WRITE_FAILED, error));
    return LinkResult::Failed;
  }
  return LinkResult::Ok;
}

LinkResult send_timing_command(CameraLink& link, TimingCommand command) {
  set_timing_command(link.command, command);
  return WriteUSBdevice(link, link.command);
}

LinkResult read_block_data(CameraLink& link) {
  link.command[0] = COMMAND_READ;
  WriteUSBdevice(link, link.command);
  link.last_read_failed = true;
  const std::size_t wanted = link.read_length;
  int error = 0;
  if (wanted > link.receive_buffer.size()) {
    error = EINVAL;  // a request larger than the buffer is never issued
  } else {
    const auto into = std::span(link.receive_buffer).first(wanted);
    const UsbRead read = link.while_reading ? link.usb.bulk_read_waiting(into, link.while_reading)
                                            : link.usb.bulk_read(into);
    error = read.error;
    // A transfer that ends early delivers no image either.
    if (error == 0 && read.received < wanted) error = EIO;
  }
  if (error != 0) {
    link.last_error = error;
    show_message(link.messages, Msg::CallerText, format_error(FORMAT_READ_FAILED, error));
    return LinkResult::Failed;
  }
  link.last_read_failed = false;
  return LinkResult::Ok;
}

}  // namespace tarvex
