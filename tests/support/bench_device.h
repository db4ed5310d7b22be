#pragma once
// A headless device for the drawing benchmarks, with the game's data to load from.
#include <initializer_list>

// Mounts the per-user folder ($XDG_DATA_HOME, else /tmp) as the write folder searched
// first, then data/ of the source tree ($TORVANE_SOURCE_DIR, else the tree it was built from)
// and each of `more_folders` of that tree; then starts the device at w x h and the
// vertex ring. False when the file system or the device does not start.
bool start_bench_device(int w, int h, std::initializer_list<const char*> more_folders = {});
