// The engine core's global objects. C++ orders construction only within one
// translation unit, so globals that depend on one another are defined in one file, in
// order. Across files, construction follows the executable's link line, and
// destruction at exit (after main returns or after fatal's exit(100)) runs the other
// way. The link line holds the libraries, then the platform layers, then the engine's
// subsystems, in the order of the layer table (the top CMakeLists.txt's one list of
// folders), each with its files in name order:
//
//   profiler; Steam layer; win32 layer (messages, system, window); Direct3D layer;
//   engine core: error_message (the on-screen error message), fatal, this file
//   (settings records, the tracker list, changed-file and watcher lists,
//   physfsPerf), log (its mutex, then its history), utils;
//   renderer (shader table, common_vb_writer, named textures); GUI (behaviours,
//   queues and registry, signals, styles, then the visual-log lines); script bridge
//   (engine/script/globals.cpp: game_script_vm, then its seven handles); level
//   generation (coordinate lists, placements, tiles); world (the module's source
//   list, debris, the object lists and deleted_gameobjs, proximity); audio (soloud,
//   then sfx_bus, ui_bus and music_bus; sound files; sound_script_vm, then
//   sound_events); shell (main loop, Steam glue).
//
// So the core's globals, the log among them, are made before and destroyed after
// those of every subsystem that follows it.
//
// What destruction relies on, and each file must keep: game_script_vm before its
// handles, sound_script_vm before sound_events, soloud before its buses (so each
// SqFunc dies before its VM and the buses before soloud), and the tracker list
// freed while the trackers themselves, which have no destructor, stay valid.
// No constructor here reads another global.
#include "engine/core/settings.h"
#include "engine/core/stats.h"
#include "engine/core/stream.h"
#include "engine/core/watch.h"

// ---- engine core: settings --------------------------------------------------
DynArray<SettingRecord> setting_records;

// ---- engine core: update-statistics trackers ------------------------------------
DynArray<UpdateStatsTracker*> update_stats_trackers;

// ---- engine core: directory watching ----------------------------------------------
DynArray<String> changed_files;
DynArray<DirWatch*> dir_watches;

// ---- engine core: virtual-file-system timing -------------------------------------
UpdateStatsTracker physfsPerf("physfs timing");
