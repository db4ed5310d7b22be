#!/bin/sh
# Rebuilds the game-object module with the project's CMake build and leaves it as
# gameobj_new.so in the game's folder, which the running game swaps in.
# $1: the game's folder (the build's bin/); the build folder is its parent.
set -e
bin_dir=${1:-$(pwd)/../bin/}
build_dir=$(cd "$bin_dir/.." && pwd)
cmake --build "$build_dir" --target gameobj
# Written under another name first: the game only ever sees a complete file.
cp "$build_dir/bin/gameobj.so" "$bin_dir/gameobj_new.so.tmp"
mv "$bin_dir/gameobj_new.so.tmp" "$bin_dir/gameobj_new.so"
echo "gameobj_new.so ready"
