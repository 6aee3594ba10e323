#include "colour/corrections.h"

#include <algorithm>

#include "colour/synthesis.h"
#include "image/label_band.h"
#include "processing/stretch.h"

namespace tarvex {

namespace {

constexpr int W = FRAME_WIDTH;
constexpr int H = FRAME_HEIGHT;

void shift_horizontal(const Frame& in, Frame& out, int first_row, int shift) {
  for (int r = first_row; r < H; ++r) {
    const std::uint16_t* s = in.data() + r * W;
    std::uint16_t* d = out.data() + r * W;
    for (int c = 0; c < W; ++c) {
      const int from = c + shift;
      d[c] = (from >= 0 && from < W) ? s[from] : s[c];
    }
  }
}

void shift_vertical(const Frame& in, Frame& out, int first_row, int shift) {
  for (int r = first_row; r < H; ++r) {
    const int from = r + shift;
    const int src = (from >= first_row && from < H) ? from : r;
    std::copy_n(in.data() + src * W, W, out.data() + r * W);
  }
}

void copy_rows(const Frame& in, Frame& out, int first_row) {
  std::copy_n(in.data() + first_row * W, (H - first_row) * W, out.data() + first_row * W);
}

}  // namespace

void balance_plane(Frame& plane, const BalanceValues& v) {
  std::uint16_t* d = plane.data();
  if (v.start != 0) {
    const int cut = 256 * v.start;
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      if (d[i] == 65535) continue;
      const int x = d[i] - cut;
      d[i] = x < 1        ? std::uint16_t{0}
             : x >= 65535 ? std::uint16_t{65535}
                          : static_cast<std::uint16_t>(x);
    }
    return;
  }
  int lo = 256 * v.minimum;
  const int hi = 256 * v.maximum;
  if (lo < 0) {
    const int lift = -lo;
    for (int i = 0; i < FRAME_SAMPLES; ++i) {
      if (d[i] < 62720) d[i] = static_cast<std::uint16_t>(d[i] + lift);
    }
    lo = 0;
  }
  // The level table: black below lo, white from hi, a straight line between.
  const double scale = hi > lo ? 65535.0 / (hi - lo) : 0.0;
  std::array<std::uint16_t, 65536> table;
  const int top = std::min(hi, 65536);
  for (int x = 0; x < std::min(lo, 65536); ++x) table[x] = 0;
  for (int x = lo; x < top; ++x) {
    const double y = (x - lo) * scale;
    table[x] = y > 65535.0 ? std::uint16_t{65535} : static_cast<std::uint16_t>(y);
  }
  for (int x = std::max(hi, 0); x < 65536; ++x) table[x] = 65535;
  for (int i = 0; i < FRAME_SAMPLES; ++i) d[i] = table[d[i]];
}

void balance_planes(FrameStore& fs, const ColourBalance& b,
                    const std::function<void(int)>& on_colour) {
  if (on_colour) on_colour(0);
  balance_plane(fs.BluePlane, b.blue);
  if (on_colour) on_colour(1);
  balance_plane(fs.RedPlane, b.red);
  if (on_colour) on_colour(2);
  balance_plane(fs.GreenPlane, b.green);
}

void shift_planes(FrameStore& fs, const ChromaticShifts& s) {
  const int first_row = has_label_band(fs.CurrentFrame) ? LABEL_BAND_ROWS : 0;
  shift_horizontal(fs.RedPlane, fs.RedWork, first_row, s.red_h);
  shift_horizontal(fs.BluePlane, fs.BlueWork, first_row, s.blue_h);
  copy_rows(fs.RedWork, fs.RedPlane, first_row);
  copy_rows(fs.BlueWork, fs.BluePlane, first_row);
  shift_vertical(fs.RedPlane, fs.RedWork, first_row, s.red_v);
  shift_vertical(fs.BluePlane, fs.BlueWork, first_row, s.blue_v);
  copy_rows(fs.RedWork, fs.RedPlane, first_row);
  copy_rows(fs.BlueWork, fs.BluePlane, first_row);
}

