#!/bin/sh
# Start-up time of the game, headless, to its first frame of the title mode with a
# warm shader cache: the log's "total start-up time" over several runs (the first run,
# which fills the cache, is not counted). Prints every run, the fastest and the median.
# Usage: bench/startup_time.sh [build folder, default build/release] [runs, 1 to 1000,
# default 7]. A bad argument is named and the exit code is 2; a run that fails ends
# the script with exit code 1.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/args.sh"
[ $# -le 2 ] || bad_argument "arguments" "$*" "are too many: [BUILD] [RUNS]"
build=${1:-build/release}
runs=${2:-7}
whole_number RUNS "$runs" 1 1000
given=$build
case "$build" in /*) ;; *) build="$root/$build" ;; esac
[ -d "$build" ] || bad_argument BUILD "$given" "is not a folder"
bin="$build/bin/torvane"
[ -e "$bin" ] || { echo "no $bin: build the game first" >&2; exit 1; }
program "BUILD/bin/torvane" "$bin"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# One headless start: the milliseconds the log reports, after which the game is asked
# to quit as the window's close would.
start_once() {
  log="$home/run.log"
  TORVANE_HEADLESS=1 XDG_DATA_HOME="$home" "$bin" -win -720 > "$log" 2>&1 &
  pid=$!
  waited=0
  while ! grep -q "free video memory" "$log" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null || [ "$waited" -ge 600 ]; then
      kill -KILL "$pid" 2>/dev/null || true
      echo "the game did not start:" >&2
      cat "$log" >&2
      exit 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
  kill -TERM "$pid"
  wait "$pid" 2>/dev/null || true
  sed -n 's/.*total start-up time: \([0-9]*\) ms.*/\1/p' "$log"
}

start_once > /dev/null  # fills the shader cache
times=""
i=1
while [ "$i" -le "$runs" ]; do
  ms=$(start_once)
  [ -n "$ms" ] || { echo "run $i: the log holds no start-up time" >&2; exit 1; }
  echo "run $i: $ms ms"
  times="$times $ms"
  i=$((i + 1))
done
sorted=$(echo $times | tr ' ' '\n' | sort -n)
fastest=$(echo "$sorted" | head -n 1)
median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
echo "total start-up time with a warm shader cache: fastest $fastest ms, median $median ms over $runs runs (target under 500 ms)"
