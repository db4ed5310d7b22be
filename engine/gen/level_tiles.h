// The tile library: every tile under "tiles/" read into named records, the layers a
// tile does not supply derived from the others, mirror twins linked, and the fixed
// tile sets that room templates and level composition draw from.
#pragma once

#include <cstdint>

#include "engine/core/dynarray.h"
#include "engine/shared/level_map.h"

class ConfigNode;

struct LevelGenTile {
  int32_t width = 0, height = 0;  // cells; 0 while only the description is known
  int32_t dx = 0, dy = 0;         // stamping offset in cells
  char* name = nullptr;
  uint8_t* background = nullptr;  // width x height, bottom row first, or null
  uint8_t* foreground = nullptr;
  uint8_t* collision = nullptr;
  ConfigNode* config = nullptr;
  LevelGenTile* flipped = nullptr;  // mirror twin, not owned
};

// A standalone copy of a tile for the game-object module.
struct LevelGrid {
  int32_t width, height, dx, dy;
  LevelCell* cells;
  ConfigNode* config;
  explicit LevelGrid(LevelGenTile& tile);
  ~LevelGrid();
};

extern DynArray<LevelGenTile*> level_tiles;

void load_level_tiles();
void free_level_tiles();
void reload_tiles();
LevelGenTile* load_level_tile(const char* name);
LevelGenTile* find_level_tile(const char* name);
LevelGrid* grid_from_tile(const char* name);
void scan_tile_dir(const char* prefix);
// Gives every registered tile its description defaults, derived layers and mirror twin.
void complete_level_tiles();

// A named tile set: a tile listed several times is drawn that much more often.
struct TileSet {
  LevelGenTile** tiles;
  int count;
};

enum TileSetId {
  TS_WALL, TS_MACH, TS_LIFT_D, TS_BACK73, TS_Z2WALL, TS_HFLOOR, TS_LIFT_U, TS_Z2FLOOR, TS_FLOOR,
  TS_WINDOW_TLRB, TS_WINDOW_TLR, TS_WINDOW_TLB, TS_WINDOW_TL, TS_WINDOW_TRB, TS_WINDOW_TR,
  TS_WINDOW_TB, TS_WINDOW_T, TS_WINDOW_LRB, TS_WINDOW_LR, TS_WINDOW_LB, TS_WINDOW_L,
  TS_WINDOW_RB, TS_WINDOW_R, TS_WINDOW_B,
  TS_PIPE_H, TS_PIPE_V,
  TS_PIPE_TLRB, TS_PIPE_TLR, TS_PIPE_TLB, TS_PIPE_TL, TS_PIPE_TRB, TS_PIPE_TR, TS_PIPE_LRB,
  TS_PIPE_LB, TS_PIPE_RB,
  TS_BACK7, TS_PLAT, TS_Z2STAIR_R, TS_Z2STAIR_L, TS_WELLBG, TS_EXIT, TS_STAIR_R, TS_STAIR_L,
  NUM_TILE_SETS
};

extern TileSet tile_sets[NUM_TILE_SETS];
// Set names as templates write them ("wall", "back73", "windowTL", ...).
extern const char* const tile_set_names[NUM_TILE_SETS];
// The set of that name, -1 for none.
int find_tile_set(const char* name);
// Every tile name the sets bind, in lookup order.
extern const char* const bound_tile_names[];
extern const int num_bound_tile_names;

void bind_tile_sets();
