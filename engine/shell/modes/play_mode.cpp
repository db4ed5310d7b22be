// The play mode and the world step it shares with the game-over mode: the module's
// objects, the debris, the screen-shake decay, the play clocks, and the three ways
// out of play (the menu button, the hero's death, the exit).
#include <algorithm>
#include <cmath>

#include "engine/shell/controls.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/world/camera.h"
#include "engine/world/gameobj_host.h"
#include "engine/world/junk.h"
#include "engine/world/noise.h"

float screen_shake_x = 0.0f;
float screen_shake_y = 0.0f;
float screen_shake_setting = 1.0f;

namespace {

// Shrinks a shake amplitude by f; what is left at 0.1 or below ends the shake.
float decay_shake(float amplitude, float f) {
  amplitude *= f;
  return std::fabs((double)amplitude) <= 0.1 ? 0.0f : amplitude;
}

// Steps 3..9 of the play step: true when the exit was reached (the elevator mode is
// then current and the clocks did not advance).
bool advance_world(float dt) {
  GameObjFuncTable& m = gameobj_func_table;
  shake_time += dt;
  float f = std::max(0.0f, 1.0f - 4.0f * dt);
  screen_shake_x = decay_shake(screen_shake_x, f);
  screen_shake_y = decay_shake(screen_shake_y, f);
  m.update_gameobj(dt);
  update_junk(dt);
  if (m.get_hero_health() <= 0)
    set_game_mode(gameover_mode);
  if (reached_exit) {
    set_game_mode(elevator_mode);
    return true;
  }
  level_play_time += dt;
  game_play_time += dt;
  return false;
}

}  // namespace

void update_play_world(float dt) {
  if (game_paused)
    return;
  advance_world(dt);
}

float shake_noise(int octaves, float x, float gain) {
  float sum = noise1(x);
  float a = gain;
  for (int i = 1; i < octaves; i++) {
    x = 2.0f * x + 0.5f;
    sum += noise1(x) * a;
    a *= gain;
  }
  return sum;
}

__m128 get_final_camera_pos(float t) {
  float u = (shake_time + t) * 10.0f;
  float nx = shake_noise(7, u, 0.5f);
  float ny = shake_noise(7, u + 123.0f, 0.5f);
  __m128 shake = _mm_setr_ps(screen_shake_x * nx, screen_shake_y * ny, 0.0f, 0.0f);
  return _mm_add_ps(free_cam_pos, _mm_mul_ps(_mm_set1_ps(screen_shake_setting), shake));
}

void PlayGameMode::enter(GameMode*) {}
void PlayGameMode::leave(GameMode*) {}
void PlayGameMode::onResize() {}

void PlayGameMode::update(float dt) {
  if (button_down(BUTTON_MENU)) {
    set_game_mode(pause_menu_mode);
    return;
  }
  // Paused by the developer key: only the HUD runs.
  if (!game_paused)
    advance_world(dt);
  gameobj_func_table.update_hud();
}

void PlayGameMode::render(float t) { render_play_scene(t); }

void PlayGameMode::renderOverlay(float t) {
  render_debug_objects(t);
  gameobj_func_table.draw_hud();
}
