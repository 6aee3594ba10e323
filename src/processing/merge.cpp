#include "processing/merge.h"

#include <algorithm>
#include <cstring>

namespace tarvex {

namespace {

// Averages a work plane with the merge image's plane over one row's span.
void average_plane_row(std::uint16_t* __restrict work, const std::uint16_t* __restrict partner,
                       int count) {
  for (int k = 0; k < count; ++k)
    work[k] = static_cast<std::uint16_t>((static_cast<unsigned>(work[k]) + partner[k]) / 2);
}

}  // namespace

void combine_merge(FrameStore& fs, int dx, int dy, int first_row, bool average, bool colour) {
  // Columns j whose partner column j + dx lies in 1..751.
  const int j0 = std::max(0, 1 - dx);
  const int j1 = std::min(FRAME_WIDTH, FRAME_WIDTH - dx);  // exclusive
  if (j0 >= j1) return;
  const int count = j1 - j0;
  // Rows i whose partner row i + dy lies in first_row + 1..579.
  const int i0 = std::max(first_row, first_row + 1 - dy);
  const int i1 = std::min(FRAME_HEIGHT, FRAME_HEIGHT - dy);  // exclusive
  for (int i = i0; i < i1; ++i) {
    const std::ptrdiff_t base_at = static_cast<std::ptrdiff_t>(i) * FRAME_WIDTH + j0;
    const std::ptrdiff_t partner_at = static_cast<std::ptrdiff_t>(i + dy) * FRAME_WIDTH + j0 + dx;
    std::uint16_t* __restrict h = fs.SecondFrame.data() + base_at;
    const std::uint16_t* __restrict g = fs.CurrentFrame.data() + partner_at;
    if (average) {
      for (int k = 0; k < count; ++k)
        h[k] = static_cast<std::uint16_t>((static_cast<unsigned>(g[k]) + h[k]) / 2);
    } else {
      for (int k = 0; k < count; ++k) {
        // Sums above 65534 become 65535: a saturating add.
        const unsigned sum = static_cast<unsigned>(g[k]) + h[k];
        h[k] = static_cast<std::uint16_t>(std::min(sum, 65535u));
      }
    }
    if (colour) {
      average_plane_row(fs.RedWork.data() + base_at, fs.RedPlane.data() + partner_at, count);
      average_plane_row(fs.GreenWork.data() + base_at, fs.GreenPlane.data() + partner_at, count);
      average_plane_row(fs.BlueWork.data() + base_at, fs.BluePlane.data() + partner_at, count);
    }
  }
}

}  // namespace tarvex
