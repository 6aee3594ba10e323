#!/usr/bin/env bash
# The layer check passes on the sources as they are, and fails, naming the
# file and the include, on a scratch copy with one include that climbs a layer.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
check="$here/scripts/check-layers.py"

python3 "$check" "$here/src"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$here/src" "$scratch/src"
sed -i '1i #include "app/tarvex.h"' "$scratch/src/files/tiff.cpp"
sed -i '1i #include <QImage>' "$scratch/src/processing/stretch.cpp"
if out="$(python3 "$check" "$scratch/src")"; then
  echo "the layer check passed a file that includes a higher layer" >&2
  exit 1
fi
echo "$out"
grep -q 'files/tiff.cpp:1: includes higher layer: "app/tarvex.h"' <<<"$out"
grep -q 'processing/stretch.cpp:1: includes Qt outside the Qt front ends: <QImage>' <<<"$out"
[ "$(wc -l <<<"$out")" -eq 2 ]
