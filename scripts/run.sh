#!/usr/bin/env bash
# Builds Tarvex and runs its main job. Until the main window is in place this
# is a tarvex-cli demonstration on the start-up ramp: open it, process it,
# save it as a KR File, write the display bitmap and read the file back.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target tarvex-cli

out="${TARVEX_DEMO_DIR:-$PWD/demo-output}"
mkdir -p "$out"
echo "== Processing the start-up ramp (files go to $out)"
./build/tarvex-cli --data-root "$out/data" process ramp --do undo \
  --save-raw "$out/~ramp" --save-flat "$out/~flat" --bitmap "$out/ramp.bmp"
echo "== Reading the saved KR File back"
./build/tarvex-cli --data-root "$out/data" info "$out/~ramp"
