#include "engine/gen/coords.h"

#include <emmintrin.h>

#include "engine/core/fatal.h"
#include "engine/shared/cell_scan.h"
#include "engine/shared/level_map.h"

LevelGenGlobalCoordList level_coord_lists[NUM_COORD_LISTS];

LevelCoord LevelGenCoordList::coord(int i) const {
  ASSERT(i>=0 && i<num);
  int dx = pairs[2 * i], dy = pairs[2 * i + 1];
  int x = mirrorWidth <= 0 ? originX + dx : originX - 1 + (mirrorWidth - dx);
  return {x, originY + dy};
}

LevelGenCoordRect::LevelGenCoordRect(int x0_, int y0_, int x1, int y1) {
  x0 = x0_;
  y0 = y0_;
  width = x1 - x0 < 0 ? 0 : x1 - x0;
  height = y1 - y0 < 0 ? 0 : y1 - y0;
  count = width * height;
}

LevelCoord LevelGenCoordRect::coord(int i) const {
  int num = count;
  ASSERT(i>=0 && i<num);
  return {x0 + i % width, y0 + i / width};
}

LevelCoord LevelGenGlobalCoordList::coord(int i) const {
  ASSERT(i>=0 && i<coords.size());
  uint32_t p = coords[i];
  return {int(p & 0xFFFFu), int(int16_t(p >> 16))};
}

// A linear search, four values at a time: the lists hold up to a few thousand slots
// and are searched on every insertion.
bool LevelGenGlobalCoordList::contains(uint32_t packed) const {
  const uint32_t* p = coords.data;
  int n = coords.num, i = 0;
  __m128i want = _mm_set1_epi32(int(packed));
  for (; i + 16 <= n; i += 16) {
    __m128i a = _mm_cmpeq_epi32(_mm_loadu_si128((const __m128i*)(p + i)), want);
    __m128i b = _mm_cmpeq_epi32(_mm_loadu_si128((const __m128i*)(p + i + 4)), want);
    __m128i c = _mm_cmpeq_epi32(_mm_loadu_si128((const __m128i*)(p + i + 8)), want);
    __m128i d = _mm_cmpeq_epi32(_mm_loadu_si128((const __m128i*)(p + i + 12)), want);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))))
      return true;
  }
  for (; i < n; i++)
    if (p[i] == packed)
      return true;
  return false;
}

void LevelGenGlobalCoordList::add(LevelCoord c) {
  uint32_t p = pack_coord(c.x, c.y);
  if (!contains(p))
    coords.push(&p);
}

void LevelGenGlobalCoordList::remove(LevelCoord c) {
  uint32_t p = pack_coord(c.x, c.y);
  for (int j = 0; j < coords.size(); j++)
    if (coords[j] == p) {
      coords.removeUnordered(j, 1);
      return;
    }
}

LevelGenSingleCoord::LevelGenSingleCoord(const ILevelGenCoords& set, int i) {
  LevelCoord c = set.coord(i);
  x = c.x;
  y = c.y;
  flipped = set.isFlipped();
}

void clear_global_coord_lists() {
  for (LevelGenGlobalCoordList& list : level_coord_lists)
    list.coords.clear();
}

void add_coords(LevelGenGlobalCoordList& list, const ILevelGenCoords& set) {
  int n = set.numCoords();
  for (int i = 0; i < n; i++)
    list.add(set.coord(i));
}

void remove_coords(LevelGenGlobalCoordList& list, const ILevelGenCoords& set) {
  int n = set.numCoords();
  for (int i = 0; i < n; i++)
    list.remove(set.coord(i));
}

LevelCoord random_coord(const ILevelGenCoords& set) {
  int n = set.numCoords();
  if (n > 1)
    return set.coord(int(gen_draw() % uint32_t(n)));
  return set.coord(0);
}

bool coord_in_list(const ILevelGenCoords& coords, const LevelGenGlobalCoordList& list, int dx, int dy) {
  ASSERT(coords.numCoords()==1);
  LevelCoord c = coords.coord(0);
  return list.contains(pack_coord(c.x + dx, c.y + dy));
}

// True when no cell of the box around each coordinate has a non-zero byte at `layer`.
static bool is_layer_clear(const ILevelGenCoords& set, int dx, int dy, int w, int h, int layer) {
  LayerMasks lm = layer_masks(layer);
  int n = set.numCoords();
  for (int i = 0; i < n; i++) {
    LevelCoord c = set.coord(i);
    int x0 = c.x * TILE_SLOT + dx, y0 = c.y * TILE_SLOT + dy;
    int x1 = x0 + w, y1 = y0 + h;
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > LEVEL_WIDTH) x1 = LEVEL_WIDTH;
    if (y1 > LEVEL_HEIGHT) y1 = LEVEL_HEIGHT;
    for (int y = y0; y < y1; y++) {
      const LevelCell* row = level_data[y];
      int x = x0;
      for (; x + 16 <= x1; x += 16)  // whole runs of 16 cells at a time
        if (any16(row + x, lm))
          return false;
      for (; x < x1; x++)
        if ((&row[x].background)[layer])
          return false;
    }
  }
  return true;
}

bool is_background_clear(const ILevelGenCoords& set, int dx, int dy, int w, int h) {
  return is_layer_clear(set, dx, dy, w, h, 0);
}

bool is_collision_clear(const ILevelGenCoords& set, int dx, int dy, int w, int h) {
  return is_layer_clear(set, dx, dy, w, h, 2);
}

void collect_slots_by_tile_flags(LevelGenGlobalCoordList& list, int mask, int value) {
  for (int sy = 0; sy < SLOTS_Y; sy++)
    for (int sx = 0; sx < SLOTS_X; sx++)
      if ((level_tile_map[sy][sx] & mask) == value)
        list.add({sx, sy});
}

void remove_coords_by_tile_flags(LevelGenGlobalCoordList& list, int mask, int value) {
  for (int i = list.coords.size() - 1; i >= 0; i--) {
    LevelCoord c = list.coord(i);
    if (c.x >= 0 && c.x < SLOTS_X && c.y >= 0 && c.y < SLOTS_Y &&
        (level_tile_map[c.y][c.x] & mask) == value)
      list.coords.removeUnordered(i, 1);
  }
}
