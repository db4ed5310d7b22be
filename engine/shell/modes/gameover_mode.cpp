// Game over: the world goes on moving under a darkened final pass, and after one
// second the module's game-over screen offers a new game.
#include "engine/render/postfx.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/world/gameobj_host.h"

void GameOverMode::enter(GameMode*) {
  gameobj_func_table.open_game_over_screen();
  gameobj_func_table.show_game_over(false);
  over_timer = 1.0f;
  gameobj_func_table.play_sound_event_no_pos(SOUND_HERO_DEAD);
  postfx_final_color = _mm_set1_ps(0.25f);
}

// The module's screen stays open; only the darkening ends with the mode.
void GameOverMode::leave(GameMode*) { postfx_final_color = _mm_setzero_ps(); }

void GameOverMode::update(float dt) {
  update_play_world(dt);
  gameobj_func_table.update_game_menu(dt);
  if (over_timer > 0.0f) {
    over_timer -= dt;
    if (over_timer <= 0.0f)
      gameobj_func_table.play_sound_event_no_pos(SOUND_GAME_OVER);
    return;
  }
  gameobj_func_table.show_game_over(true);
  if (should_close_game_menu)
    start_new_game();
}

void GameOverMode::render(float t) { render_play_scene(t); }

void GameOverMode::renderOverlay(float t) {
  render_debug_objects(t);
  gameobj_func_table.draw_game_menu(t);
}

void GameOverMode::onResize() {}
