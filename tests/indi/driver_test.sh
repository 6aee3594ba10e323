#!/usr/bin/env bash
# indi_tarvex_ccd on the simulated camera, run by a private indiserver (own
# port, own local socket, own HOME and data folder): its properties read
# with indi_getprop, 1 s exposures in each capture format and in the binned
# mode started with indi_setprop, waited for with indi_eval and received
# with indi_getprop, then read back with astropy; an exposure aborted; guide
# pulses through the simulated control box, a long one cut to the program's
# longest pulse, and one that moves the simulated sky as far as the box's
# guide rate says. The simulated camera keeps the real camera's read time.
#
# Usage: driver_test.sh PATH-TO-indi_tarvex_ccd
# Exits 77 (skipped) when indiserver or astropy is not installed.
set -u
. "$(cd "$(dirname "$0")" && pwd)/private_server.sh"
driver="$1"
here="$(cd "$(dirname "$0")" && pwd)"

need_indiserver
py=""
for p in /usr/bin/python3 python3; do
  if "$p" -c 'import astropy' 2>/dev/null; then py="$p"; break; fi
done
if [ -z "$py" ]; then
  echo "astropy is not installed (Debian package python3-astropy): skipped"
  exit 77
fi

private_work
dev="Tarvex CCD"

fail() {
  echo "FAIL: $*"
  echo "--- indiserver:"; tail -40 "$work/indi.log" 2>/dev/null
  exit 1
}
get() { indi_getprop -p "$port" -t 2 -1 "$dev.$1" 2>/dev/null; }
set_prop() { indi_setprop -p "$port" "$dev.$1" || fail "indi_setprop $1"; }
# Waits up to SECONDS for an indi_eval expression to hold.
wait_for() { indi_eval -p "$port" -t "$2" -w "$1" >/dev/null 2>&1; }

port="$(free_port)"
# The driver's own directory first, so indiserver starts this build.
export PATH="$(dirname "$driver"):$PATH"
TARVEX_SIMULATOR=1 timeout 170 indiserver -p "$port" -u "$work/indiserver" -r 0 \
  "$(basename "$driver")" >"$work/indi.log" 2>&1 &
pids+=($!)
end=$((SECONDS + 20))
until [ "$(get CONNECTION.CONNECT)" = Off ]; do
  ((SECONDS < end)) || fail "the driver did not come up"
  sleep 0.2
done
[ "$(get SIMULATION.ENABLE)" = On ] || fail "TARVEX_SIMULATOR=1 did not turn the simulation on"
set_prop "CONNECTION.CONNECT=On"
wait_for "\"$dev.CONNECTION._STATE\"==1" 20 || fail "the driver did not connect"

# The property set a client expects.
props="$(indi_getprop -p "$port" -t 2 "$dev.*.*")"
for line in "CCD_INFO.CCD_MAX_X=752" "CCD_INFO.CCD_MAX_Y=580" "CCD_INFO.CCD_BITSPERPIXEL=16" \
  "CCD_BINNING.HOR_BIN=1" "CCD_FRAME.WIDTH=752" "CCD_FRAME.HEIGHT=580" \
  "CCD_FRAME_TYPE.FRAME_LIGHT=On" "CCD_CAPTURE_FORMAT.INDI_MONO=On" \
  "CCD_CAPTURE_FORMAT.INDI_RGB=Off" "CCD_CAPTURE_FORMAT.INDI_RAW=Off" \
  "TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N=0" "TELESCOPE_TIMED_GUIDE_WE.TIMED_GUIDE_W=0" \
  "CCD_ABORT_EXPOSURE.ABORT=Off" "CONTROL_BOX_PORT.PORT=/dev/ttyUSB0"; do
  grep -qxF "$dev.$line" <<<"$props" || fail "property $line missing"
done
grep -q "^$dev.CCD_INFO.CCD_PIXEL_SIZE_X=8.6" <<<"$props" || fail "pixel width"
grep -q "^$dev.CCD_INFO.CCD_PIXEL_SIZE_Y=8.3" <<<"$props" || fail "pixel height"
grep -q "^$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=" <<<"$props" || fail "no CCD_EXPOSURE"

