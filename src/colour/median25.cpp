#include "colour/median25.h"

#include "processing/filters_median.h"

namespace tarvex {

// The median filter's 5 x 5 selection serves the anti-alias filter too: the
// columns of a row are sorted once and merged per window.
void median25_row(const std::uint16_t* src, int stride, int count, std::uint16_t* out) {
  median5_row(src, stride, count, out);
}

int median25_network_size() {
  return median_network_size(2);
}

}  // namespace tarvex
