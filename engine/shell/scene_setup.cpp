// Scene start-up and close-down, each in a fixed order, and the resize after a
// device reset to a new back-buffer size.
#include <physfs.h>

#include <cmath>
#include <cstring>

#include "engine/audio/audio_engine.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/core/settings.h"
#include "engine/gui/splash.h"
#include "engine/gui/sys_font.h"
#include "engine/render/background.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/debug_vis.h"
#include "engine/render/level_renderer.h"
#include "engine/render/postfx.h"
#include "engine/render/sprite.h"
#include "engine/script/game_script.h"
#include "engine/shell/controls.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/shell/window.h"
#include "engine/world/gameobj_host.h"
#include "libs/profiler/profiler.h"

namespace {

constexpr char kProfilerDumpName[] = "game.prof";

// The user's shake strength: 1.0 when the setting is absent or not a number, and
// never negative.
float read_screen_shake_setting() {
  float value = 1.0f;
  if (get_config_float("screen_shake", &value) && !std::isfinite(value))
    value = 1.0f;
  return value < 0.0f ? 0.0f : value;
}

// Ends the profiler's open blocks and writes what it recorded into the write folder.
void dump_profiler_data() {
  debug("dumping profiler data...");
  for (int i = 0; i < 1000; i++)
    profiler::endBlock();
  profiler::stopListen();
  profiler::setEnabled(false);
  const char* dir = PHYSFS_isInit() ? PHYSFS_getWriteDir() : nullptr;
  if (!dir) {
    debug("no write folder, profiler data not dumped");
    return;
  }
  size_t size = strlen(dir) + sizeof(kProfilerDumpName);
  char* path = (char*)dlmalloc(size);
  if (!path) {
    debug("no memory for the profiler dump path, profiler data not dumped");
    return;
  }
  snprintf(path, size, "%s%s", dir, kProfilerDumpName);
  int n = (int)profiler::dumpBlocksToFile(path);
  debug("dumped %d blocks to %s", n, path);
  dlfree(path);
}

}  // namespace

void init_scene() {
  PROFILE_BLOCK("init_scene", SCENE_BLOCK_COLOR);
  set_update_rate(20, 5);
  // The engine, its three buses, the sound script and the music volume.
  init_audio();
  screen_shake_setting = read_screen_shake_setting();

  scene_image = create_screen_render_target();
  if (!scene_image)
    fatal("can't create scene image texture");
  init_sprites();
  // Compiling the shaders takes a moment: the splash says what is under way.
  show_splash("Compiling background shaders", -1);
  init_background();
  show_splash("Compiling post-effect shaders", -1);
  init_postfx();
  init_debug_vis();
  update_screen_layout();
  shouldHideMouse = true;

  init_gameobj_dll("../gameobj/", "main.ls");
  init_game_script();
  gameobj_func_table.init_new_gui();
  init_controls();
  init_level_rendering();
  init_play_level();

  reset_game();
  start_new_level();
  set_game_mode(title_mode);
}

// Every step accepts what was never started: fatal can end the program during the
// start-up, and the shut-down then runs this.
void close_scene() {
  if (cur_game_mode) {
    cur_game_mode->leave(nullptr);
    cur_game_mode = nullptr;
  }
  if (gameobj_func_table.close_game_menu)
    gameobj_func_table.close_game_menu();
  if (gameobj_func_table.remove_all_gameobj)
    gameobj_func_table.remove_all_gameobj();
  close_play_level();
  close_game_script();
  close_gameobj_dll();
  close_level_rendering();
  close_debug_vis();
  close_postfx();
  close_background();
  close_sprites();
  if (scene_image) {
    destroy_texture(scene_image);
    scene_image = nullptr;
  }
  close_audio();
  if (profiler::isEnabled())
    dump_profiler_data();
}

void resize_scene() {
  forget_world_picture();
  update_font_scale();
  update_screen_layout();
  reset_level_renderer();
  if (cur_game_mode)
    cur_game_mode->onResize();
}
