#include "app/tarvex.h"

#include "platform/host_version.h"

namespace tarvex {

Tarvex::Tarvex(Paths p, Ports ports_in)
    : Surroundings{std::move(p), ports_in},
      Equipment(ports.usb, ports.messages, host_kernel_version()),
      store_(std::make_unique<FrameStore>()) {
  dark_frame_path = paths.dark_definition_file();
  init_frame_store(*store_);
}

std::string window_title(const std::string& current_file_name) {
  return std::string("Tarvex - ") + (current_file_name.empty() ? "(Untitled)" : current_file_name);
}

}  // namespace tarvex
