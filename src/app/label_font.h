// The label font: 8 x 10 pixel glyphs for the characters a label may hold
// (letters, digits, '/', ' ', '-' and ':').
#pragma once

#include <array>
#include <cstdint>

namespace tarvex {

inline constexpr int LABEL_CELL_WIDTH = 8;
inline constexpr int LABEL_CELL_HEIGHT = 10;

// Rows of 8 bits, top row first, most significant bit leftmost.
using LabelGlyph = std::array<std::uint8_t, LABEL_CELL_HEIGHT>;

// The glyph of `c`, or nullptr when the font has none (the cell stays black).
const LabelGlyph* label_glyph(char c);

}  // namespace tarvex
