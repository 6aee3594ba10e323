// The median filter's inner work: a selection network that finds the median
// of each window from its columns sorted once per row.
#pragma once

#include <cstdint>

namespace tarvex {

// Rows y0..y1-1 of dst from src (both full frames, src unchanged): where the
// window median M departs from the pixel by more than trunc(range * fraction),
// the pixel becomes M. The range is the window maximum less the smaller of
// 65000 and the window minimum. Radius 1..3.
void median_rows(const std::uint16_t* src, std::uint16_t* dst, int y0, int y1, int radius,
                 float fraction);

// For `count` consecutive 5 x 5 windows centred on src[0], src[1], ...,
// writes each window's median (the 13th largest of 25) to out[0..count).
// `stride` is the row length; the windows read two rows and two columns on
// each side of every centre and nothing else.
void median5_row(const std::uint16_t* src, int stride, int count, std::uint16_t* out);

// Number of two-value exchanges the network for `radius` performs per chunk
// of pixels, after the column sort (for tests and benchmarks).
int median_network_size(int radius);

}  // namespace tarvex
