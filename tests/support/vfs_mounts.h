#pragma once
// Mounting and unmounting the virtual file system around tests, tools and benchmarks.

// Leaves the virtual file system as the next test expects it: nothing mounted and no
// write folder. The file system itself stays initialised.
void unmount_all();

// Mounts a data folder (holding tiles/) read-only in a fresh virtual file system.
bool mount_game_data(const char* argv0, const char* data_dir);
