#!/bin/sh
# The soak: the game played headless through its entry with random input over many
# levels for 20,000 updates (about 17 minutes of game time), as the test Soak plays
# 1,000. Reports the run time and the heap in use after the warm-up (the first tenth)
# and at the end; fails when it grew by more than 1 MB.
# Usage: bench/soak.sh [build folder, default build/test] [updates, 1000 to 1000000,
# default 20000]: fewer updates than 1000 play too few levels for the soak's own checks.
# A bad argument is named and the exit code is 2.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/args.sh"
[ $# -le 2 ] || bad_argument "arguments" "$*" "are too many: [BUILD] [UPDATES]"
build=${1:-build/test}
steps=${2:-20000}
whole_number UPDATES "$steps" 1000 1000000
given=$build
case "$build" in /*) ;; *) build="$root/$build" ;; esac
[ -d "$build" ] || bad_argument BUILD "$given" "is not a folder"
program="$build/tests/playthrough_test"
[ -e "$program" ] || { echo "no $program: build the tests first (./test)" >&2; exit 1; }
program "BUILD/tests/playthrough_test" "$program"

out=$(mktemp)
trap 'rm -f "$out"' EXIT
start=$(date +%s)
TORVANE_SOAK_STEPS=$steps "$program" --gtest_filter=Soak.RandomPlayOverLevels > "$out" 2>&1 || {
  cat "$out" >&2
  echo "the soak failed" >&2
  exit 1
}
end=$(date +%s)

grep "^soak" "$out" || true
growth=$(sed -n 's/^soak heap in use: .* growth \([-+0-9]*\) bytes.*/\1/p' "$out")
[ -n "$growth" ] || { cat "$out" >&2; echo "no heap figures in the output" >&2; exit 1; }
echo "run time: $((end - start)) s for $steps updates"
limit=1048576
if [ "$growth" -gt "$limit" ]; then
  echo "heap grew by $growth bytes after the warm-up: more than 1 MB" >&2
  exit 1
fi
echo "heap growth after the warm-up: $growth bytes (limit 1 MB)"
