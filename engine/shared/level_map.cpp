#include "engine/shared/level_map.h"

#include <cstring>

#include "engine/shared/cell_scan.h"

LevelCell level_data[LEVEL_HEIGHT][LEVEL_WIDTH];
uint16_t level_tile_map[SLOTS_Y][SLOTS_X];
uint64_t game_rnd_seed = 12345;

uint64_t level_map_hash() {
  uint64_t h = 1469598103934665603ull;
  const uint8_t* p = (const uint8_t*)level_data;
  for (size_t i = 0; i < sizeof(level_data); i++)
    h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

float rnd_float(uint64_t& s) {
  uint32_t bits = 0x3F800000u | (rnd_u32(s) & 0x7FFFFFu);
  float f;
  memcpy(&f, &bits, sizeof(f));
  return f - 1.0f;
}

int rnd_range(int a, int b) {
  uint32_t d = gen_draw();
  int lo = a < b ? a : b;
  uint64_t span = uint64_t(int64_t(b) - int64_t(a) < 0 ? int64_t(a) - b : int64_t(b) - a) + 1;
  return lo + int((span * d) >> 32);
}

static bool slot_has_collision(int sx, int sy, const LayerMasks& lm) {
  for (int y = sy * TILE_SLOT; y < (sy + 1) * TILE_SLOT; y++)
    if (any16(&level_data[y][sx * TILE_SLOT], lm))
      return true;
  return false;
}

void mark_solid_tiles() {
  LayerMasks lm = layer_masks(2);
  for (int sy = 0; sy < SLOTS_Y; sy++)
    for (int sx = 0; sx < SLOTS_X; sx++)
      if (slot_has_collision(sx, sy, lm))
        level_tile_map[sy][sx] |= TILE_SOLID;
  for (int sy = 1; sy < SLOTS_Y - 1; sy++)
    for (int sx = 1; sx < SLOTS_X - 1; sx++) {
      uint16_t& f = level_tile_map[sy][sx];
      if (f & TILE_SOLID)
        continue;
      if (level_tile_map[sy - 1][sx] & TILE_SOLID) f |= TILE_FLOOR;
      if (level_tile_map[sy + 1][sx] & TILE_SOLID) f |= TILE_CEILING;
      if (level_tile_map[sy][sx - 1] & TILE_SOLID) f |= TILE_WALL_LEFT;
      if (level_tile_map[sy][sx + 1] & TILE_SOLID) f |= TILE_WALL_RIGHT;
    }
}

// Slot number of a cell coordinate. The value is first clamped to a little beyond the
// map, so huge, infinite or NaN coordinates cannot overflow the conversion.
static int box_slot(float v, float limit) {
  if (!(v >= -TILE_SLOT)) v = -TILE_SLOT;
  if (!(v <= limit + TILE_SLOT)) v = limit + TILE_SLOT;
  return cell_floor(v / TILE_SLOT);
}

void mark_tiles_in_box(__m128 box, int orBits, int andMask) {
  float b[4];
  _mm_storeu_ps(b, box);
  int sx0 = box_slot(b[0], LEVEL_WIDTH), sy0 = box_slot(b[1], LEVEL_HEIGHT);
  int sx1 = box_slot(b[2], LEVEL_WIDTH), sy1 = box_slot(b[3], LEVEL_HEIGHT);
  if (sx0 < 0) sx0 = 0;
  if (sy0 < 0) sy0 = 0;
  if (sx1 > SLOTS_X - 1) sx1 = SLOTS_X - 1;
  if (sy1 > SLOTS_Y - 1) sy1 = SLOTS_Y - 1;
  uint16_t orv = uint16_t(orBits), andv = uint16_t(andMask);
  for (int sy = sy0; sy <= sy1; sy++)
    for (int sx = sx0; sx <= sx1; sx++)
      level_tile_map[sy][sx] = uint16_t((level_tile_map[sy][sx] & andv) | orv);
}
