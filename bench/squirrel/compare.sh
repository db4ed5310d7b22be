#!/usr/bin/env bash
# Times each benchmark program under our sq runner and under lua5.4 and prints the ratio.
# Usage: bench/squirrel/compare.sh [REPEATS] [path/to/sq]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repeats="${1:-20}"
sq="${2:-$here/../../build/bin/sq}"
[[ -x "$sq" ]] || sq="$(ls -d "$here"/../../build-*/bin/sq 2>/dev/null | head -1)"
now() { date +%s.%N; }
printf "%-12s %10s %10s %8s\n" benchmark "sq (s)" "lua (s)" ratio
for nut in "$here"/scripts/*.nut; do
  name="$(basename "$nut" .nut)"
  lua="$here/lua/$name.lua"
  [[ -f "$lua" ]] || continue
  t0=$(now); "$sq" "$nut" "$repeats" > /dev/null; t1=$(now)
  lua5.4 "$lua" "$repeats" > /dev/null; t2=$(now)
  awk -v n="$name" -v a="$t0" -v b="$t1" -v c="$t2" \
    'BEGIN { s = b - a; l = c - b; printf "%-12s %10.3f %10.3f %8.2f\n", n, s, l, s / l }'
done
