// The upgrade screen between two levels; closing it starts the next level.
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/shell/scene.h"
#include "engine/world/gameobj_host.h"

void UpgradeGameMode::enter(GameMode*) {
  gameobj_func_table.play_sound_event_no_pos(SOUND_UPGRADE_SCREEN);
  gameobj_func_table.open_upgrade_screen();
}

void UpgradeGameMode::leave(GameMode*) { gameobj_func_table.close_game_menu(); }

void UpgradeGameMode::update(float dt) {
  gameobj_func_table.update_game_menu(dt);
  if (!should_close_game_menu)
    return;
  gameobj_func_table.play_sound_event_no_pos(SOUND_UPGRADE_ACCEPT);
  // The level number moved on when the elevator ride ended.
  start_new_level();
  set_game_mode(play_mode);
}

// Nothing: the end of the elevator ride stays behind the screen (drawn again after a
// device reset emptied it).
void UpgradeGameMode::render(float t) { keep_last_world_picture(t); }

void UpgradeGameMode::renderOverlay(float t) { gameobj_func_table.draw_game_menu(t); }

void UpgradeGameMode::onResize() {}
