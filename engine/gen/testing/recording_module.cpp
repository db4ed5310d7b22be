#include "engine/gen/testing/recording_module.h"

#include <physfs.h>

#include <cstdio>

#include "engine/gen/gen_hooks.h"
#include "engine/shared/gameobj_funcs.h"
#include "engine/shared/level_map.h"

std::vector<ModuleCall> module_calls;
std::vector<InvalidatedRect> invalidated_rects;

static void record_invalidated(int x0, int y0, int x1, int y1) { invalidated_rects.push_back({x0, y0, x1, y1}); }

static void record(ModuleCall c) { module_calls.push_back(std::move(c)); }

static void rec_add_background(const char* name, float a, float b, float c, float d, float e, float f) {
  record({ModuleCallKind::Background, name, {a, b, c, d, e, f}, {}});
}
static void rec_add_background_ship(const char* name, float speed) {
  record({ModuleCallKind::BackgroundShip, name, {speed}, {}});
}
static void rec_add_lift(int x, int y, int size, int direction) {
  record({ModuleCallKind::Lift, "", {}, {x, y, size, direction}});
}
static void rec_add_enemy(int kind, float x, float y) { record({ModuleCallKind::Enemy, "", {x, y}, {kind}}); }
static void rec_reset_hero(float x, float y) { record({ModuleCallKind::Hero, "", {x, y}, {}}); }
static void rec_mark_level_tiles() {
  mark_solid_tiles();
  record({ModuleCallKind::MarkTiles, "", {}, {}});
}
static void rec_reload_boss_parts() { record({ModuleCallKind::ReloadBossParts, "", {}, {}}); }

void install_recording_module() {
  gameobj_func_table = GameObjFuncTable{};
  gameobj_func_table.add_background = rec_add_background;
  gameobj_func_table.add_background_ship = rec_add_background_ship;
  gameobj_func_table.add_lift = rec_add_lift;
  gameobj_func_table.add_enemy = rec_add_enemy;
  gameobj_func_table.reset_hero = rec_reset_hero;
  gameobj_func_table.mark_level_tiles = rec_mark_level_tiles;
  gameobj_func_table.reload_boss_parts = rec_reload_boss_parts;
  set_level_invalidate_hook(record_invalidated);
  clear_module_calls();
}

void clear_module_calls() {
  module_calls.clear();
  invalidated_rects.clear();
}

std::string describe_call(const ModuleCall& c) {
  char buf[256];
  switch (c.kind) {
    case ModuleCallKind::Background:
      snprintf(buf, sizeof(buf), "add_background %s %g %g %g %g %g %g", c.name.c_str(), c.f[0], c.f[1],
               c.f[2], c.f[3], c.f[4], c.f[5]);
      break;
    case ModuleCallKind::BackgroundShip:
      snprintf(buf, sizeof(buf), "add_background_ship %s %g", c.name.c_str(), c.f[0]);
      break;
    case ModuleCallKind::Lift:
      snprintf(buf, sizeof(buf), "add_lift %d %d %d %d", c.i[0], c.i[1], c.i[2], c.i[3]);
      break;
    case ModuleCallKind::Enemy:
      snprintf(buf, sizeof(buf), "add_enemy %d %g %g", c.i[0], c.f[0], c.f[1]);
      break;
    case ModuleCallKind::Hero: snprintf(buf, sizeof(buf), "reset_hero %g %g", c.f[0], c.f[1]); break;
    case ModuleCallKind::MarkTiles: snprintf(buf, sizeof(buf), "mark_level_tiles"); break;
    case ModuleCallKind::ReloadBossParts: snprintf(buf, sizeof(buf), "reload_boss_parts"); break;
  }
  return buf;
}

bool mount_game_data(const char* argv0, const char* data_dir) {
  if (!PHYSFS_isInit() && !PHYSFS_init(argv0))
    return false;
  PHYSFS_permitSymbolicLinks(1);
  // With the separator at the end, as the game mounts its folders.
  std::string root = data_dir;
  if (root.empty() || root.back() != '/')
    root += '/';
  return PHYSFS_mount(root.c_str(), nullptr, 1) != 0;
}
