#include "colour/median25.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tarvex {

namespace {

constexpr int WIRES = 32;  // Batcher's network works on a power of two
constexpr int INPUTS = 25;
constexpr int MEDIAN_POSITION = 12;  // 13th smallest = 13th largest of 25
constexpr int MAX_STEPS = 256;

struct Network {
  std::array<std::pair<std::uint8_t, std::uint8_t>, MAX_STEPS> steps{};
  int size = 0;
  int output = 0;
};

// Batcher's odd-even merge sort on 32 wires, with wires 25..31 known to hold
// the largest value and only the steps that lead to the median kept.
Network make_network() {
  std::array<std::pair<int, int>, MAX_STEPS> full{};
  int n_full = 0;
  for (int p = 1; p < WIRES; p <<= 1) {
    for (int k = p; k >= 1; k >>= 1) {
      for (int j = k % p; j <= WIRES - 1 - k; j += 2 * k) {
        for (int i = 0; i <= std::min(k - 1, WIRES - j - k - 1); ++i) {
          if ((i + j) / (2 * p) == (i + j + k) / (2 * p)) full[n_full++] = {i + j, i + j + k};
        }
      }
    }
  }
  // Steps touching a padding wire are decided in advance: either nothing
  // happens or the two wires trade places, which is a relabelling.
  std::array<int, WIRES> slot{};
  std::array<bool, WIRES> pad{};
  for (int w = 0; w < WIRES; ++w) {
    slot[w] = w;
    pad[w] = w >= INPUTS;
  }
  std::array<std::pair<int, int>, MAX_STEPS> live{};
  int n_live = 0;
  for (int s = 0; s < n_full; ++s) {
    const auto [a, b] = full[s];  // smaller value to a, larger to b
    if (pad[b]) continue;
    if (pad[a]) {
      std::swap(slot[a], slot[b]);
      std::swap(pad[a], pad[b]);
      continue;
    }
    live[n_live++] = {slot[a], slot[b]};
  }
  // Keep only the steps the median wire depends on.
  Network net;
  net.output = slot[MEDIAN_POSITION];
  std::array<bool, WIRES> needed{};
  needed[net.output] = true;
  std::array<bool, MAX_STEPS> keep{};
  for (int s = n_live - 1; s >= 0; --s) {
    const auto [a, b] = live[s];
    if (needed[a] || needed[b]) {
      keep[s] = true;
      needed[a] = needed[b] = true;
    }
  }
  for (int s = 0; s < n_live; ++s) {
    if (keep[s]) {
      net.steps[net.size++] = {static_cast<std::uint8_t>(live[s].first),
                               static_cast<std::uint8_t>(live[s].second)};
    }
  }
  return net;
}

const Network& network() {
  static const Network net = make_network();
  return net;
}

constexpr int BLOCK = 64;

}  // namespace

int median25_network_size() {
  return network().size;
}

void median25_row(const std::uint16_t* src, int stride, int count, std::uint16_t* out) {
  const Network& net = network();
  alignas(32) std::uint16_t v[INPUTS][BLOCK];
  for (int x0 = 0; x0 < count; x0 += BLOCK) {
    const int n = std::min(BLOCK, count - x0);
    int w = 0;
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx, ++w) {
        const std::uint16_t* s = src + x0 + dy * stride + dx;
        for (int i = 0; i < n; ++i) v[w][i] = s[i];
        for (int i = n; i < BLOCK; ++i) v[w][i] = 0;
      }
    }
    for (int s = 0; s < net.size; ++s) {
      std::uint16_t* a = v[net.steps[s].first];
      std::uint16_t* b = v[net.steps[s].second];
      for (int i = 0; i < BLOCK; ++i) {
        // Written as a saturating difference, which vectorises to one
        // instruction on every x86-64 processor: a - d is the smaller value
        // and b + d the larger.
        const std::uint16_t d = static_cast<std::uint16_t>(a[i] > b[i] ? a[i] - b[i] : 0);
        a[i] = static_cast<std::uint16_t>(a[i] - d);
        b[i] = static_cast<std::uint16_t>(b[i] + d);
      }
    }
    std::copy_n(v[net.output], n, out + x0);
  }
}

}  // namespace tarvex
