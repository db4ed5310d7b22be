// Coordinate sets (tile-slot coordinates yielded one by one) and the 24 global
// coordinate lists that placed templates fill and level composition consumes.
#pragma once

#include <cstdint>

#include "engine/core/dynarray.h"

struct LevelCoord {
  int x, y;
};

struct ILevelGenCoords {
  virtual int numCoords() const = 0;
  virtual LevelCoord coord(int i) const = 0;
  virtual bool isFlipped() const = 0;
};

// A template's static spot list at an origin; a positive mirror width mirrors x.
struct LevelGenCoordList : ILevelGenCoords {
  const uint8_t* pairs;  // n pairs (dx, dy)
  int num;
  int originX, originY;
  int mirrorWidth;
  LevelGenCoordList(const uint8_t* pairs, int n, int x, int y, int mirror_width)
      : pairs(pairs), num(n), originX(x), originY(y), mirrorWidth(mirror_width) {}
  int numCoords() const override { return num; }
  LevelCoord coord(int i) const override;
  bool isFlipped() const override { return mirrorWidth > 0; }
};

// A rectangle of slots, row by row from the bottom row.
struct LevelGenCoordRect : ILevelGenCoords {
  int x0 = 0, y0 = 0, width = 0, height = 0, count = 0;
  LevelGenCoordRect() = default;
  // Corners with x1, y1 exclusive.
  LevelGenCoordRect(int x0, int y0, int x1, int y1);
  int numCoords() const override { return count; }
  LevelCoord coord(int i) const override;
  bool isFlipped() const override { return false; }
};

// A growable list of distinct packed coordinates (y << 16) | (x & 0xFFFF).
struct LevelGenGlobalCoordList : ILevelGenCoords {
  DynArray<uint32_t> coords;
  int numCoords() const override { return coords.size(); }
  LevelCoord coord(int i) const override;
  bool isFlipped() const override { return false; }
  void add(LevelCoord c);
  void remove(LevelCoord c);
  bool contains(uint32_t packed) const;
};

// One coordinate copied out of another set, keeping its mirrored flag.
struct LevelGenSingleCoord : ILevelGenCoords {
  int x, y;
  bool flipped;
  LevelGenSingleCoord(const ILevelGenCoords& set, int i);
  int numCoords() const override { return 1; }
  LevelCoord coord(int) const override { return {x, y}; }
  bool isFlipped() const override { return flipped; }
};

inline uint32_t pack_coord(int x, int y) { return (uint32_t(y) << 16) | (uint32_t(x) & 0xFFFFu); }

// Roles of the global lists.
enum {
  COORDS_FLOOR = 0,
  COORDS_LIFT_DOWN = 1,
  COORDS_LIFT_UP = 2,
  COORDS_WINDOW_FIRST = 3,    // 3..17: window spots by shape
  COORDS_ENEMY_FLOOR = 18,
  COORDS_BONUS = 19,
  COORDS_ENEMY_GROUP = 20,
  COORDS_ENEMY_CLOSED = 21,
  COORDS_WINDOW = 22,
  COORDS_PIPE = 23,
  NUM_COORD_LISTS = 24,
};
extern LevelGenGlobalCoordList level_coord_lists[NUM_COORD_LISTS];

void clear_global_coord_lists();
void add_coords(LevelGenGlobalCoordList& list, const ILevelGenCoords& set);
void remove_coords(LevelGenGlobalCoordList& list, const ILevelGenCoords& set);
// One coordinate of the set: a draw modulo the count, or coordinate 0 without a draw
// when the set has one.
LevelCoord random_coord(const ILevelGenCoords& set);
bool coord_in_list(const ILevelGenCoords& set, const LevelGenGlobalCoordList& list, int dx, int dy);
bool is_background_clear(const ILevelGenCoords& set, int dx, int dy, int w, int h);
bool is_collision_clear(const ILevelGenCoords& set, int dx, int dy, int w, int h);
void collect_slots_by_tile_flags(LevelGenGlobalCoordList& list, int mask, int value);
void remove_coords_by_tile_flags(LevelGenGlobalCoordList& list, int mask, int value);
