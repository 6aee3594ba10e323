#!/usr/bin/env bash
# Centre Target on simulated fields spread over the sky (300 mm, the default
# 5' pointing error): tries and final error per field.
# Usage: centre-fields.sh TARVEX_CLI
cli=${1:-build/tarvex-cli}
work=$(mktemp -d)
for f in "22:00:00 +30:00:00" "23:30:00 +60:00:00" "00:42:44 +41:16:09" "01:30:00 +10:00:00" \
         "02:30:00 +75:00:00" "03:00:00 -10:00:00" "03:47:00 +24:07:00" "04:30:00 +40:00:00" \
         "05:35:17 -05:23:28" "06:00:00 +20:00:00" "07:00:00 +50:00:00" "08:00:00 +05:00:00" \
         "09:00:00 +60:00:00" "10:00:00 +30:00:00" "12:00:00 +85:00:00" "20:00:00 +45:00:00"; do
  set -- $f
  start=$(date +%s.%N)
  last=$("$cli" --data-root "$work" --simulator --virtual-time scope --link l centre goto $1 $2 2>/dev/null | tail -1)
  end=$(date +%s.%N)
  printf '%s %s  %-45s %.1f s\n' "$1" "$2" "$last" "$(echo "$end - $start" | bc)"
done
rm -rf "$work"
