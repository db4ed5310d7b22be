#pragma once
// The game-object module host: loads "gameobj.so" beside the executable, links its
// 98 entry points by name into gameobj_func_table, re-points live objects to the new
// class tables after a reload, and rebuilds the module from its sources while the
// game runs.
#include <cstdint>

#include "engine/core/dynarray.h"
#include "engine/core/strings.h"
#include "engine/gui/gui_element.h"
#include "engine/world/gameobj_api.h"

// The host's copy of the module's class-table list (all null before the first link).
extern void* gameobj_vtables[GAMEOBJ_VTABLE_COUNT];

// The loaded module, null while none is loaded, and its absolute path.
extern void* gameobj_module;
extern char gameobj_module_path[260];

// Start-up and shut-down (the scene's). Shut-down ends a running rebuild and waits for it.
void init_gameobj_dll(const char* source_dir, const char* main_file);
void close_gameobj_dll();

// Loads `file_name` (made absolute under the program's folder) and links it; false
// when the file cannot be loaded.
bool load_gameobj_dll(const char* file_name);
void link_gameobj_dll(void* module);
void unlink_gameobj_dll();
void unload_gameobj_dll();

// The module's lookup with a null answer fatal: "no \"%s\" function in gameobj.so".
void* get_gameobj_func_or_fatal(GetGameObjFuncByNameFn lookup, const char* name);
// The index 1..45 of a class table in gameobj_vtables; fatal when absent.
int find_gameobj_vtable_index(void* vtable);

// Tells every live screen that a GUI element was destroyed; null does nothing.
void on_gui_element_destroyed(BaseGuiElement* element);

// Why a module file cannot stand in for the loaded one; null when it can: it loads
// (else the dynamic loader's reason follows "cannot be loaded"),
// it has both exports, every entry point and link_gui, 46 class tables whose classes
// have the loaded module's sizes and alignments (when both report them), and every
// live object's class table is known to the host. The file is loaded from a copy under
// a name of its own, so that an image already loaded under `path` cannot answer.
const char* check_gameobj_module(const char* path);

// ---- rebuild and reload ------------------------------------------------------------

struct GameObjSourceFile {
  String path;    // absolute
  int64_t time;   // get_file_time when listed; 0 when unknown
};

extern DynArray<GameObjSourceFile> gameobj_source_files;
extern char gameobj_source_dir[260];
extern char gameobj_main_file[260];

// Lists a source and, recursively, what its "import " lines name.
void add_gameobj_source_file(const char* path);
int find_gameobj_source_file(const char* abs_path);
void clear_gameobj_source_files();
bool gameobj_sources_changed();
// Starts a rebuild or advances the running one; true while one runs.
bool poll_gameobj_rebuild();
bool gameobj_rebuild_running();
bool line_has_error_word(const char* text);
// Polls the rebuild and swaps a freshly built module in; true when it did.
bool reload_gameobj(bool force);
