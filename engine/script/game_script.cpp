// The bridge between the engine and the game script's entry functions.
#include "engine/script/game_script.h"

#include "engine/core/error_message.h"
#include "engine/core/log.h"
#include "engine/gui/gui_screen.h"
#include "engine/script/sq_perf_timer.h"
#include "engine/script/sq_vec4f.h"
#include "engine/shared/game_state.h"
#include "engine/shared/gameobj_funcs.h"

using sqbind::SqObject;
using sqbind::SquirrelError;

BaseGuiScreen* upgrade_screen = nullptr;
BaseGuiScreen* (*upgrade_screen_Class::createScreen)() = nullptr;

// The game script's part of the on-screen errors.
static const char* const GAME_SCRIPT_ERRORS = "game script";

// Runs `call`; a script error becomes the on-screen message and the game goes on.
template <class F>
static bool guarded(F&& call) {
  try {
    call();
    return true;
  } catch (const SquirrelError& e) {
    TempString<1024> text;
    snprintf(text.str, sizeof(text.str), "Error in game script:\n%s", e.message);
    set_source_error(GAME_SCRIPT_ERRORS, text);
    return false;
  }
}

void bind_game_script_functions() {
  HSQUIRRELVM vm = game_script_vm.getVM();
  game_script_reset_game.bind(vm, "reset_game");
  game_script_on_torvane.bind(vm, "on_torvane");
  game_script_get_upgrade_tree.bind(vm, "get_upgrade_tree");
  game_script_get_upgrade_node.bind(vm, "get_upgrade_node");
  game_script_get_upgrade_items.bind(vm, "get_upgrade_items");
  game_script_on_upgrade_node_clicked.bind(vm, "on_upgrade_node_clicked");
  game_script_apply_upgrades.bind(vm, "apply_upgrades");
}

// The entry functions hold references into the VM: they go before it closes.
static void release_game_script_functions() {
  game_script_reset_game.reset();
  game_script_on_torvane.reset();
  game_script_get_upgrade_tree.reset();
  game_script_get_upgrade_node.reset();
  game_script_get_upgrade_items.reset();
  game_script_on_upgrade_node_clicked.reset();
  game_script_apply_upgrades.reset();
}

// A second start without a close closes the running VM first (init does), after its
// handles are released.
void init_game_script() {
  release_game_script_functions();
  if (!game_script_vm.init(1024))
    fatal("error creating script VM");
  HSQUIRRELVM vm = game_script_vm.getVM();
  guarded([vm] {
    register_vec4f_bindings(vm);
    register_perf_timer_bindings(vm);
    gameobj_func_table.bind_gameobj(vm);
    if (!game_script_vm.include("script/main.nut"))
      throw SquirrelError(vm);
    bind_game_script_functions();
  });
}

// Drops the upgrade screen; makes a new one current when it was the current screen.
static void rebuild_upgrade_screen() {
  BaseGuiScreen* s = upgrade_screen;
  bool was_current = cur_game_screen == s;
  if (was_current)
    gameobj_func_table.set_game_ui_screen(nullptr);
  if (upgrade_screen) {
    upgrade_screen->destroy();
    upgrade_screen = nullptr;
  }
  // The factory slot is empty while no module is linked: no screen then.
  if (was_current)
    gameobj_func_table.set_game_ui_screen(upgrade_screen_Class::createScreen ? upgrade_screen_Class::createScreen()
                                                                            : nullptr);
}

void check_game_script() {
  if (!game_script_vm.filesChanged())
    return;
  set_source_error(GAME_SCRIPT_ERRORS, nullptr);
  guarded([] {
    debug("--- reloading game script ---");
    if (!game_script_vm.reload(true))
      throw SquirrelError(game_script_vm.getVM());
    bind_game_script_functions();
  });
  reset_game_script();
  game_script_torvane();
  rebuild_upgrade_screen();
}

void close_game_script() {
  release_game_script_functions();
  game_script_vm.close();
}

void reset_game_script() {
  if (!game_script_reset_game.isNull())
    guarded([] { game_script_reset_game(); });
}

void game_script_torvane() {
  if (!game_script_on_torvane.isNull())
    guarded([] { game_script_on_torvane(cur_level, up_points); });
}

void game_script_after_gameobj_reload() {
  guarded([] { gameobj_func_table.bind_gameobj(game_script_vm.getVM()); });
}

void apply_upgrades() {
  if (!game_script_apply_upgrades.isNull())
    guarded([] { game_script_apply_upgrades(); });
}

// The result of an object-returning entry; a null object when unbound or failed.
template <class F>
static SqObject object_call(SqFunc<SqObject>& fn, F&& call) {
  SqObject result;
  if (fn.isNull())
    return result;
  if (!guarded([&] { result = call(); }))
    result = SqObject();
  return result;
}

SqObject get_upgrade_tree() {
  return object_call(game_script_get_upgrade_tree, [] { return game_script_get_upgrade_tree(); });
}

SqObject get_upgrade_node(const char* name) {
  return object_call(game_script_get_upgrade_node, [name] { return game_script_get_upgrade_node(name); });
}

SqObject get_upgrade_items() {
  return object_call(game_script_get_upgrade_items, [] { return game_script_get_upgrade_items(); });
}

int on_upgrade_node_clicked(const char* name, int n) {
  if (game_script_on_upgrade_node_clicked.isNull())
    return 0;
  int result = 0;
  if (!guarded([&] { result = game_script_on_upgrade_node_clicked(name, n); }))
    result = 0;
  return result;
}

HSQUIRRELVM get_world_script_vm() { return game_script_vm.getVM(); }

SqObject get_savegame_globals() {
  HSQUIRRELVM vm = game_script_vm.getVM();
  ASSERT(vm);
  sq_newtable(vm);
  SqObject table(vm, -1);
  sq_poptop(vm);
  return table;
}

SqObject load_data(InputStream&, HSQUIRRELVM) { return SqObject(); }
SqObject load_ref(InputStream&, HSQUIRRELVM) { return SqObject(); }
SqObject load_script_data(InputStream&, HSQUIRRELVM) { return SqObject(); }
void finish_loading_script_data(HSQUIRRELVM) {}
void save_data(const SqObject&, OutputStream&) {}
void save_ref(SqObject, OutputStream&) {}
void save_script_data(SqObject, OutputStream&) {}
void save_script_refs(OutputStream&) {}
