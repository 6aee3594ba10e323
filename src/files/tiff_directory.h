// The bytes of a little-endian TIFF header and image file directory, shared
// by the 8-bit and the 16-bit TIFF writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex {

// TIFF field types.
enum : std::uint16_t { TIFF_ASCII = 2, TIFF_SHORT = 3, TIFF_LONG = 4, TIFF_RATIONAL = 5 };

class TiffBytes {
 public:
  void u16(std::uint32_t v) {
    b_.push_back(static_cast<std::uint8_t>(v));
    b_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void u32(std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  // "II", 42, the directory at byte 8, and the directory's entry count.
  void header(std::uint16_t entries) {
    u16(0x4949);
    u16(42);
    u32(8);
    u16(entries);
  }
  // A directory entry; a single SHORT value sits in the first two bytes of
  // the field.
  void entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    u16(tag);
    u16(type);
    u32(count);
    if (type == TIFF_SHORT && count == 1) {
      u16(value);
      u16(0);
    } else {
      u32(value);
    }
  }
  void pad_to(std::size_t n) { b_.resize(n, 0); }
  std::vector<std::uint8_t>& data() { return b_; }
  const std::vector<std::uint8_t>& data() const { return b_; }

 private:
  std::vector<std::uint8_t> b_;
};

}  // namespace tarvex
