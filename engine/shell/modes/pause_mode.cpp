// The pause menu over the frozen game.
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/world/gameobj_host.h"

void PauseMenuMode::enter(GameMode*) {
  game_paused = true;
  gameobj_func_table.open_game_menu();
}

void PauseMenuMode::leave(GameMode*) {
  game_paused = false;
  gameobj_func_table.close_game_menu();
}

void PauseMenuMode::update(float dt) {
  // Again every step: the developer's pause key must not unfreeze the game here.
  game_paused = true;
  gameobj_func_table.update_game_menu(dt);
  if (should_close_game_menu)
    set_game_mode(play_mode);
}

void PauseMenuMode::render(float t) { render_play_scene(t); }

void PauseMenuMode::renderOverlay(float t) {
  render_debug_objects(t);
  gameobj_func_table.draw_hud();
  gameobj_func_table.draw_game_menu(t);
}

void PauseMenuMode::onResize() {}
