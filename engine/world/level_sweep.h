#pragma once
// Level sweeps and level edits: how far a box may move along one axis before it
// touches a solid cell of level_data, a thick ray through the cell grid, and the
// clearing of destructible cells. The sweeps OR hit flags into the caller's word:
// 0x01/0x04 stopped moving towards -x/+x, 0x02/0x08 towards -y/+y, 0x40 a cell of
// collision class 3 was examined.
#include <xmmintrin.h>

#include "engine/shared/level_map.h"

struct GameObj;

enum : int {
  HIT_LEFT = 0x01,
  HIT_DOWN = 0x02,
  HIT_RIGHT = 0x04,
  HIT_UP = 0x08,
  HIT_ENEMY = 0x10,
  HIT_HERO = 0x20,
  HIT_CLASS3 = 0x40,
};

struct vec4i32 {
  int x, y, z, w;
};

// Cell of a coordinate: the floor, except within a few float steps below a border;
// whole numbers map to their own cell. NaN and coordinates beyond a million cells
// are clamped to +-1,000,000, far outside the map.
int sweep_floor_index(float v);
// The matching upper bound: round(v + 0.49999988); whole numbers map to themselves.
int sweep_ceil_index(float v);

float scan_level_x(float x_from, float x_to, float y0, float y1, int& hit);
float scan_level_y(float x0, float x1, float y_from, float y_to, int& hit, float* out);
float scan_all_x(float x_from, float x_to, float y0, float y1, int& hit, GameObj* self);
float scan_all_y(float x0, float x1, float y_from, float y_to, int& hit, GameObj* self, float* out);
bool trace_level(__m128 from, __m128 to, int r, __m128* out_pos, vec4i32* out_cell, float* out_t);
void level_clear_box(int x0, int y0, int x1, int y1);
void invalidate_level(int x0, int y0, int x1, int y1);
void invalidate_all_level();
