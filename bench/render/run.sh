#!/bin/sh
# Runs the renderer benchmark headless with one, two and all rasteriser threads of
# llvmpipe. Usage: bench/render/run.sh [build folder] (default: build/test, the
# folder ./test builds).
build=${1:-build/test}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin="$root/$build/bench/bench_render"
[ -x "$bin" ] || bin="$build/bench/bench_render"
[ -x "$bin" ] || { echo "no $bin: build it first (./test)" >&2; exit 1; }
home=$(mktemp -d)
for threads in 1 2 all; do
  echo "== LP_NUM_THREADS=$threads"
  if [ "$threads" = all ]; then
    env -u LP_NUM_THREADS TORVANE_HEADLESS=1 XDG_DATA_HOME="$home" TORVANE_SOURCE_DIR="$root" "$bin" --benchmark_min_time=2
  else
    LP_NUM_THREADS=$threads TORVANE_HEADLESS=1 XDG_DATA_HOME="$home" TORVANE_SOURCE_DIR="$root" "$bin" --benchmark_min_time=2
  fi
done
rm -rf "$home"