void overload_smoothing(FrameStore& fs) {
  std::uint16_t* lum = fs.CurrentFrame.data();
  std::uint16_t* planes[3] = {fs.RedPlane.data(), fs.BluePlane.data(), fs.GreenPlane.data()};
  for (int r = 1; r < H; ++r) {
    int a = 0;
    for (int c = 5; c <= 746; ++c) {
      const int i = r * W + c;
      const int l = lum[i];
      if (l <= 35000) continue;
      if (planes[0][i] <= 60000 && planes[1][i] <= 60000 && planes[2][i] <= 60000 && l != 65535) {
        a = 0;
        continue;
      }
      int left_mean[3], right_sum[3] = {0, 0, 0};
      for (int p = 0; p < 3; ++p) {
        int sum = 0;
        for (int k = 1; k <= 5; ++k) sum += planes[p][i - k];
        left_mean[p] = sum / 5;
      }
      int good = 0;
      for (int k = 1; k <= 5; ++k) {
        const int j = i + k;
        if (planes[0][j] < 65535 && planes[1][j] < 65535 && planes[2][j] < 65535) {
          ++good;
          for (int p = 0; p < 3; ++p) right_sum[p] += planes[p][j];
        }
      }
      int value[3];
      for (int p = 0; p < 3; ++p) {
        value[p] = good >= 1 ? (left_mean[p] + right_sum[p] / good) / 2 : left_mean[p];
      }
      a = a + (a < 5 ? 1 : 0) - good;
      const int here = lum[i];
      const int next = lum[i + 1];
      if (next > 65000 && here < 65000) {
        lum[i] = static_cast<std::uint16_t>(here + ((3 * (next - here)) % 65536) / 6);
      } else if (here > 65000 && next < 65000) {
        lum[i] = static_cast<std::uint16_t>(here - ((3 * (here - next)) % 65536) / 6);
      } else if (here >= 65535 - 200 * a) {
        lum[i] = 65535;
      } else if (a > 0) {
        lum[i] = static_cast<std::uint16_t>(here + 200 * a);
      }
      for (int p = 0; p < 3; ++p) planes[p][i] = static_cast<std::uint16_t>(value[p]);
    }
  }
  auto halfway = [](std::uint16_t v) { return static_cast<std::uint16_t>(v + (65535 - v) / 2); };
  for (int r = 1; r < H; ++r) {
    for (int c = 5; c <= 746; ++c) {
      const int i = r * W + c;
      if (lum[i] != 65535) continue;
      for (auto* p : planes) {
        p[i - 1] = halfway(p[i - 1]);
        p[i + 1] = halfway(p[i + 1]);
        p[i - 2] = p[i - 1];
        p[i + 2] = p[i + 1];
        p[i] = 65535;
      }
    }
  }
  smooth_planes(fs, 1, 80);
  smooth_planes(fs, 0, 16);
  smooth_planes(fs, 0, 16);
}

void colour_histograms(const FrameStore& fs, ColourHistograms& h) {
  h.red.fill(0);
  h.blue.fill(0);
  h.green.fill(0);
  for (int i = BLOCK_SAMPLES; i < FRAME_SAMPLES; ++i) {
    ++h.red[fs.RedPlane[i] / 512];
    ++h.blue[fs.BluePlane[i] / 512];
    ++h.green[fs.GreenPlane[i] / 512];
  }
  auto edge = [](const std::array<std::uint32_t, 129>& bins) {
    for (int b = 1; b <= 126; ++b)
      if (bins[b] > 4000) return b;
    return 1;
  };
  h.red_edge = edge(h.red);
  h.blue_edge = edge(h.blue);
  h.green_edge = edge(h.green);
}

HistogramBalance histogram_balance_choice(const ColourHistograms& h) {
  const int top = std::max(h.red_edge, std::max(h.green_edge, h.blue_edge));
  auto gap = [top](int edge) {
    return static_cast<int>(static_cast<std::uint16_t>(static_cast<int>((top - edge) * 307.2)));
  };
  const int red = gap(h.red_edge), green = gap(h.green_edge), blue = gap(h.blue_edge);
  if (red > green && red > blue) return {PlaneChoice::Red, red};
  if (green > red && green > blue) return {PlaneChoice::Green, green};
  return {PlaneChoice::Blue, blue};
}

HistogramBalance balance_colour_histogram(FrameStore& fs) {
  ColourHistograms h;
  colour_histograms(fs, h);
  const HistogramBalance choice = histogram_balance_choice(h);
  Frame& plane = choice.plane == PlaneChoice::Red     ? fs.RedPlane
                 : choice.plane == PlaneChoice::Green ? fs.GreenPlane
                                                      : fs.BluePlane;
  const int limit = 65535 - choice.gap;
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    if (plane[i] < limit) plane[i] = static_cast<std::uint16_t>(plane[i] + choice.gap);
  }
  return choice;
}

}  // namespace tarvex
