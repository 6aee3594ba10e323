#!/usr/bin/env bash
# Builds Tarvex and runs every test: the normal build (with the benchmarks
# built and given a short smoke run), then the core and its tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of every
# fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh

# The layers: no source includes a header of a higher layer.
python3 scripts/check-layers.py

# The sources are formatted as .clang-format says.
find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror

JOBS="${JOBS:-$(nproc)}"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVEX_WERROR=ON
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"

# The autoguider's accuracy on the simulators, with its figures: trained
# rates and backlash, the RMS of ten minutes of guiding, the star spreads of
# unguided and self-guided exposures.
echo "Guiding accuracy on the simulators:"
build/tarvex_tests --gtest_filter='AutoguiderSim.*' --gtest_brief=1 |
  grep -E '^(trained|guided|star spread|guide stars)'

# Every benchmark once, briefly, so a broken benchmark is caught.
for b in build/bench_*; do
  [ -x "$b" ] || continue
  "$b" --benchmark_min_time=0.01 >/dev/null
done

# The INDI server tests (label indi_server) wait on the simulated camera's
# real read times and are left to the normal build.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=ON \
  -DTARVEX_BUILD_UI=OFF -DTARVEX_BUILD_BENCH=OFF
cmake --build build-asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$JOBS" -LE indi_server

# Every file reader fuzzed briefly (8 s a target), from the seeds and every
# input that ever failed; scripts/fuzz.sh SECONDS runs them longer.
bash scripts/fuzz.sh 8

echo "All tests passed."
