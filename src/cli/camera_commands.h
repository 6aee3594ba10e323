// tarvex-cli's camera diagnostics: discovery, one field, one focus window.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "app/tarvex.h"
#include "platform/usb_transport.h"

namespace tarvex::cli {

bool is_camera_command(const std::string& command);

// Runs camera-info, read-field or focus-frame against `usb`. Returns the exit
// status: 0 done, 1 the camera was not found or a read failed.
int run_camera_command(const std::string& command, Tarvex& app, UsbTransport& usb, int exposure_ms,
                       const std::optional<std::filesystem::path>& save_raw, std::ostream& out,
                       std::ostream& err);

}  // namespace tarvex::cli
