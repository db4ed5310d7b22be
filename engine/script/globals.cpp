// The script bridge's global objects, in their construction order: the game
// script's VM first, then its seven handles, so that each handle is destroyed
// before the VM it refers to.
#include "engine/script/game_script.h"

SqReloadableVM game_script_vm;
SqFunc<void> game_script_reset_game;
SqFunc<void> game_script_on_torvane;
SqFunc<sqbind::SqObject> game_script_get_upgrade_tree;
SqFunc<sqbind::SqObject> game_script_get_upgrade_node;
SqFunc<sqbind::SqObject> game_script_get_upgrade_items;
SqFunc<int> game_script_on_upgrade_node_clicked;
SqFunc<void> game_script_apply_upgrades;
