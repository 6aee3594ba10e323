// The caption and text of a dialog's Help box.
#pragma once

#include <string>

namespace tarvex {

struct HelpText {
  std::string caption;
  std::string text;
};

}  // namespace tarvex
