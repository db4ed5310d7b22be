// The generator's runtime: the room-cell grid, template placement, tile stamping, the
// cell-grid fill and the statements that room templates and level composition run.
#pragma once

#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/dynarray.h"
#include "engine/gen/coords.h"
#include "engine/gen/level_tiles.h"

constexpr int GRID_COLS = 25;
constexpr int GRID_ROWS = 4;
constexpr int CELL_SLOTS_X = 10;
constexpr int CELL_SLOTS_Y = 8;

enum : uint8_t { CELL_H = 1, CELL_U = 2, CELL_D = 4, CELL_OPEN = 8 };

typedef void (*LevelGenTemplateFunc)(int tile_x, int tile_y, bool mirrored);

struct LevelGenTemplate {
  LevelGenTemplateFunc function;
  int32_t cellsWide, cellsHigh;
  int32_t tilesWide, tilesHigh;
  const uint8_t* pattern;  // cellsWide x cellsHigh, top row first, or null
  const char* name;
  const int32_t* classIds;  // ended by -1
  int32_t noMirror;
};

struct LevelGenPlacement {
  const LevelGenTemplate* tmpl;
  int tileX, tileY;
  int flipped;
};

extern uint8_t level_cells[GRID_ROWS * GRID_COLS];
extern DynArray<LevelGenPlacement> level_placements;

const LevelGenTemplate* pick_random(const LevelGenTemplate* const* list, int n);
LevelGenTile* pick_random_tile(LevelGenTile* const* tiles, int n);
void stamp_level_tile(const LevelGenTile* tile, int x, int y);
void place_random_tiles(const TileSet& set, const ILevelGenCoords& coords);
const LevelGenTemplate* place_template(const LevelGenTemplate* t, int x, int y);
const LevelGenTemplate* place_template_at_random_coord(const LevelGenTemplate* t, const ILevelGenCoords& coords);
void fill_cells_with_templates(const LevelGenTemplate* const* list, int n);
void finish_cell_grid();
void choose_exit(const TileSet& set, const ILevelGenCoords& coords);
__m128 put_exit_tile();
// Forgets the exit choice; every level starts without one.
void reset_exit();
void place_hero_start(const ILevelGenCoords& coords);
void add_enemies_at_random_coords(int kind, int n, const ILevelGenCoords& coords);
void add_lifts_at(int direction, const ILevelGenCoords& coords);
void pick_spread_coords(int n, const ILevelGenCoords& coords, LevelGenGlobalCoordList& out);
void print_level_histograms();
// Attribute letters H, U, D of the set bits ("" for 0).
const char* cell_attr_text(int attr, char buf[4]);
