#pragma once
// The game script ("script/main.nut"): its VM with the vector, timer and module
// bindings, the seven entry functions bound by name, guarded calls into them and
// the hot reload. A script error is shown as "Error in game script:\n%s" and the
// game goes on; only a VM that cannot be opened is fatal.
#include "engine/script/sq_reloadable_vm.h"
#include "engine/script/sqbind.h"

class BaseGuiScreen;
class InputStream;
class OutputStream;

// The module's upgrade screen (null when none) and the factory slot that makes a
// new one. They live here, with the script reload that rebuilds the screen; the
// game-object host above fills and empties the slot with the other screens'.
extern BaseGuiScreen* upgrade_screen;
struct upgrade_screen_Class {
  static BaseGuiScreen* (*createScreen)();
};

extern SqFunc<void> game_script_reset_game;
extern SqFunc<void> game_script_on_torvane;
extern SqFunc<sqbind::SqObject> game_script_get_upgrade_tree;
extern SqFunc<sqbind::SqObject> game_script_get_upgrade_node;
extern SqFunc<sqbind::SqObject> game_script_get_upgrade_items;
extern SqFunc<int> game_script_on_upgrade_node_clicked;
extern SqFunc<void> game_script_apply_upgrades;

void init_game_script();
void check_game_script();
void close_game_script();
void reset_game_script();
void game_script_torvane();
void game_script_after_gameobj_reload();
void bind_game_script_functions();

void apply_upgrades();
sqbind::SqObject get_upgrade_tree();
sqbind::SqObject get_upgrade_node(const char* name);
sqbind::SqObject get_upgrade_items();
int on_upgrade_node_clicked(const char* name, int n);
HSQUIRRELVM get_world_script_vm();
sqbind::SqObject get_savegame_globals();

// Persistence entry points: no save format exists; they read and write nothing.
sqbind::SqObject load_data(InputStream& stream, HSQUIRRELVM vm);
sqbind::SqObject load_ref(InputStream& stream, HSQUIRRELVM vm);
sqbind::SqObject load_script_data(InputStream& stream, HSQUIRRELVM vm);
void finish_loading_script_data(HSQUIRRELVM vm);
void save_data(const sqbind::SqObject& obj, OutputStream& stream);
void save_ref(sqbind::SqObject obj, OutputStream& stream);
void save_script_data(sqbind::SqObject obj, OutputStream& stream);
void save_script_refs(OutputStream& stream);
