#!/usr/bin/env bash
# Times each benchmark program under our sq runner and under lua5.4 and prints the ratio.
# Times are CPU seconds (user + system), the best of several runs that alternate between
# the two interpreters, to damp the noise of a shared machine.
# Needs lua5.4 on the path. Usage: bench/squirrel/compare.sh [REPEATS] [path/to/sq] [RUNS]
# (REPEATS 1 to 1000000, default 20; sq by default from build/test, the folder ./test
# builds; RUNS 1 to 1000, default 5). A bad argument is named and the exit code is 2;
# a run that fails is named and the exit code is 1.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/../args.sh"
(($# <= 3)) || bad_argument "arguments" "$*" "are too many: [REPEATS] [SQ] [RUNS]"
repeats="${1:-20}"
sq="${2:-$here/../../build/test/bin/sq}"
runs="${3:-5}"
whole_number REPEATS "$repeats" 1 1000000
whole_number RUNS "$runs" 1 1000
[[ -e "$sq" ]] || { echo "no $sq: build it first (./test)" >&2; exit 1; }
program SQ "$sq"
command -v lua5.4 > /dev/null || { echo "lua5.4 is missing (apt-get install lua5.4)" >&2; exit 1; }

cpu_time() {  # prints the CPU seconds the command took; fails as the command does
  local TIMEFORMAT='%U %S' times
  times=$({ time "$@" > /dev/null 2>&1; } 2>&1) || return
  awk '{ print $1 + $2 }' <<< "$times"
}
# A run that fails makes every ratio meaningless: stop and say which.
failed() { echo "$name: '$*' failed" >&2; exit 1; }
smaller() { awk -v x="$1" -v y="$2" 'BEGIN { print (y == "" || x < y) ? x : y }'; }

printf "%-12s %10s %10s %8s\n" benchmark "sq (s)" "lua (s)" ratio
for nut in "$here"/scripts/*.nut; do
  name="$(basename "$nut" .nut)"
  lua="$here/lua/$name.lua"
  [[ -f "$lua" ]] || continue
  s="" l=""
  for ((run = 0; run < runs; run++)); do
    t=$(cpu_time "$sq" "$nut" "$repeats") || failed "$sq" "$nut" "$repeats"
    s=$(smaller "$t" "$s")
    t=$(cpu_time lua5.4 "$lua" "$repeats") || failed lua5.4 "$lua" "$repeats"
    l=$(smaller "$t" "$l")
  done
  awk -v n="$name" -v s="$s" -v l="$l" 'BEGIN { printf "%-12s %10.3f %10.3f %8.2f\n", n, s, l, (l > 0 ? s / l : 0) }'
done
