#!/usr/bin/env bash
# tarvex-cli under a file-size limit: the save fails with its message and
# exit status 1 (the limit's signal does not end the program silently), the
# previous file stays as it was and no temporary file is left. A continuous
# capture with automatic saving ends at its first failed save, saying why,
# with exit status 1 and the count of exposures and files saved.
set -u
cli="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
"$cli" --data-root "$dir/data" process ramp --do invert --save-raw "$dir/out.kr" >/dev/null || exit 1
cp "$dir/out.kr" "$dir/before.kr"
# 600 KiB: the display bitmap (437 KB) fits, a KR File (872 KB) does not.
(ulimit -f 600; exec "$cli" --data-root "$dir/data" process ramp --save-raw "$dir/out.kr") \
  >/dev/null 2>"$dir/err"
status=$?
fail() { echo "FAIL: $*"; cat "$dir/err"; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
grep -q "^message 18:" "$dir/err" || fail "no message 18"
cmp -s "$dir/out.kr" "$dir/before.kr" || fail "the previous file changed"
left=$(find "$dir" -name '.tvxtmp*' | wc -l)
[ "$left" -eq 0 ] || fail "$left temporary files left"

for run in single continuous; do
  extra=()
  [ "$run" = continuous ] && extra=(--continuous)
  (ulimit -f 600; exec timeout 120 "$cli" --data-root "$dir/data" --simulator --virtual-time \
    capture --range t --value 5 --autosave "${extra[@]}") >"$dir/out" 2>"$dir/err"
  status=$?
  [ "$status" -eq 1 ] || fail "$run capture: exit status $status, not 1"
  grep -q "^capture: 1 exposure taken, 0 saved$" "$dir/err" || fail "$run capture: no count line"
  grep -q "IMG1.FIT: File too large$" "$dir/err" || fail "$run capture: no reason"
  [ "$(grep -c '^message' "$dir/err")" -eq 1 ] || fail "$run capture: not one message"
  [ ! -s "$dir/out" ] || fail "$run capture: a file reported"
done
left=$(find "$dir" -name '.tvxtmp*' | wc -l)
[ "$left" -eq 0 ] || fail "$left temporary files left after capture"
echo "file-size limit: 3 passed, 0 failed"
