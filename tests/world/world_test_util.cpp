#include "world_test_util.h"

#include <cstring>

void clear_level() { memset(level_data, 0, sizeof(level_data)); }

void set_cell(int x, int y, int collision) { level_data[y][x].collision = uint8_t(collision); }

void fill_cells(int x0, int y0, int x1, int y1, int collision) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++)
      set_cell(x, y, collision);
}

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}

