// What the game-script bridge reads of the shell and the game-object host, which
// this test program does not link.
#include "engine/script/game_script.h"
#include "engine/world/gameobj_api.h"

BaseGuiScreen* upgrade_screen = nullptr;
BaseGuiScreen* (*upgrade_screen_Class::createScreen)() = nullptr;
