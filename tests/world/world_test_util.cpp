#include "world_test_util.h"

#include <cstring>

#include "engine/world/gameobj_api.h"

void clear_level() { memset(level_data, 0, sizeof(level_data)); }

void set_cell(int x, int y, int collision) { level_data[y][x].collision = uint8_t(collision); }

void fill_cells(int x0, int y0, int x1, int y1, int collision) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++)
      set_cell(x, y, collision);
}

namespace {
float pass_x(int&, GameObj*, float, float to, float, float) { return to; }
float pass_y(int&, GameObj*, float, float, float, float to, float*) { return to; }
__m128 none3(GameObj*, __m128, __m128) { return _mm_setzero_ps(); }
__m128 none4(GameObj*, int, __m128, __m128) { return _mm_setzero_ps(); }
__m128 origin() { return _mm_setr_ps(0, 0, 0, 1); }
}  // namespace

void install_test_module() {
  gameobj_func_table = GameObjFuncTable{};
  gameobj_func_table.scan_objects_x = pass_x;
  gameobj_func_table.scan_objects_y = pass_y;
  gameobj_func_table.collide_box_neutral = none3;
  gameobj_func_table.collide_box_hero = none3;
  gameobj_func_table.collide_box_enemies = none4;
  gameobj_func_table.get_hero_pos = origin;
  gameobj_func_table.get_hero_target = origin;
}

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}

// ---- what the game flow provides to the libraries linked here ----------------------
// The module plays sound events; the game flow would log them.
void log_sound_event(int) {}
