// Closing the level's bounds: the bottom slot row's holes filled, the outer columns walled.
/*
import level_bounds
*/
#include "gameobj/level_bounds.h"

#include "gameobj/actor.h"

namespace {

bool level_waits = false;

constexpr uint8_t LIFT_CELL = 3;
constexpr uint8_t UNBREAKABLE = 2;  // a collision class that shots never clear
constexpr uint8_t PLAIN_FLOOR_COLOR = 24;
// How many tiles away a hole looks for the floor it copies.
constexpr int LOOK_REACH = 8;

bool cell_used(const LevelCell& c) { return c.background || c.foreground || c.collision; }

// The columns holding anything at all, as [x0, x1); false for an empty map.
bool level_columns(int& x0, int& x1) {
  static bool used[LEVEL_WIDTH];
  for (int x = 0; x < LEVEL_WIDTH; x++)
    used[x] = false;
  for (int y = 0; y < LEVEL_HEIGHT; y++)
    for (int x = 0; x < LEVEL_WIDTH; x++)
      used[x] = used[x] || cell_used(level_data[y][x]);
  x0 = 0;
  while (x0 < LEVEL_WIDTH && !used[x0])
    x0++;
  x1 = LEVEL_WIDTH;
  while (x1 > x0 && !used[x1 - 1])
    x1--;
  return x0 < x1;
}

// The floor cell a hole's cell (x, y) copies its look from: the same cell of a
// solid tile beside it (whole tiles away, so patterns line up), or a plain one.
LevelCell floor_look(int x, int y, int x0, int x1) {
  for (int k = 1; k <= LOOK_REACH; k++)
    for (int nx : {x - k * TILE_SLOT, x + k * TILE_SLOT}) {
      if (nx < x0 || nx >= x1)
        continue;
      const LevelCell& n = level_data[y][nx];
      if (n.collision && n.collision != LIFT_CELL && n.foreground)
        return LevelCell{n.background, n.foreground, UNBREAKABLE};
    }
  return LevelCell{0, PLAIN_FLOOR_COLOR, UNBREAKABLE};
}

}  // namespace

void expect_new_level() { level_waits = true; }
void forget_new_level() { level_waits = false; }

void close_new_level_bounds() {
  if (!level_waits)
    return;
  level_waits = false;
  close_level_bounds();
}

void close_level_bounds() {
  int x0, x1;
  if (!level_columns(x0, x1))
    return;
  for (int x = x0; x < x1; x++) {
    // A hole goes up to the first solid cell, at most to the top of the bottom slot.
    if (!level_data[0][x].collision)
      for (int y = 0; y < TILE_SLOT && !level_data[y][x].collision; y++)
        level_data[y][x] = floor_look(x, y, x0, x1);
    // Shots break no way out through the bottom row.
    if (level_data[0][x].collision != LIFT_CELL)
      level_data[0][x].collision = UNBREAKABLE;
  }
  // The outermost columns hold the level in: invisible where they were open.
  for (int y = 0; y < LEVEL_HEIGHT; y++)
    for (int x : {x0, x1 - 1})
      if (!level_data[y][x].collision)
        level_data[y][x].collision = UNBREAKABLE;
  invalidate_all_level();
}
