// A game from level to level: a new game, the start of a level, the advance to the
// next one.
#include "engine/render/level_renderer.h"
#include "engine/shell/modes/game_flow.h"

#include "engine/gen/level_compose.h"
#include "engine/script/game_script.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/world/gameobj_host.h"
#include "engine/world/junk.h"

double level_play_time = 0.0;
double game_play_time = 0.0;
bool reached_exit = false;
float shake_time = 0.0f;

void reset_game() {
  cur_level = 1;
  up_points = 0;
  game_play_time = 0.0;
  level_play_time = 0.0;
  gameobj_func_table.close_hero();
  gameobj_func_table.init_hero();
  reset_game_script();
}

void start_new_game() {
  gameobj_func_table.play_sound_event_no_pos(SOUND_NEW_GAME);
  reset_game();
  start_new_level();
  set_game_mode(play_mode);
}

void advance_level() {
  cur_level += 1;
  up_points += 5;
  game_script_torvane();
}

int level_start_sound(int level) {
  // Each fifth level has its boss sound; the zones between them change at 5, 10, 15.
  switch (level) {
    case 5: return SOUND_START_LEVEL_B1;
    case 10: return SOUND_START_LEVEL_B2;
    case 15: return SOUND_START_LEVEL_B3;
    case 20: return SOUND_START_LEVEL_B4;
  }
  if (level > 15)
    return SOUND_START_LEVEL_Z4;
  if (level > 10)
    return SOUND_START_LEVEL_Z3;
  if (level > 5)
    return SOUND_START_LEVEL_Z2;
  return SOUND_START_LEVEL_Z1;
}

void start_new_level() {
  reached_exit = false;
  shake_time = 0.0f;
  level_play_time = 0.0;

  GameObjFuncTable& m = gameobj_func_table;
  m.remove_all_enemies();
  m.remove_all_bonuses();
  m.reset_lifts();
  m.reset_bullets();
  clear_junk();
  m.reset_explosions();
  m.reset_background();
  m.delete_gameobj();

  generate_level();
  invalidate_all_renderer(level_renderer);
  m.play_sound_event_no_pos(level_start_sound(cur_level));
  if (cur_game_mode)
    cur_game_mode->onNewLevel();
}
