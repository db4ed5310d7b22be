// Shared helpers of the level-generation tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/gen/level_tiles.h"
#include "tests/support/temp_folder.h"

// A temporary folder, removed with everything in it when the object goes.
struct TempDir : TempFolder {
  TempDir() : TempFolder("gen_test_") {}
  std::string file(const std::string& name) const { return *this / name; }
};

// Writes an RGBA PNG (rows top first, pixels 0xAARRGGBB) with libpng.
void write_test_png(const std::string& path, int w, int h, const std::vector<uint32_t>& top_first);

// Fresh virtual file system with `dir` mounted at the root; the write folder is `dir` too.
void mount_only(const std::string& dir);
void unmount_all();

// The repository's data folder.
std::string repo_data_dir();

// Loads the game's tiles from data/ (once per process) and installs the recording
// module.
void use_game_tiles();

// Counts generator steps between two states (up to `limit`), -1 when not reached.
int draws_between(uint64_t from, uint64_t to, int limit = 100000);

// A tile owned by the test: w x h layers filled from the given bytes (bottom row
// first); empty vectors leave the layer out.
struct TestTile {
  LevelGenTile tile{};
  std::vector<uint8_t> b, f, c;
  std::string name;
  TestTile(const char* name, int w, int h, std::vector<uint8_t> bg, std::vector<uint8_t> fg,
           std::vector<uint8_t> coll, int dx = 0, int dy = 0);
};
