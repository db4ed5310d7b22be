#!/usr/bin/env bash
# Times each benchmark program under our sq runner and under lua5.4 and prints the ratio.
# Times are CPU seconds (user + system), the best of three runs, to damp the noise of a
# shared machine.
# Usage: bench/squirrel/compare.sh [REPEATS] [path/to/sq]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repeats="${1:-20}"
sq="${2:-$here/../../build/bin/sq}"
[[ -x "$sq" ]] || sq="$(ls -d "$here"/../../build-*/bin/sq 2>/dev/null | head -1)"

cpu_time() {  # prints the CPU seconds the command took
  local TIMEFORMAT='%U %S'
  { time "$@" > /dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}
best_of_three() {
  local best="" t
  for run in 1 2 3; do
    t=$(cpu_time "$@")
    best=$(awk -v x="$t" -v y="$best" 'BEGIN { print (y == "" || x < y) ? x : y }')
  done
  echo "$best"
}

printf "%-12s %10s %10s %8s\n" benchmark "sq (s)" "lua (s)" ratio
for nut in "$here"/scripts/*.nut; do
  name="$(basename "$nut" .nut)"
  lua="$here/lua/$name.lua"
  [[ -f "$lua" ]] || continue
  s=$(best_of_three "$sq" "$nut" "$repeats")
  l=$(best_of_three lua5.4 "$lua" "$repeats")
  awk -v n="$name" -v s="$s" -v l="$l" 'BEGIN { printf "%-12s %10.3f %10.3f %8.2f\n", n, s, l, (l > 0 ? s / l : 0) }'
done
