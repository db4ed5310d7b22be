// The world render shared by every mode that shows the level, and what play needs
// for the whole run: tiles, the level renderer, bullets, debris, the module's objects.
#include <cmath>

#include "engine/gen/level_tiles.h"
#include "engine/render/background.h"
#include "engine/render/d3d_device.h"
#include "engine/render/level_renderer.h"
#include "engine/render/sprite.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/world/gameobj_host.h"
#include "engine/world/junk.h"

int cur_view_x0 = 0, cur_view_y0 = 0, cur_view_x1 = 0, cur_view_y1 = 0;
float cur_view_cx = 0.0f, cur_view_cy = 0.0f;

namespace {

constexpr D3dColor BACKGROUND_LOW = 0x00725020;
constexpr D3dColor BACKGROUND_HIGH = 0x0099723F;

int round_to_int(float v) { return (int)nearbyintf(v); }

}  // namespace

void render_play_scene(float t) {
  GameObjFuncTable& m = gameobj_func_table;
  // A paused world is drawn as it stands at the end of the last step.
  float tp = game_paused ? 0.05f : t;
  int sw = d3d_wd / voxel_scale + 32;
  int sh = d3d_ht / voxel_scale + 32;
  alignas(16) float cam[4];
  _mm_store_ps(cam, get_final_camera_pos(tp));
  cur_view_cx = cam[0];
  cur_view_cy = cam[1];
  int ix = round_to_int(cam[0] - 0.49999991f);
  int iy = round_to_int(cam[1] - 0.49999991f);
  // The published view reaches 16 cells past each edge for the module's culling.
  cur_view_x0 = ix - sw / 2;
  cur_view_x1 = cur_view_x0 + sw;
  cur_view_y0 = iy - sh / 2;
  cur_view_y1 = cur_view_y0 + sh;

  start_level_rendering();
  int lw = d3d_wd / voxel_scale + 2;
  int lh = d3d_ht / voxel_scale + 2;
  int x0 = ix - lw / 2;
  int y0 = iy - lh / 2;
  render_area(level_renderer, x0, y0, x0 + lw, y0 + lh, 0.0f);
  m.render_boss(tp);
  end_level_rendering();
  // The backdrop lies at the far plane behind everything and is drawn with the depth
  // test: after the level it is shaded only where the level leaves holes. The picture
  // is the one drawing it first gives.
  render_background(BACKGROUND_LOW, BACKGROUND_HIGH);
  start_sprite_render();
  m.render_gameobj(tp);
  end_sprite_render();
  render_junk(tp);
}

void init_play_level() {
  load_level_tiles();
  level_renderer = create_level_renderer(&level_data[0][0], (int)sizeof(LevelCell), (int)sizeof(level_data[0]),
                                         LEVEL_WIDTH, LEVEL_HEIGHT, level_view_cells_x(), level_view_cells_y());
  gameobj_func_table.init_bullets();
  init_junk();
  gameobj_func_table.init_gameobj();
}

void close_play_level() {
  // The module may be unlinked already.
  if (gameobj_func_table.close_gameobj)
    gameobj_func_table.close_gameobj();
  close_junk();
  if (gameobj_func_table.close_bullets)
    gameobj_func_table.close_bullets();
  destroy_renderer(level_renderer);
  free_level_tiles();
}
