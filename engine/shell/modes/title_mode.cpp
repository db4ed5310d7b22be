// The title screen: the module's main menu over the last world picture; closing it
// starts a new game.
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/shell/scene.h"
#include "engine/world/gameobj_host.h"

void TitleGameMode::enter(GameMode*) { gameobj_func_table.open_main_menu(); }

void TitleGameMode::leave(GameMode*) { gameobj_func_table.close_game_menu(); }

void TitleGameMode::update(float dt) {
  gameobj_func_table.update_game_menu(dt);
  if (should_close_game_menu)
    start_new_game();
}

// Nothing: the scene image keeps the last world picture behind the menu (drawn again
// after a device reset emptied it).
void TitleGameMode::render(float t) { keep_last_world_picture(t); }

void TitleGameMode::renderOverlay(float t) { gameobj_func_table.draw_game_menu(t); }

void TitleGameMode::onResize() {}
