// Straightforward versions of the colour operations, written directly from
// their descriptions, for comparing with the optimised ones.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>

#include "colour/synthesis.h"
#include "image/frame_store.h"

namespace tarvex::reference {

constexpr int W = FRAME_WIDTH;
constexpr int H = FRAME_HEIGHT;

inline int at(const Frame& f, int r, int c) {
  return f[r * W + c];
}
inline void put(Frame& f, int r, int c, long long v) {
  f[r * W + c] = static_cast<std::uint16_t>(v);
}

inline std::uint16_t lum_of(long long s) {
  const long long v = static_cast<long long>(s / 1.7);
  return static_cast<std::uint16_t>(v > 65534 ? 65535 : v);
}

// The per-row step with its cursors and phase state, one pixel at a time.
inline void mosaic(FrameStore& fs, ColourDivisors d, bool pixel_offset, bool line_offset) {
  const Frame& raw = fs.CurrentFrame;
  const bool binned = fs.IsBinned;
  int column_phase = pixel_offset, line_phase = line_offset, parity = 0;
  for (int r = 0; r <= 578; ++r) {
    for (int c = 0; c <= 750; ++c) {
      auto P = [&](int dy, int dx) -> long long { return at(raw, r + dy, c + dx); };
      if (c == 0 || r < 2 || r > 577) {
        put(fs.RedPlane, r, c, 0);
        put(fs.BluePlane, r, c, 0);
        put(fs.GreenPlane, r, c, 0);
        fs.SecondFrame[r * W + c] = lum_of(P(0, 0) + P(0, 1));
        continue;
      }
      if (parity == 1 && binned) continue;
      long long lum, level;
      if (binned) {
        if (P(0, 0) == 65535) {
          lum = level = 65535;
        } else {
          const long long s = P(0, -1) + P(0, 0);
          lum = lum_of(s);
          level = static_cast<long long>(s * 0.5);
        }
      } else if (P(0, 0) > 65000 || (P(0, -1) > 65000 && P(0, 1) > 65000)) {
        lum = level = 65535;
      } else {
        const long long s = P(0, -1) > 65000 ? 2 * P(0, 0) : P(0, -1) + P(0, 0);
        lum = lum_of(s);
        level = static_cast<long long>(s * 0.5);
      }
      fs.SecondFrame[r * W + c] = static_cast<std::uint16_t>(lum);
      long long boost = 0;
      if (level > 65000)
        boost = 5000000;
      else if (level > 60000)
        boost = 2000000;
      else if (level > 55000)
        boost = 300000;
      else if (level > 53000)
        boost = 10000;
      else if (level > 50000)
        boost = 1000;
      const long long k = P(0, 0);
      const long long E = P(0, -1) + P(0, 1) + P(-2, 0) + P(2, 0);
      const long long K = P(-2, -1) + P(-2, 1) + P(2, -1) + P(2, 1);
      const long long A = k + E + K;
      const long long x1 = (4 * E + 16 * k - 6 * K) / 40;
      const long long x2 = (2 * E + 2 * K - 12 * k) / 20;
      const long long x3 = (A - 7 * x1 - 10 * x2) / 14;
      const long long y1 = (7 * K - 2 * E - 12 * k) / 40;
      const long long y2 = (6 * E - K - 4 * k) / 40;
      const long long y3 = (A - 11 * y1 - 13 * y2) / 8;
      long long red, blue, green;
      if (column_phase == 0 && line_phase == 0) {
        red = x2;
        blue = x1;
        green = x3;
      } else if (column_phase == 0) {
        red = y1;
        blue = y3;
        green = y2;
      } else if (line_phase == 0) {
        red = y3;
        blue = y1;
        green = y2;
      } else {
        red = x1;
        blue = x2;
        green = x3;
      }
      red = (red + boost) * 300 / d.red;
      blue = (blue + boost) * 300 / d.blue;
      green = (green + boost) * 300 / d.green;
      bool bad = false;
      for (long long* v : {&red, &blue, &green}) {
        if (*v < 0) {
          *v = 0;
          bad = true;
        }
      }
      const long long m = std::max({red, blue, green});
      const long long div = m <= 100000 ? 2 : m / 100000 + 2;
      red /= div;
      blue /= div;
      green /= div;
      if (parity == 1) {
        for (long long* v : {&red, &blue, &green}) *v = std::min(*v, 65535LL);
      } else if (red > 65535 || blue > 65535 || green > 65535) {
        red = blue = green = 65535;
      }
      if (bad) red = blue = green = 65535;
      put(fs.RedPlane, r, c, red);
      put(fs.BluePlane, r, c, blue);
      put(fs.GreenPlane, r, c, green);
      column_phase = !column_phase;
    }
    fs.SecondFrame[r * W + 751] = raw[r * W + 751];
    for (Frame* p : {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane}) {
      put(*p, r, 0, 0);
      put(*p, r, 751, 0);
    }
    if (parity == 1) line_phase = !line_phase;
    parity = !parity;
  }
  for (Frame* f : {&fs.SecondFrame, &fs.RedPlane, &fs.BluePlane, &fs.GreenPlane})
    std::fill_n(f->begin() + 579 * W, W, 0);
}

inline void smooth(FrameStore& fs, int kernel, int divisor) {
  static const int K0[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  static const int K1[25] = {0, 1, 2, 1, 0, 1, 4, 8, 4, 1, 2, 8, 16,
                             8, 2, 1, 4, 8, 4, 1, 0, 1, 2, 1, 0};
  static const int K2[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
  int K3[25];
  std::fill(K3, K3 + 25, -1);
  K3[12] = 25;
  const int* w = kernel == 0 ? K0 : kernel == 1 ? K1 : kernel == 2 ? K2 : K3;
  const int h = (kernel == 0 || kernel == 2) ? 1 : 2;
  Frame* planes[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  Frame* work[3] = {&fs.RedWork, &fs.BlueWork, &fs.GreenWork};
  for (int p = 0; p < 3; ++p) {
    for (int r = h; r <= 579 - h; ++r)
      for (int c = h; c <= 751 - h; ++c) {
        long long s = 0;
        int n = 0;
        for (int dy = -h; dy <= h; ++dy)
          for (int dx = -h; dx <= h; ++dx) s += w[n++] * at(*planes[p], r + dy, c + dx);
        put(*work[p], r, c, std::clamp<long long>(s / divisor, 0, 65535));
      }
    for (int r = h; r <= 579 - h; ++r)
      for (int c = h; c <= 751 - h; ++c) put(*planes[p], r, c, at(*work[p], r, c));
  }
}

inline void repair(FrameStore& fs, bool top_band, bool smoothing) {
  const bool binned = fs.IsBinned;
  const int s = binned ? 2 : 1;
  Frame* planes[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  Frame& L = fs.SecondFrame;
  for (int r = 0; r <= 579; ++r)
    for (int c = 751; c >= 1; --c) {
      bool good = true;
      for (Frame* p : planes) {
        if (at(*p, r, c) > 65530) good = false;
        if (r + s <= 579 && at(*p, r, c) > 2 * at(*p, r + s, c)) good = false;
      }
      for (Frame* p : planes) {
        if (good)
          put(*p, r, c, (at(*p, r, c) + at(*p, r, c - 1)) / 2);
        else if (binned && r > 1 && r < 578)
          put(*p, r, c, (at(*p, r - 2, c) + at(*p, r + 2, c)) / 2);
        else if (!binned && r > 0 && r < 579)
          put(*p, r, c, (at(*p, r - 1, c) + at(*p, r + 1, c)) / 2);
      }
    }
  for (int r = 0; r + (binned ? 2 : 1) <= 579; r += binned ? 4 : 2) {
    const int q = r + (binned ? 2 : 1);
    for (int c = 0; c < W; ++c) {
      const int a = at(L, r, c), b = at(L, q, c);
      if (a > 50000 && b > 30000)
        put(L, q, c, a);
      else if (b > 50000 && a > 30000)
        put(L, r, c, b);
    }
  }
  for (int r = 0; r <= 579; ++r)
    for (int c = 2; c <= 748; ++c)
      if (at(L, r, c) == 65535 && at(L, r, c + 2) == 65535 && at(L, r, c + 1) != 65535 &&
          at(L, r, c - 2) != 65535)
        put(L, r, c, at(L, r, c) - (65535 - at(L, r, c + 1)) / 2);
  if (binned) {
    for (Frame* f : {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane, &fs.SecondFrame})
      for (int r = 1; r <= 577; r += 2)
        for (int c = 0; c < W; ++c) put(*f, r, c, (at(*f, r - 1, c) + at(*f, r + 1, c)) / 2);
  }
  for (Frame* p : planes) {
    if (top_band)
      std::fill_n(p->begin(), 7520, 65535);
    else
      std::fill_n(p->begin(), W, 0);
  }
  for (Frame* f : {&fs.SecondFrame, &fs.RedPlane, &fs.BluePlane, &fs.GreenPlane})
    std::fill_n(f->begin() + 579 * W, W, 0);
  if (smoothing) smooth(fs, 0, 16);
}

inline void anti_alias(FrameStore& fs) {
  static const int K[49] = {0, 1, 2, 3, 2, 1, 0, 1,  2, 3, 4, 3, 2, 1, 2, 3, 6,
                            9, 6, 3, 2, 3, 4, 9, 12, 9, 4, 3, 2, 3, 6, 9, 6, 3,
                            2, 1, 2, 3, 4, 3, 2, 1,  0, 1, 2, 3, 2, 1, 0};
  Frame* planes[3] = {&fs.RedPlane, &fs.BluePlane, &fs.GreenPlane};
  auto detail = std::make_unique<std::array<Frame, 3>>();
  auto median = std::make_unique<std::array<Frame, 3>>();
  for (int p = 0; p < 3; ++p)
    for (int r = 3; r <= 576; ++r)
      for (int c = 3; c <= 748; ++c) {
        long long s = 0;
        int n = 0;
        for (int dy = -3; dy <= 3; ++dy)
          for (int dx = -3; dx <= 3; ++dx) s += K[n++] * at(*planes[p], r + dy, c + dx);
        const long long low = std::clamp<long long>(s / 156, 0, 65535);
        const int v = at(*planes[p], r, c);
        put((*detail)[p], r, c, low < v ? v - low : 0);
        std::array<int, 25> win;
        n = 0;
        for (int dy = -2; dy <= 2; ++dy)
          for (int dx = -2; dx <= 2; ++dx) win[n++] = at(*planes[p], r + dy, c + dx);
        std::sort(win.begin(), win.end(), std::greater<int>());
        put((*median)[p], r, c, win[12]);
      }
  for (int r = 3; r <= 576; ++r)
    for (int c = 3; c <= 748; ++c) {
      const int m =
          ((at((*detail)[0], r, c) + at((*detail)[1], r, c) + at((*detail)[2], r, c)) / 3) & 255;
      for (int p = 0; p < 3; ++p) {
        const int v = at((*median)[p], r, c) + m;
        put(*planes[p], r, c, v > 65534 ? 65535 : v);
      }
    }
}

// A raw mosaic frame: a sky with stars, saturated and dead pixels.
inline void fill_mosaic(Frame& f, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(0, 4000), pick(0, 299);
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    int v = 3000 + ((i % W) % 2) * 1500 + ((i / W) % 4 < 2 ? 700 : 0) + noise(rng);
    const int p = pick(rng);
    if (p == 0) v = 65535;
    if (p == 1) v = 0;
    if (p == 2) v = 50000 + noise(rng) * 4;
    if (p == 3) v = 30000 + noise(rng) * 5;
    f[i] = static_cast<std::uint16_t>(std::min(v, 65535));
  }
}

}  // namespace tarvex::reference
