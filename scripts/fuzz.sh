#!/usr/bin/env bash
# Fuzzes every file reader: builds the readers alone with clang's libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer (in build-fuzz/), writes
# the seeds (files the program writes), and runs each target for SECONDS
# seconds (default 8) from its seeds, its regression inputs and the corpus
# earlier runs left in build-fuzz/corpus/.
#
#   bash scripts/fuzz.sh          # the short run of the test command
#   bash scripts/fuzz.sh 600      # ten minutes a target
#
# An input that makes a target fail is written to fuzz/regressions/<target>/;
# keep it there (commit it) once the fault is mended: the ordinary tests
# replay every file of that folder.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET="${1:-8}"
JOBS="${JOBS:-$(nproc)}"
TARGETS=(raw_file second_frame fits settings readout lx200)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVEX_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$JOBS" >/dev/null

rm -rf build-fuzz/seeds
build-fuzz/fuzz/fuzz_seeds build-fuzz/seeds

# The longest input each target takes: enough for a FITS header and the
# start of the data, a settings file several times over, a scripted read.
max_len() {
  case "$1" in
    fits) echo 8192 ;;
    settings) echo 4736 ;;
    lx200) echo 64 ;;
    *) echo 16384 ;;
  esac
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
status=0
for t in "${TARGETS[@]}"; do
  mkdir -p "build-fuzz/corpus/$t" "fuzz/regressions/$t"
  log="build-fuzz/fuzz-$t.log"
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  if ! "build-fuzz/fuzz/fuzz_$t" -max_total_time="$SECONDS_PER_TARGET" -max_len="$(max_len "$t")" \
      -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="fuzz/regressions/$t/" "${dict[@]}" \
      "build-fuzz/corpus/$t" "build-fuzz/seeds/$t" "fuzz/regressions/$t" >"$log" 2>&1; then
    echo "fuzz_$t FAILED; the input is in fuzz/regressions/$t/ (log: $log)"
    grep -E "ERROR|fuzz check failed|SUMMARY|runtime error" "$log" | head -20 || true
    status=1
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "fuzz_$t: ${runs:-?} executions in ${SECONDS_PER_TARGET} s"
done
exit "$status"
