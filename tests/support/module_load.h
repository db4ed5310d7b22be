#pragma once
// The game module loaded as the game loads it, for benchmarks that run it outside the
// game: data/ mounted as the game's root and the level tiles read from it.

// `bin_dir` ends in '/' and holds "gameobj.so"; `program` is the file system's argv0.
// A module that cannot be loaded is reported on stderr.
void load_module_and_tiles(const char* program, const char* bin_dir, const char* data_dir);
