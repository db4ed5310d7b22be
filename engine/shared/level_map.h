// The level cell map, the per-slot flag map and the game's random generator with the
// forms of draw that level generation takes from it.
#pragma once

#include <cstdint>
#include <xmmintrin.h>

constexpr int LEVEL_WIDTH = 4096;   // cells
constexpr int LEVEL_HEIGHT = 528;   // cells; row 0 is the bottom row
constexpr int TILE_SLOT = 16;       // cells per tile slot side
constexpr int SLOTS_X = LEVEL_WIDTH / TILE_SLOT;    // 256
constexpr int SLOTS_Y = LEVEL_HEIGHT / TILE_SLOT;   // 33

struct LevelCell {
  uint8_t background;  // palette index, 0 = none
  uint8_t foreground;  // palette index, 0 = empty
  uint8_t collision;   // collision class, 0 = passable
};
static_assert(sizeof(LevelCell) == 3);

// Cell (x, y) at index y * LEVEL_WIDTH + x.
extern LevelCell level_data[LEVEL_HEIGHT][LEVEL_WIDTH];
// Slot flags, slot (sx, sy) at [sy][sx].
extern uint16_t level_tile_map[SLOTS_Y][SLOTS_X];
// One number for the whole cell map (the FNV-1a hash of level_data's bytes), so that
// two generated levels compare at a glance: level_dump prints it.
uint64_t level_map_hash();

// Flag bits of level_tile_map.
enum : uint16_t {
  TILE_SOLID = 1,
  TILE_CONNECTED_CELL = 2,
  TILE_CLOSED_CELL = 4,
  TILE_MODULE_OBSTACLE = 8,
  TILE_MODULE_GROUP = 16,
  TILE_FLOOR = 32,
  TILE_CEILING = 64,
  TILE_WALL_LEFT = 128,
  TILE_WALL_RIGHT = 256,
};

// xorshift64* state of the game's one generator; never 0.
extern uint64_t game_rnd_seed;

// One generator step: the state advances, the result is state * 0x2545F4914F6CDD1D.
inline uint64_t rnd_u64(uint64_t& s) {
  s ^= s >> 12;
  s ^= s << 25;
  s ^= s >> 27;
  return s * 0x2545F4914F6CDD1DULL;
}
inline uint32_t rnd_u32(uint64_t& s) { return uint32_t(rnd_u64(s)); }
// [0, 1): the draw's low 23 bits as the mantissa of a float in [1, 2), minus 1.
float rnd_float(uint64_t& s);
// The step without the multiplication: the new state's low 32 bits.
inline uint32_t rnd_raw_step(uint64_t& s) {
  s ^= s >> 12;
  s ^= s << 25;
  s ^= s >> 27;
  return uint32_t(s);
}
// Uniform in [min(a,b), max(a,b)] from one draw of game_rnd_seed.
int rnd_range(int a, int b);
// The generator's everyday draw from game_rnd_seed.
inline uint32_t gen_draw() { return rnd_u32(game_rnd_seed); }

// Sets the solid, floor, ceiling and wall bits of every slot from the map.
void mark_solid_tiles();
// flags = (flags & andMask) | orBits for every slot touched by the cell box
// (x0, y0, x1, y1).
void mark_tiles_in_box(__m128 box, int orBits, int andMask);

// Whole cell coordinate of a float, as the level code means it: the floor of v, except
// within a few float steps below a border. The subtraction is done in double so whole
// numbers (odd ones too) map to themselves.
inline int cell_floor(float v) {
  double d = double(v) - 0.49999988;
  return int(__builtin_nearbyint(d));
}
