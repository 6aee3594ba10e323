#!/bin/bash
# Regenerates the README's pictures of the simulated sky and the colour
# chart: the main job's headless demonstration (scripts/run.sh: three
# 2-second exposures summed on a star, in colour) and the chart on the
# simulator (virtual time), each as the display bitmap the run leaves in the
# data folder, halved, as a PNG in docs/.
#
#   bash scripts/make-sky-picture.sh [path/to/tarvex-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/tarvex-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$cli" --data-root "$work/data" --simulator --virtual-time capture --range s --value 2 \
    --count 3 --star 551,240 --colour >/dev/null 2>&1
python3 "$here/scripts/bmp_to_png.py" "$work/data/tvximg.bmp" "$here/docs/sky-colour.png" 2
"$cli" --data-root "$work/data" --simulator --virtual-time --sky chart capture --range s \
    --value 1 --mode progressive --colour >/dev/null 2>&1
python3 "$here/scripts/bmp_to_png.py" "$work/data/tvximg.bmp" "$here/docs/colour-chart.png" 2
echo "wrote docs/sky-colour.png and docs/colour-chart.png"
