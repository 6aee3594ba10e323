#!/bin/bash
# A refused command line, through the real executable: one line saying what
# was wrong, then where the usage is; nothing on standard output, status 2.
cli="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

refused() {
  local expected="$1"; shift
  "$cli" --data-root "$work/data" "$@" >"$work/out" 2>"$work/err"
  local status=$?
  [ "$status" -eq 2 ] || fail "$* exited $status"
  [ ! -s "$work/out" ] || fail "$* printed on standard output"
  printf 'tarvex-cli: %s\nsee tarvex-cli --help\n' "$expected" | cmp -s - "$work/err" ||
    fail "$* said: $(cat "$work/err")"
}

refused "--range takes q, h, t, s or m, not x" --simulator capture --range x
refused "unknown scope subcommand park" scope park
refused "scope does not take --exposure" --exposure 10 scope info
refused "mount-sim does not take --loud" --simulator mount-sim --loud
"$cli" --help | grep -q '^usage:' || fail "--help printed no usage"
echo "one-line refusals: ok"
