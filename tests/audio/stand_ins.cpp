// What the script bridge's game-script side reads of the shell and the game-object
// host, which this test program does not link.
#include "engine/script/game_script.h"
#include "gameobj/gameobj_api.h"

GameObjFuncTable gameobj_func_table;
int cur_level = 0;
int up_points = 0;
BaseGuiScreen* upgrade_screen = nullptr;
BaseGuiScreen* (*upgrade_screen_Class::createScreen)() = nullptr;
