// The engine's global objects, defined together so that their construction order
// (and so the reverse order of their destruction at exit, after main returns or
// after fatal's exit(100)) is fixed: C++ orders construction only within one
// translation unit. Each subsystem keeps its own ordered run of definitions in
// one file of its own; the order across the program, as the runs must follow:
//
//   object lists; host GUI globals (gui_batch, default_font, common_style,
//   hud_style, tooltip_style); level coordinate lists; tile lists; GUI runtime
//   queues and registry, soundPerf, batch states, deleted_gameobjs,
//   game_script_vm, then the seven game-script handles; sound_script_vm and the
//   two audio lists; proximity; the mode objects; debris; sprite globals; level
//   renderer transforms; scanPerf, tracePerf; scene globals (free_cam_pos,
//   camera_ofs, light_dir, the three matrices, soloud, then sfx_bus, ui_bus,
//   music_bus, then sound_events); soundScriptPerf; periodicPerf; log globals
//   (mutex, then history: engine/core/log.cpp); settings records; visual-log
//   lines and error-message text (engine/gui/visual_log.cpp); common_vb_writer;
//   font globals; update_stats_trackers; the module's source list; texture and
//   mesh pools; changed-file and watcher lists; shader table; Steam callback
//   list; physfsPerf.
//
// What destruction relies on, and each run must keep: game_script_vm before its
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
