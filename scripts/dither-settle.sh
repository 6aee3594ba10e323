#!/bin/bash
# How soon guiding settles after a dither, on the realistic simulated mount
# at 2"/px: trains the autoguider, then runs RUNS (default 10) continuous
# self-guided captures of 20 dithered 10-second exposures each, and prints
# the spread of the guide frames each settle took.
#
#   bash scripts/dither-settle.sh [TARVEX_CLI] [SEEING_ARCSEC]
set -euo pipefail
cli=${1:-build/tarvex-cli}
seeing=${2:-2}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mount="preset=realistic,scale=2,seeing=$seeing"
"$cli" --data-root "$dir" --simulator --virtual-time --sim-mount "$mount" train >/dev/null 2>&1
for run in $(seq 1 "${RUNS:-10}"); do
  "$cli" --data-root "$dir" --simulator --virtual-time --sim-mount "$mount,seed=$run" \
    capture --self-guide --autosave --continuous --frames 20 --dither 3 --range s --value 10 \
    2>&1 >/dev/null | grep -E "settled after|settle timed out" || true
done >"$dir/events"
echo "settle timed out: $(grep -c 'timed out' "$dir/events" || true)"
grep -oE 'settled after [0-9]+' "$dir/events" | awk '{print $3}' | sort -n | awk '
  { f[NR] = $1; if ($1 <= 8) within++ }
  END { printf "%d dithers settled: median %d, 75%% within %d, 90%% within %d, longest %d frames; %d (%.0f%%) within 8 frames\n",
        NR, f[int((NR + 1) / 2)], f[int(NR * 0.75)], f[int(NR * 0.9)], f[NR], within, 100 * within / NR }'
