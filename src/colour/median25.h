// The median of 5 x 5 windows (the 13th largest of 25 samples): the columns
// of a row are sorted once, and a fixed compare-exchange network merges the
// five sorted columns of each window, many windows side by side.
#pragma once

#include <cstdint>

namespace tarvex {

// For `count` consecutive windows centred on src[0], src[1], ..., writes
// each window's median to out[0..count). `stride` is the row length; the
// window reads two rows and two columns on each side of every centre.
void median25_row(const std::uint16_t* src, int stride, int count, std::uint16_t* out);

// The number of compare-exchange steps per window after the column sort
// (for the tests).
int median25_network_size();

}  // namespace tarvex
