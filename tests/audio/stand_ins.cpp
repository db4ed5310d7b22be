// What the script bridge's game-script side reads of the shell, the GUI and the
// game-object host, none of which this test program links. The game script never
// runs here, so the upgrade screen is never swapped.
#include <gtest/gtest.h>

#include "engine/gui/gui_screen.h"
#include "engine/script/game_script.h"
#include "gameobj/gameobj_api.h"

GameObjFuncTable gameobj_func_table;
int cur_level = 0;
int up_points = 0;
BaseGuiScreen* upgrade_screen = nullptr;
BaseGuiScreen* (*upgrade_screen_Class::createScreen)() = nullptr;
BaseGuiScreen* cur_game_screen = nullptr;
void BaseGuiScreen::destroy() {
  ADD_FAILURE() << "the game script's upgrade screen is not used by the audio tests";
}
