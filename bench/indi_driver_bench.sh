#!/usr/bin/env bash
# Times indi_tarvex_ccd on the simulated camera over loopback, with a client
# receiving every image:
#  - the round trip of one 1 s exposure: indi_setprop to the image received;
#  - FRAMES short exposures (default 100) taken back to back with INDI's fast
#    exposure: the wall time per frame, and that less the camera's own time
#    (the exposure plus two field reads of SimCamera::FIELD_READ_MS each for
#    a full-resolution frame), which is the driver's cost per frame.
#
# Usage: indi_driver_bench.sh PATH-TO-indi_tarvex_ccd [FRAMES] [FORMAT]
#   FORMAT: INDI_MONO (default), INDI_RGB or INDI_RAW
set -eu
. "$(cd "$(dirname "$0")" && pwd)/../tests/indi/private_server.sh"
driver="$(realpath "$1")"
frames="${2:-100}"
format="${3:-INDI_MONO}"
exposure=0.001
read_ms=3500

private_work
dev="Tarvex CCD"
port="$(free_port)"
now() { date +%s.%N; }

TARVEX_SIMULATOR=1 indiserver -p "$port" -u "$work/indiserver" -r 0 "$driver" >"$work/indi.log" 2>&1 &
pids+=($!)
sleep 1.5
indi_setprop -p "$port" "$dev.CONNECTION.CONNECT=On"
indi_eval -p "$port" -t 20 -w "\"$dev.CONNECTION._STATE\"==1" >/dev/null
indi_setprop -p "$port" "$dev.CCD_CAPTURE_FORMAT.$format=On"

# A client that takes every image.
mkdir "$work/blobs"
(cd "$work/blobs" && exec indi_getprop -p "$port" -m -t 0 "$dev.CCD1.CCD1" >/dev/null 2>&1) &
pids+=($!)
sleep 0.5

blob="$work/blobs/$dev.CCD1.CCD1.fits"
t0="$(now)"
indi_setprop -p "$port" "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=1"
until [ -s "$blob" ]; do sleep 0.01; done
t1="$(now)"
echo "round trip of a 1 s exposure: $(echo "$t1 - $t0" | bc) s (camera: 1 s + 2 x ${read_ms} ms reads)"
sleep 0.05
mv "$blob" "$work/last.fits"
indi_eval -p "$port" -t 10 -w "\"$dev.CCD_EXPOSURE._STATE\"==1" >/dev/null

# FRAMES exposures, each asked for as soon as the last image has arrived
# (the image file of the receiving client is renamed away to see the next).
t0="$(now)"
for ((n = 0; n < frames; n++)); do
  indi_setprop -p "$port" "$dev.CCD_EXPOSURE.CCD_EXPOSURE_VALUE=$exposure"
  until [ -s "$blob" ]; do sleep 0.005; done
  sleep 0.05  # the rest of the file
  mv "$blob" "$work/last.fits"
done
t1="$(now)"
python3 - "$t0" "$t1" "$frames" "$exposure" "$read_ms" <<'PY'
import sys
t0, t1, frames, exposure, read_ms = (float(a) for a in sys.argv[1:])
per = (t1 - t0) / frames
camera = exposure + 2 * read_ms / 1000
print(f"{int(frames)} frames of {exposure} s: {t1 - t0:.2f} s, {per:.3f} s a frame; "
      f"camera {camera:.3f} s; driver's cost {per - camera:.3f} s a frame")
PY
