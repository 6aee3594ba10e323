#!/usr/bin/env bash
# An independent LX200 client against the simulated mount: INDI's
# indi_lx200basic driver, run by indiserver, connects to the pseudo-terminal
# that "tarvex-cli --simulator mount-sim" serves, reads the position, slews
# to a target and reads the new position.
#
# Usage: indi_lx200_test.sh PATH-TO-TARVEX-CLI
# Exits 77 (skipped) only when indiserver is not installed.
set -u
. "$(cd "$(dirname "$0")" && pwd)/../indi/private_server.sh"
cli="$1"

need_indiserver

private_work

fail() {
  echo "FAIL: $*"
  echo "--- mount-sim:"; cat "$work/sim.err" 2>/dev/null
  echo "--- indiserver:"; tail -40 "$work/indi.log" 2>/dev/null
  exit 1
}

# Polls `indi_getprop -1 PROPERTY` until it prints WANTED, for up to SECONDS.
wait_value() {
  local property="$1" wanted="$2" seconds="$3" value=""
  local end=$((SECONDS + seconds))
  while ((SECONDS < end)); do
    value="$(indi_getprop -p "$port" -t 1 -1 "$property" 2>/dev/null)"
    [ "$value" = "$wanted" ] && return 0
    sleep 0.2
  done
  echo "last value of $property: '$value'"
  return 1
}

# True when VALUE is within 0.02 of EXPECTED.
near() {
  python3 -c 'import sys; sys.exit(0 if abs(float(sys.argv[1]) - float(sys.argv[2])) < 0.02 else 1)' \
    "$1" "$2" 2>/dev/null
}

"$cli" --simulator mount-sim --for 110000 >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
for _ in $(seq 50); do
  [ -s "$work/sim.out" ] && break
  sleep 0.1
done
pty="$(head -n 1 "$work/sim.out")"
[ -n "$pty" ] && [ -c "$pty" ] || fail "mount-sim printed no pseudo-terminal"

port="$(free_port)"
# Bounded on its own too, should this script be killed before its cleanup.
timeout 110 indiserver -p "$port" -u "$work/indiserver" -r 0 indi_lx200basic >"$work/indi.log" 2>&1 &
pids+=($!)
dev="LX200 Basic"
wait_value "$dev.CONNECTION.CONNECT" Off 20 || fail "the driver did not come up"

indi_setprop -p "$port" "$dev.DEVICE_AUTO_SEARCH.INDI_DISABLED=On" || fail "indi_setprop"
indi_setprop -p "$port" "$dev.DEVICE_PORT.PORT=$pty" || fail "indi_setprop"
indi_setprop -p "$port" "$dev.CONNECTION.CONNECT=On" || fail "indi_setprop"
wait_value "$dev.CONNECTION._STATE" Ok 20 || fail "the driver did not connect to $pty"

# The simulated mount starts at R.A. 0 h, Dec +45; the driver reads the
# position once it is connected.
end=$((SECONDS + 20))
while ((SECONDS < end)); do
  ra="$(indi_getprop -p "$port" -t 1 -1 "$dev.EQUATORIAL_EOD_COORD.RA" 2>/dev/null)"
  dec="$(indi_getprop -p "$port" -t 1 -1 "$dev.EQUATORIAL_EOD_COORD.DEC" 2>/dev/null)"
  near "$dec" 45 && break
  sleep 0.2
done
echo "position before the slew: RA $ra h, Dec $dec deg"
near "$ra" 0 && near "$dec" 45 || fail "unexpected start position RA '$ra' Dec '$dec'"

indi_setprop -p "$port" "$dev.ON_COORD_SET.SLEW=On" || fail "indi_setprop"
indi_setprop -p "$port" "$dev.EQUATORIAL_EOD_COORD.RA;DEC=1.5;38.25" || fail "indi_setprop"
wait_value "$dev.EQUATORIAL_EOD_COORD._STATE" Busy 10 || fail "the slew did not start"
wait_value "$dev.EQUATORIAL_EOD_COORD._STATE" Ok 60 || fail "the slew did not end"
ra="$(indi_getprop -p "$port" -t 2 -1 "$dev.EQUATORIAL_EOD_COORD.RA")"
dec="$(indi_getprop -p "$port" -t 2 -1 "$dev.EQUATORIAL_EOD_COORD.DEC")"
echo "position after the slew: RA $ra h, Dec $dec deg"
near "$ra" 1.5 && near "$dec" 38.25 || fail "the mount is at RA '$ra' Dec '$dec', not at the target"
echo "PASS"
