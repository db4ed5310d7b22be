// Linking the game-object module: its 98 entry points are looked up by name into
// gameobj_func_table, its class tables replace the host's copy (re-pointing every
// live object), and link_gui fills the screen factories. Unlinking empties the table
// and drops what the module's screens and styles hold before the code goes away.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/utils.h"
#include "engine/gui/gui_host.h"
#include "engine/gui/gui_screen.h"
#include "engine/gui/gui_style.h"
#include "engine/world/gameobj_host.h"
#include "platform/win32/dynamic_library.h"

void* gameobj_vtables[GAMEOBJ_VTABLE_COUNT];
void* gameobj_module = nullptr;
char gameobj_module_path[260];

// ---- the screen pairs ---------------------------------------------------------------
#define GAMEOBJ_DEFINE_SCREEN(name)                    \
  BaseGuiScreen* name = nullptr;                       \
  BaseGuiScreen* (*name##_Class::createScreen)() = nullptr;
GAMEOBJ_HOST_SCREEN_NAMES(GAMEOBJ_DEFINE_SCREEN)
#undef GAMEOBJ_DEFINE_SCREEN

namespace {

struct ScreenPair {
  BaseGuiScreen* (**factory)();
  BaseGuiScreen** instance;
};

const ScreenPair screen_pairs[GAMEOBJ_SCREEN_COUNT] = {
#define GAMEOBJ_SCREEN_PAIR(name) {&name##_Class::createScreen, &name},
    GAMEOBJ_SCREEN_NAMES(GAMEOBJ_SCREEN_PAIR)
#undef GAMEOBJ_SCREEN_PAIR
};

void** entry_slots_mut() { return reinterpret_cast<void**>(&gameobj_func_table); }

// Every object the host knows of: the class lists, then the deletion queue.
template <class F>
void for_each_listed_object(F&& visit) {
#define GAMEOBJ_VISIT_LIST(name)                    \
  for (int i = 0; i < name##_list.size(); i++)      \
    visit(reinterpret_cast<BaseObject*>(name##_list[i]));
  GAMEOBJ_LIST_NAMES(GAMEOBJ_VISIT_LIST)
#undef GAMEOBJ_VISIT_LIST
  for (int i = 0; i < deleted_gameobjs.size(); i++)
    visit(deleted_gameobjs[i]);
}

void*& vtable_of(BaseObject* obj) { return *reinterpret_cast<void**>(obj); }

// Index 1..45 of a class table in the host's copy; -1 when absent.
int vtable_index(void* vtable) {
  for (int i = 1; i < GAMEOBJ_VTABLE_COUNT; i++)
    if (gameobj_vtables[i] == vtable)
      return i;
  return -1;
}

// Gives an object the new module's class table of its class. An object standing in two
// lists (or also queued) is re-pointed once: the relink mark tells the second visit to
// leave it. Its table still points into the module just unloaded, whose type
// information went with it, so the sanitizer's dynamic-type check cannot apply.
__attribute__((no_sanitize("vptr"))) void relink_object(BaseObject* obj, void** vtables) {
  if (obj->flags & OBJ_RELINKING)
    return;
  obj->flags |= OBJ_RELINKING;
  vtable_of(obj) = vtables[find_gameobj_vtable_index(vtable_of(obj))];
}

// The GUI runtime reaches the module's tooltip through these while one is linked.
void forward_hide_tooltip() {
  if (gameobj_func_table.hide_tooltip)
    gameobj_func_table.hide_tooltip();
}
void forward_show_tooltip(const String* text, __m128 box) {
  if (gameobj_func_table.show_tooltip)
    gameobj_func_table.show_tooltip(const_cast<String*>(text), box);
}

}  // namespace

void* get_gameobj_func_or_fatal(GetGameObjFuncByNameFn lookup, const char* name) {
  void* fn = lookup(name);
  if (!fn)
    fatal("no \"%s\" function in gameobj.so", name);
  return fn;
}

int find_gameobj_vtable_index(void* vtable) {
  int i = vtable_index(vtable);
  if (i < 0)
    fatal("cannot find object vtable");
  return i;
}

void link_gameobj_dll(void* module) {
  auto lookup = (GetGameObjFuncByNameFn)get_proc_address(module, "get_gameobj_func_by_name");
  auto get_vtables = (GetGameObjVtablesFn)get_proc_address(module, "get_gameobj_vtables");
  if (!lookup || !get_vtables)
    fatal("invalid gameobj.so");

  void** slots = entry_slots_mut();
  for (int i = 0; i < GAMEOBJ_FUNC_COUNT; i++)
    slots[i] = gameobj_func_names[i] ? get_gameobj_func_or_fatal(lookup, gameobj_func_names[i]) : nullptr;

  int count = 0;
  void** vtables = get_vtables(&count);
  if (count != GAMEOBJ_VTABLE_COUNT)
    fatal("gameobj classes changed, need restart");

  for_each_listed_object([&](BaseObject* obj) { relink_object(obj, vtables); });
  for_each_listed_object([](BaseObject* obj) { obj->flags &= ~OBJ_RELINKING; });

  for (int i = 0; i < GAMEOBJ_VTABLE_COUNT; i++)
    gameobj_vtables[i] = vtables[i];

  auto link_gui = (LinkGuiFn)get_gameobj_func_or_fatal(lookup, "link_gui");
  link_gui();
}

void unlink_gameobj_dll() {
  void** slots = entry_slots_mut();
  for (int i = 0; i < GAMEOBJ_FUNC_COUNT; i++)
    slots[i] = nullptr;

  // The screens' code goes away with the module: close them, let the drain below
  // delete them, and forget every pointer to them.
  for (const ScreenPair& pair : screen_pairs) {
    if (BaseGuiScreen* screen = *pair.instance) {
      if (cur_game_screen == screen)
        cur_game_screen = nullptr;
      screen->destroy();
      *pair.instance = nullptr;
    }
    *pair.factory = nullptr;
  }
  cur_game_screen = nullptr;
  destroy_queued_gui_elements();

  common_style.clear();
  hud_style.clear();
  tooltip_style.clear();
}

void on_gui_element_destroyed(BaseGuiElement* element) {
  if (!element)
    return;
  for (const ScreenPair& pair : screen_pairs)
    if (BaseGuiScreen* screen = *pair.instance)
      screen->elementDestroyed(element);
}

bool load_gameobj_dll(const char* file_name) {
  TempString<260> path = make_full_path(file_name);
  snprintf(gameobj_module_path, sizeof(gameobj_module_path), "%s", path.str);
  gameobj_module = load_library(gameobj_module_path);
  if (!gameobj_module) {
    const char* why = library_error();
    debug("cannot load %s: %s", gameobj_module_path, why ? why : "unknown error");
    return false;
  }
  symhlp_load(gameobj_module_path, 0, 0);
  link_gameobj_dll(gameobj_module);
  gui_host.hide_tooltip = forward_hide_tooltip;
  gui_host.show_tooltip = forward_show_tooltip;
  return true;
}

void unload_gameobj_dll() {
  if (!gameobj_module)
    return;
  unlink_gameobj_dll();
  symhlp_unload(gameobj_module_path, 0);
  free_library(gameobj_module);
  gameobj_module = nullptr;
}

// A copy of the file at a name of its own beside it ("<path>.check.<pid>.<n>"): the
// loader hands back an image already loaded under a name instead of reading the file
// again, so a candidate checked under its own name could be an older build. False
// when the copy cannot be made whole.
static bool copy_to_unique_name(const char* path, char* copy, int size) {
  static int copies = 0;
  if (snprintf(copy, size, "%s.check.%d.%d", path, (int)getpid(), ++copies) >= size)
    return false;
  int in = open(path, O_RDONLY | O_CLOEXEC);
  if (in < 0)
    return false;
  int out = open(copy, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0700);
  bool ok = out >= 0;
  char buffer[65536];
  while (ok) {
    ssize_t n = read(in, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t w = write(out, buffer + done, n - done);
      if (w < 0 && errno == EINTR)
        continue;
      ok = w > 0;
      done += ok ? w : 0;
    }
  }
  close(in);
  if (out >= 0 && close(out) != 0)
    ok = false;
  if (!ok && out >= 0)
    unlink(copy);
  return ok;
}

// False when both modules report their classes' layouts and one differs; a module
// that does not report them is taken on its class count alone.
static bool same_class_layouts(void* loaded, void* candidate) {
  auto old_layouts = loaded ? (GetGameObjClassLayoutsFn)get_proc_address(loaded, "get_gameobj_class_layouts") : nullptr;
  auto new_layouts = (GetGameObjClassLayoutsFn)get_proc_address(candidate, "get_gameobj_class_layouts");
  if (!old_layouts || !new_layouts)
    return true;
  int old_count = 0, new_count = 0;
  const GameObjClassLayout* a = old_layouts(&old_count);
  const GameObjClassLayout* b = new_layouts(&new_count);
  if (old_count != new_count || !a || !b)
    return false;
  for (int i = 1; i < old_count; i++)
    if (a[i].size != b[i].size || a[i].align != b[i].align)
      return false;
  return true;
}

// "cannot be loaded" with the dynamic loader's reason (the symbol it could not find,
// ...), without the copy's name in front of it: that file is gone already.
static const char* cannot_load(const char* copy) {
  const char* why = library_error();
  if (!why)
    return "cannot be loaded";
  size_t n = strlen(copy);
  if (strncmp(why, copy, n) == 0 && strncmp(why + n, ": ", 2) == 0)
    why += n + 2;
  static char text[600];
  snprintf(text, sizeof(text), "cannot be loaded: %s", why);
  return text;
}

const char* check_gameobj_module(const char* path) {
  char copy[300];
  if (!copy_to_unique_name(path, copy, sizeof(copy)))
    return "cannot be loaded";
  void* module = load_library(copy);
  const char* refused = module ? nullptr : cannot_load(copy);
  unlink(copy);  // the loaded image stays mapped
  if (refused)
    return refused;
  const char* problem = nullptr;
  auto lookup = (GetGameObjFuncByNameFn)get_proc_address(module, "get_gameobj_func_by_name");
  auto get_vtables = (GetGameObjVtablesFn)get_proc_address(module, "get_gameobj_vtables");
  if (!lookup || !get_vtables) {
    problem = "invalid module";
  } else {
    static char missing[64];
    for (int i = 0; i < GAMEOBJ_FUNC_COUNT && !problem; i++)
      if (gameobj_func_names[i] && !lookup(gameobj_func_names[i])) {
        snprintf(missing, sizeof(missing), "no \"%s\" function", gameobj_func_names[i]);
        problem = missing;
      }
    if (!problem && !lookup("link_gui"))
      problem = "no \"link_gui\" function";
    int count = 0;
    if (!problem && (get_vtables(&count), count != GAMEOBJ_VTABLE_COUNT))
      problem = "gameobj classes changed, need restart";
    if (!problem && !same_class_layouts(gameobj_module, module))
      problem = "gameobj classes changed, need restart";
  }
  if (!problem)
    for_each_listed_object([&](BaseObject* obj) {
      if (vtable_index(vtable_of(obj)) < 0)
        problem = "cannot find object vtable";
    });
  free_library(module);
  return problem;
}
