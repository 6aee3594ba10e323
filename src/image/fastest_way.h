// Choosing among ways of doing one job that give the same result: the
// vector instructions that pay on one processor can lose on another (a
// gather, say, is cheap on some designs and slow on others), so the ways a
// processor offers are timed on a small piece of the real work at first
// use and the cheapest is kept for the rest of the run.
#pragma once

#include <chrono>
#include <cstddef>
#include <limits>
#include <vector>

namespace tarvex {

// Runs each of `ways` ways `rounds` times, taking turns so that a busy
// moment of the machine does not fall on one way alone, and returns the
// index of the way with the smallest time of a single run. `run(k)` does
// the work once the k-th way.
template <class Run>
std::size_t fastest_way(std::size_t ways, int rounds, Run run) {
  if (ways <= 1) return 0;
  std::vector<double> best(ways, std::numeric_limits<double>::max());
  for (int r = 0; r < rounds; ++r)
    for (std::size_t k = 0; k < ways; ++k) {
      const auto start = std::chrono::steady_clock::now();
      run(k);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      if (took.count() < best[k]) best[k] = took.count();
    }
  std::size_t chosen = 0;
  for (std::size_t k = 1; k < ways; ++k)
    if (best[k] < best[chosen]) chosen = k;
  return chosen;
}

}  // namespace tarvex
