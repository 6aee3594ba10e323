#!/usr/bin/env bash
# Makes data/tycho2-stars.bin, the simulated camera's whole-sky star list
# (--sky real), from Debian's packaged Tycho-2 index files: every star the
# index holds, with its J2000 position and V_T magnitude, read with
# astrometry.net's query-starkd and packed by scripts/pack-star-list.py.
#
#   scripts/make-star-extract.sh [OUT]      (default data/tycho2-stars.bin)
#
# Needs astrometry.net and astrometry-data-tycho2-08 (apt install
# astrometry.net astrometry-data-tycho2-08); -09 adds its few extra stars.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/data/tycho2-stars.bin}
index_dir=${ASTROMETRY_INDEX_DIR:-/usr/share/astrometry}
command -v query-starkd >/dev/null || {
  echo "make-star-extract: query-starkd not found: install astrometry.net" >&2
  exit 1
}
indexes=()
for n in 08 09; do
  for f in "$index_dir"/index-tycho2-$n*.fits; do
    [ -e "$f" ] && indexes+=("$f")
  done
done
[ ${#indexes[@]} -gt 0 ] || {
  echo "make-star-extract: no index-tycho2-08 or -09 in $index_dir:" \
    "install astrometry-data-tycho2-08" >&2
  exit 1
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in "${indexes[@]}"; do
  # The whole sky: every star within 180 degrees of any point.
  query-starkd -r 0 -d 0 -R 180 -T "$f" 2>/dev/null >>"$tmp/stars.txt"
done
python3 "$here/scripts/pack-star-list.py" "$tmp/stars.txt" "$out"
