// The scene's share of each fixed step: developer keys, the screenshot key, the view
// matrices, the current mode's update and the GUI's queued deletions; and the
// once-a-second hot reload of sprites, tiles, the module and the two scripts.
#include "engine/audio/sound_events.h"
#include "engine/core/error_message.h"
#include "engine/core/log.h"
#include "engine/gen/level_tiles.h"
#include "engine/gui/gui_screen.h"
#include "engine/gui/visual_log.h"
#include "engine/render/background.h"
#include "engine/render/screenshot.h"
#include "engine/render/sprite.h"
#include "engine/script/game_script.h"
#include "engine/shell/input.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/shell/window.h"
#include "engine/world/gameobj_host.h"
#include "libs/profiler/profiler.h"

bool show_fps = false;
bool use_vis_debug = false;
bool use_postfx = true;
bool sound_event_logging = false;

namespace {

void toggle(bool& flag) { flag = !flag; }

void toggle_sound_event_logging() {
  toggle(sound_event_logging);
  if (sound_event_logging)
    visual_log("logging sound events");
  else
    clear_visual_log();
}

// F5 swaps play and the level viewer; other modes ignore it.
void swap_level_viewer() {
  if (cur_game_mode == play_mode)
    set_game_mode(view_level_mode);
  else if (cur_game_mode == view_level_mode)
    set_game_mode(play_mode);
}

// Every key pressed in this update acts, in this order.
void handle_developer_keys() {
  if (getKeyState(VK_CONTROL)) {
    if (keyDown(VK_F4))
      start_new_level();
    if (keyDown(VK_F1))
      reached_exit = true;
    return;
  }
  if (keyDown(VK_F1))
    toggle(show_fps);
  if (keyDown(VK_F2))
    toggle(game_paused);
  if (keyDown(VK_F4))
    toggle(use_vis_debug);
  if (keyDown(VK_F6))
    toggle(use_postfx);
  if (keyDown(VK_F3))
    toggle_sound_event_logging();
  if (keyDown(VK_F5))
    swap_level_viewer();
}

}  // namespace

void start_scene_update(float dt) {
  PROFILE_BLOCK("start_scene_update", SCENE_BLOCK_COLOR);
  if (isAppActive && use_dev_tools)
    handle_developer_keys();
  // One shot per release of the key, developer tools or not.
  if (isAppActive && keyUp(VK_SNAPSHOT))
    take_screenshot();
  set_view_matrices(0.0f);
  if (cur_game_mode)
    cur_game_mode->update(dt);
  destroy_queued_gui_elements();
  end_update_timing();
}

void on_periodic_check() {
  PROFILE_BLOCK("on_periodic_check", SCENE_BLOCK_COLOR);
  if (!use_dev_tools)
    return;
  reload_sprites();
  reload_tiles();
  // The new module binds its classes again before either script runs anew.
  if (reload_gameobj(false))
    game_script_after_gameobj_reload();
  check_sound_script();
  check_game_script();
}

void log_sound_event(int id) {
  if (!sound_event_logging)
    return;
  const char* name = sound_event_name[id] ? sound_event_name[id] : "?";
  debug("sound event '%s'", name);
  visual_log("sound event '%s'", name);
}

void show_error_message(const char* text) { set_error_message(text); }
