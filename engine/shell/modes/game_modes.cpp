// Switching between the game modes, the mode objects and the flags the module shares.
#include "engine/shell/modes/modes.h"

#include "engine/shell/scene.h"
#include "engine/world/gameobj_host.h"

// Declared in the order of their pointers; no constructor reads another global.
PlayGameMode play_mode_instance;
TitleGameMode title_mode_instance;
PauseMenuMode pause_menu_mode_instance;
GameOverMode gameover_mode_instance;
ElevatorGameMode elevator_mode_instance;
UpgradeGameMode upgrade_mode_instance;
ViewLevelMode view_level_mode_instance;

GameMode* cur_game_mode = nullptr;
GameMode* title_mode = &title_mode_instance;
GameMode* play_mode = &play_mode_instance;
GameMode* pause_menu_mode = &pause_menu_mode_instance;
GameMode* gameover_mode = &gameover_mode_instance;
GameMode* elevator_mode = &elevator_mode_instance;
GameMode* upgrade_mode = &upgrade_mode_instance;
GameMode* view_level_mode = &view_level_mode_instance;

void set_game_mode(GameMode* mode) {
  if (mode == cur_game_mode)
    return;
  GameMode* old = cur_game_mode;
  // While the old mode leaves it is still the current one.
  if (old)
    old->leave(mode);
  cur_game_mode = mode;
  if (mode)
    mode->enter(old);
}

void go_to_main_menu() { set_game_mode(title_mode); }

void render_debug_objects(float t) {
  if (use_vis_debug)
    gameobj_func_table.render_gameobj_debug(t);
}
