#include "processing/star_location.h"

#include <algorithm>

#include "platform/messages.h"

namespace tarvex {

int star_background_for_bin(int bin) {
  if (bin < 4015) return static_cast<int>(bin * 16.3);
  if (bin < 4095) return bin * 16;
  return 65535;
}

StarFix search_star(StarWorkspace& work, const FrameView& frame, int x, int y, int r, bool tenths) {
  r = std::clamp(r, 1, STAR_MAX_RADIUS);
  const int width = frame.width;
  const int left = x - r;
  const int top = y - r;
  StarFix fix;
  if (left < 0 || top < 0 || x + r + 1 > width || y + r + 1 > frame.height) {
    fix.result = StarSearch::OutsideFrame;
    return fix;
  }
  const int n = 2 * r + 1;
  const int count = n * n;

  // Histogram of value / 16, box copy and peak. The mode is tracked as the
  // counters grow: the bin with the highest count, the lowest bin on a tie.
  std::uint16_t* box = work.box.data();
  std::uint16_t* hist = work.histogram.data();
  int peak = 0;
  int mode_bin = 0;
  int mode_count = 0;
  for (int i = 0; i < n; ++i) {
    const std::uint16_t* row = frame.samples + static_cast<std::ptrdiff_t>(top + i) * width + left;
    std::uint16_t* out = box + i * n;
    for (int j = 0; j < n; ++j) {
      const int v = row[j];
      out[j] = static_cast<std::uint16_t>(v);
      peak = std::max(peak, v);
      const int bin = v >> 4;
      const int c = ++hist[bin];
      if (c > mode_count || (c == mode_count && bin < mode_bin)) {
        mode_count = c;
        mode_bin = bin;
      }
    }
  }
  // Leave the histogram cleared for the next call: only the bins this box
  // touched can be non-zero.
  for (int k = 0; k < count; ++k) hist[box[k] >> 4] = 0;

  int background = star_background_for_bin(mode_bin);
  const bool nothing_found = (peak <= background && mode_count > count / 2) ||
                             // A flat box at a low level holds no star.
                             (peak == background && background <= 500) ||
                             // No sample lies above the background: the normalisation below would
                             // divide by zero or turn negative, so there is nothing to centre on.
                             peak < background;
  if (nothing_found) {
    fix.result = StarSearch::NothingFound;
    return fix;
  }
  if (peak == background) --background;

  // Normalise the samples above the background to the full 16-bit range.
  const int factor = 65535 / (peak - background);
  std::uint32_t sum = 0;
  for (int k = 0; k < count; ++k) {
    const int v = box[k];
    const std::uint16_t norm =
        v > background ? static_cast<std::uint16_t>((v - background) * factor) : 0;
    box[k] = norm;
    sum += norm;
  }
  const int mean = static_cast<int>(sum / static_cast<std::uint32_t>(count));

  // Centroid of the samples above the mean; the sums start at 1, so an even
  // box centres on offset 1.
  std::int64_t w = 1;
  std::int64_t sx = 1;
  std::int64_t sy = 1;
  for (int i = 0; i < n; ++i) {
    const std::uint16_t* row = box + i * n;
    std::int64_t row_w = 0;
    std::int64_t row_x = 0;
    for (int j = 0; j < n; ++j) {
      const int d = row[j] - mean;
      if (d > 0) {
        row_w += d;
        row_x += static_cast<std::int64_t>(d) * j;
      }
    }
    w += row_w;
    sx += row_x;
    sy += row_w * i;
  }
  const double cx = static_cast<double>(sx) / static_cast<double>(w);
  const double cy = static_cast<double>(sy) / static_cast<double>(w);

  StarPosition& p = fix.position;
  if (tenths) {
    const int ix = static_cast<int>(cx);
    const int iy = static_cast<int>(cy);
    p.x = left + ix;
    p.y = top + iy;
    p.x_tenths = static_cast<int>(cx * 10) - 10 * ix;
    p.y_tenths = static_cast<int>(cy * 10) - 10 * iy;
  } else {
    p.x = left + static_cast<int>(cx + 0.5);
    p.y = top + static_cast<int>(cy + 0.5);
    p.x_tenths = 0;
    p.y_tenths = 0;
  }
  fix.result = StarSearch::Found;
  return fix;
}

StarSearch locate_star(StarLocation& s, const FrameView& frame, int x, int y, int r) {
  const StarFix fix = search_star(s.work, frame, x, y, r, s.tenths());
  if (fix.result == StarSearch::Found) s.position = fix.position;
  return fix.result;
}

void report_star_search(Messages& messages, StarSearch result, bool quiet) {
  if (result == StarSearch::OutsideFrame) show_message(messages, Msg::CentreOutsideImage);
  if (result == StarSearch::NothingFound && !quiet) show_message(messages, Msg::NothingToCentreOn);
}

}  // namespace tarvex
