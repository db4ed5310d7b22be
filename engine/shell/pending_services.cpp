// Stand-ins for the parts the shell calls that are still to come: the scene and the
// game flow (this folder, next), the renderer's meshes, the system font and splash.
// Each does the least that keeps the program running:
// start-up and shut-down go through, the loop runs, nothing is drawn. All but the
// scene's are weak, so a real definition replaces its stand-in as soon as it is
// linked in; delete each stand-in once its real one has landed.
#include <physfs.h>

#include <cstdio>

#include "engine/core/log.h"
#include "engine/render/render_hooks.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/pending_services.h"
#include "libs/profiler/profiler.h"

#define PENDING __attribute__((weak))

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

// ---- game flow and scene step (this folder, next) -----------------------------------
PENDING int cur_level = 0;
PENDING int up_points = 0;
PENDING void log_sound_event(int) {}
