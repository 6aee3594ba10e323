// Which INDI mount the program drives: the server as HOST:PORT and the
// device's name, as the small settings file keeps them or tarvex-cli gives
// them for one run.
#pragma once

#include <string>

namespace tarvex {

struct IndiMountChoice {
  std::string server = "localhost:7624";
  std::string device;
  bool operator==(const IndiMountChoice&) const = default;
};

}  // namespace tarvex
