#include "scope/control_box.h"

namespace tarvex {

std::uint8_t control_box_bits(char letter) {
  switch (letter) {
    case 'e': return 1;
    case 'n': return 2;
    case 's': return 4;
    case 'w': return 8;
    default: return 0;
  }
}

ControlBoxByte decode_control_box_byte(std::uint8_t byte) {
  ControlBoxByte d;
  if (byte == CONTROL_BOX_STOP) return d;
  if (byte == CONTROL_BOX_RESET) {
    d.kind = ControlBoxByte::Reset;
    return d;
  }
  d.directions = byte & 15;
  d.kind = (byte & CONTROL_BOX_CLOSE) != 0 ? ControlBoxByte::Close : ControlBoxByte::Select;
  return d;
}

}  // namespace tarvex
