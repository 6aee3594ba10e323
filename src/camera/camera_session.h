// The camera session: everything the program knows about the camera while it
// runs. One session lives in the Tarvex context for the life of the program,
// so every front end's camera commands share the link, the records of the
// last search and the readout state (with the measured field read time).
#pragma once

#include <cstdint>

#include "camera/camera_link.h"
#include "camera/readout.h"
#include "platform/host_version.h"
#include "platform/ports.h"
#include "platform/usb_transport.h"

namespace tarvex {

struct CameraSession {
  CameraSession(UsbTransport& usb, Messages& messages, HostVersion host)
      : link(usb, messages, host) {}
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  // Searches for the camera (the "USB debug info" setting decides whether the
  // link report is shown) and keeps what was found in `records`.
  CameraSearch find(bool show_link_info) {
    link.show_link_info = show_link_info;
    return find_camera(link, records);
  }
  bool camera_present() const { return link.camera_present; }
  // Milliseconds one field read takes (FIELD_READ_TIME_UNMEASURED until the
  // first long exposure measured it).
  std::uint32_t field_read_time() const { return readout.field_read_time; }

  CameraLink link;
  ReadoutState readout;
  DeviceRecords records;
};

}  // namespace tarvex
