#!/bin/sh
# Rebuilds the game-object module with the project's CMake build and leaves it as
# gameobj_new.so in the game's folder, which the running game checks and swaps in.
# $1: the game's folder (the build's bin/); $2: the build folder, by default the
# game folder's parent.
# The module is linked into a folder of its own (target gameobj_rebuild): the game's
# gameobj.so is never written here, so a build that the game refuses leaves the
# module that the next start-up loads as it was.
set -e
bin_dir=${1:-$(pwd)/../bin/}
build_dir=$(cd "${2:-$bin_dir/..}" && pwd)
cmake --build "$build_dir" --target gameobj_rebuild
# Written under another name first: the game only ever sees a complete file.
cp "$build_dir/gameobj.build/rebuild/gameobj.so" "$bin_dir/gameobj_new.so.tmp"
mv "$bin_dir/gameobj_new.so.tmp" "$bin_dir/gameobj_new.so"
echo "gameobj_new.so ready"