# One 1 s exposure; its image is saved as IMAGE.fits.
expose() {
  local image="$1" dir="$work/blob-$1"
  mkdir -p "$dir"
  (cd "$dir" && exec indi_getprop -p "$port" -m -t 60 "$dev.CCD1.CCD1" >/dev/null 2>&1) &
  local watcher=$!
  sleep 0.3
  set_prop "CCD_EXPOSURE.CCD_EXPOSURE_VALUE=1"
  wait_for "\"$dev.CCD_EXPOSURE._STATE\"==2" 5 || fail "$image: the exposure did not start"
  wait_for "\"$dev.CCD_EXPOSURE._STATE\"==1" 30 || fail "$image: the exposure did not end"
  local end=$((SECONDS + 10))
  until [ -s "$dir/$dev.CCD1.CCD1.fits" ]; do
    ((SECONDS < end)) || fail "$image: no image received"
    sleep 0.1
  done
  sleep 0.5  # the file is complete once the watcher has written all of it
  kill "$watcher" 2>/dev/null
  mv "$dir/$dev.CCD1.CCD1.fits" "$work/$image.fits"
}

expose mono
"$py" "$here/check_fits.py" "$work/mono.fits" mono || fail "luminance image"
set_prop "CCD_CAPTURE_FORMAT.INDI_RGB=On"
expose rgb
"$py" "$here/check_fits.py" "$work/rgb.fits" rgb || fail "RGB image"
set_prop "CCD_CAPTURE_FORMAT.INDI_RAW=On"
expose raw
"$py" "$here/check_fits.py" "$work/raw.fits" raw || fail "raw image"
# An aborted exposure ends at once and sends no image; the next one (binned) works.
set_prop "CCD_EXPOSURE.CCD_EXPOSURE_VALUE=20"
wait_for "\"$dev.CCD_EXPOSURE._STATE\"==2" 5 || fail "the long exposure did not start"
sleep 1
set_prop "CCD_ABORT_EXPOSURE.ABORT=On"
wait_for "\"$dev.CCD_EXPOSURE._STATE\"!=2" 3 || fail "the abort did not end the exposure"

set_prop "CCD_CAPTURE_FORMAT.INDI_MONO=On"
set_prop "CCD_BINNING.HOR_BIN;VER_BIN=1;2"
expose binned
"$py" "$here/check_fits.py" "$work/binned.fits" binned || fail "binned image"
# Binning the camera does not have is refused and leaves the binned mode.
indi_setprop -p "$port" "$dev.CCD_BINNING.HOR_BIN;VER_BIN=2;2"
wait_for "\"$dev.CCD_BINNING._STATE\"==3" 5 || fail "2 x 2 binning was not refused"
[ "$(get CCD_BINNING.VER_BIN)" = 2 ] && [ "$(get CCD_BINNING.HOR_BIN)" = 1 ] ||
  fail "refused binning changed the binning"

# Guide pulses through the simulated control box: each runs (Busy) and is
# reported done (Idle, not Alert); one longer than the program's longest
# pulse (3 s) ends after 3 s.
pulse() {
  local vector="$1" element="$2" ms="$3" start=$SECONDS
  set_prop "$vector.$element=$ms"
  wait_for "\"$dev.$vector._STATE\"==2" 3 || fail "the $element pulse did not start"
  wait_for "\"$dev.$vector._STATE\"==0" 8 || fail "the $element pulse did not end well"
  took=$((SECONDS - start))
}
pulse TELESCOPE_TIMED_GUIDE_NS TIMED_GUIDE_N 1000
pulse TELESCOPE_TIMED_GUIDE_WE TIMED_GUIDE_W 1000
pulse TELESCOPE_TIMED_GUIDE_WE TIMED_GUIDE_E 6000
((took >= 2 && took <= 5)) || fail "a 6 s pulse took ${took} s, expected the 3 s cap"
# A pulse moves the simulated sky at the control box's guide rate: 1 s east
# is 6 pixels along x (with the sky's slow drift between the two images).
expose before-pulse
pulse TELESCOPE_TIMED_GUIDE_WE TIMED_GUIDE_E 1000
expose after-pulse
shift="$("$py" "$here/star_shift.py" "$work/before-pulse.fits" "$work/after-pulse.fits")"
echo "a 1 s east pulse moved the stars $shift px"
"$py" -c "import sys; sys.exit(0 if abs(float('$shift') - 6) <= 1 else 1)" ||
  fail "a 1 s east pulse moved the stars $shift px, expected 6"
echo "PASS"
