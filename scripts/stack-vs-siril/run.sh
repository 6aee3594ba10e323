#!/bin/sh
# Batch stack against siril-cli on the same simulated night, timed in pairs
# by farm-bench, then the quality of both results.
# Usage: scripts/stack-vs-siril/run.sh [WORK_DIR] [FRAMES]   (after building tarvex-cli)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$here/../../build
work=${1:-/tmp/stack-vs-siril}
frames=${2:-50}
libs="$build/libtarvex_app.a $build/libtarvex_sim.a $build/libtarvex_algorithms.a $build/libtarvex_files.a $build/libtarvex_image.a $build/libtarvex_platform.a $(pkg-config --libs hidapi-hidraw libusb-1.0 2>/dev/null || true)"
mkdir -p "$work/night" "$work/sir/darks" "$work/sir/flats" "$work/sir/lights"
g++ -std=c++20 -O2 -I"$here/../../src" "$here/make_night.cpp" $libs -o "$work/make_night"
g++ -std=c++20 -O2 -I"$here/../../src" "$here/measure_stack.cpp" $libs -o "$work/measure_stack"
rm -f "$work"/night/*.fit "$work"/sir/*/*.fit
"$work/make_night" "$frames" "$work/night"
for kind in dark flat light; do
  for f in "$work"/night/${kind}_*.fit; do ln -s "$f" "$work/sir/${kind}s/"; done
done
cat > "$work/sir/stack.ssf" <<SSF
requires 0.99.4
cd $work/sir/darks
convert dark -out=../process
cd ../process
stack dark rej 3 3 -nonorm
cd ../flats
convert flat -out=../process
cd ../process
stack flat rej 3 3 -norm=mul
cd ../lights
convert light -out=../process
cd ../process
preprocess light -dark=dark_stacked -flat=flat_stacked
register pp_light
stack r_pp_light rej 3 3 -norm=addscale -out=../result
close
SSF
cat > "$work/siril.sh" <<SH
#!/bin/sh
rm -rf $work/sir/process $work/sir/result.fit
exec siril-cli -s $work/sir/stack.ssf
SH
cal=""
for f in "$work"/night/dark_*.fit; do cal="$cal --dark $f"; done
for f in "$work"/night/flat_*.fit; do cal="$cal --flat $f"; done
cat > "$work/tarvex.sh" <<SH
#!/bin/sh
exec $build/tarvex-cli --data-root $work/root stack --out $work/tarvex_stack.fits $cal $work/night/light_*.fit
SH
lscpu | grep 'Model name'
farm-bench -n 3 --warmup 1 --timeout 900 --vs "sh $work/siril.sh" -- sh "$work/tarvex.sh"
$build/tarvex-cli --data-root "$work/root" stack --align none --out "$work/single.fits" $cal "$work/night/light_001.fit" >/dev/null
TRAIL_FRAME=$((frames / 2)) "$work/measure_stack" "$work/single.fits" "$work/tarvex_stack.fits" "$work/sir/result.fit"
