// The guider control box's byte protocol: one byte whose low four bits
// select the direction relays (east 1, north 2, south 4, west 8); the same
// bits with 16 added close the selected relays; 0 opens them all. A reset is
// the bytes 13, 0, 0 after the lines have been cycled.
#pragma once

#include <array>
#include <cstdint>

namespace tarvex {

inline constexpr std::uint8_t CONTROL_BOX_CLOSE = 16;
inline constexpr std::uint8_t CONTROL_BOX_STOP = 0;
inline constexpr std::uint8_t CONTROL_BOX_RESET = 13;
inline constexpr std::array<std::uint8_t, 3> CONTROL_BOX_RESET_BYTES = {13, 0, 0};

// The direction bits of a move letter: e 1, n 2, s 4, w 8, anything else 0.
std::uint8_t control_box_bits(char letter);

// What a byte from the program tells the box to do.
struct ControlBoxByte {
  enum Kind { Stop, Select, Close, Reset } kind = Stop;
  std::uint8_t directions = 0;  // the relay bits, for Select and Close
};
ControlBoxByte decode_control_box_byte(std::uint8_t byte);

}  // namespace tarvex
