#pragma once
// The game's progress from level to level, and the play world that the modes
// showing the level share: its step, its render, the camera with the screen shake,
// and what play needs for the whole run.
#include <xmmintrin.h>

#include "engine/shared/game_state.h"

struct LevelRenderer;

// Sound events the game flow plays through the module.
enum : int {
  SOUND_HERO_DEAD = 7,
  SOUND_GAME_OVER = 8,
  SOUND_ELEVATOR = 20,
  SOUND_UPGRADE_SCREEN = 21,
  SOUND_UPGRADE_ACCEPT = 24,
  SOUND_START_LEVEL_Z1 = 25,
  SOUND_START_LEVEL_B1 = 26,
  SOUND_START_LEVEL_Z2 = 27,
  SOUND_START_LEVEL_B2 = 28,
  SOUND_START_LEVEL_Z3 = 29,
  SOUND_START_LEVEL_B3 = 30,
  SOUND_START_LEVEL_Z4 = 31,
  SOUND_START_LEVEL_B4 = 32,
  SOUND_NEW_GAME = 35,
};

// ---- progress ------------------------------------------------------------------------------
extern double level_play_time;  // seconds
extern double game_play_time;
extern bool reached_exit;       // set by the module when the hero reaches the exit
extern float shake_time;        // the noise clock of the screen shake

// Level 1, no points, clocks at 0, a new hero, the script's reset_game. Builds no level.
void reset_game();
// Builds and starts level cur_level: the world emptied, the level generated, its
// start sound, then the current mode's onNewLevel.
void start_new_level();
// The next level number, 5 more points, the script's level-gain hook.
void advance_level();
// The sound event that starts a level.
int level_start_sound(int level);
// The continuation of the title and game-over screens: the new-game sound, a new game,
// its first level, then play.
void start_new_game();

// ---- the play world ----------------------------------------------------------------------
extern float screen_shake_x, screen_shake_y;  // amplitudes in world units, set by the module
extern float screen_shake_setting;            // the user's strength, 0 switches it off
// The visible cell rectangle and view centre of the frame being drawn.
extern int cur_view_x0, cur_view_y0, cur_view_x1, cur_view_y1;
extern float cur_view_cx, cur_view_cy;

// One world step without the play screen's parts (no menu button, no HUD).
void update_play_world(float dt);
// The world: background, visible level area, boss, objects, debris.
void render_play_scene(float t);
// The interpolated camera plus the screen shake.
__m128 get_final_camera_pos(float t);
// A fractal sum of noise1 over `octaves` terms, each at twice the frequency and
// `gain` times the weight of the one before.
float shake_noise(int octaves, float x, float gain);

// Tiles, the level renderer, bullets, debris and the module's objects; once per run.
void init_play_level();
void close_play_level();
