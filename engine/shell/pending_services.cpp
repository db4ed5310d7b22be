// Stand-ins for the parts the shell calls that are still to come: the scene (this
// folder, next), and renderer, font and splash services whose owners have not
// landed them yet. Each does the least that keeps the program running: start-up
// and shut-down go through, the loop runs, nothing is drawn. The renderer and font
// stand-ins are weak, so the real definitions replace them as soon as they are
// linked in; delete each stand-in once its real one has landed.
#include <physfs.h>

#include <cstdio>

#include "engine/core/log.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/gen/level_map.h"
#include "engine/render/render_hooks.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/pending_services.h"
#include "libs/profiler/profiler.h"

#define PENDING __attribute__((weak))

// ---- renderer ------------------------------------------------------------------
PENDING char vs_profile[32] = "vs_3_0";
PENDING char ps_profile[32] = "ps_3_0";
PENDING void reload_shaders(bool) {}
PENDING void reload_textures(bool) {}
PENDING void free_all_textures() {}
PENDING unsigned get_free_texmem() { return 0; }
PENDING void reload_meshes(bool) {}
PENDING void free_all_meshes() {}

// ---- text and GUI ------------------------------------------------------------------
PENDING void init_font() {}
PENDING void close_font() {}
PENDING void show_splash(const char*, float) {}

// ---- the scene -----------------------------------------------------------------------
void init_scene() { set_update_rate(20, 5); }

void close_scene() {
  // The profiler dump is part of the scene's close-down; it already works.
  if (!profiler::isEnabled())
    return;
  debug("dumping profiler data...");
  for (int i = 0; i < 1000; i++)
    profiler::endBlock();
  profiler::stopListen();
  profiler::setEnabled(false);
  char path[256];
  snprintf(path, sizeof(path), "%sgame.prof", PHYSFS_getWriteDir() ? PHYSFS_getWriteDir() : "");
  int n = (int)profiler::dumpBlocksToFile(path);
  debug("dumped %d blocks to %s", n, path);
}

void start_scene_update(float) { end_update_timing(); }
void on_periodic_check() {}
void render_scene(float) {}
void render_splash() {}
void prepare_scene_render() {}
void resize_scene() {}

// ---- level generation ------------------------------------------------------------
// The game's random generator, seeded at start-up; owned by the level generator.
PENDING uint64_t game_rnd_seed = 0;

// ---- game flow and scene step (this folder, next) -----------------------------------
PENDING int cur_level = 0;
PENDING int up_points = 0;
PENDING void invalidate_level(int, int, int, int) {}
PENDING void log_sound_event(int) {}

// ---- game-object host --------------------------------------------------------------
// The upgrade screen and its factory slot, filled by the host when it links the module.
class BaseGuiScreen;
PENDING BaseGuiScreen* upgrade_screen = nullptr;
struct upgrade_screen_Class {
  static BaseGuiScreen* (*createScreen)();
};
PENDING BaseGuiScreen* (*upgrade_screen_Class::createScreen)() = nullptr;
