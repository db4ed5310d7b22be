#include "engine/audio/sound_events.h"

#include <cstring>
#include <utility>

#include "engine/audio/audio_hooks.h"
#include "engine/audio/sound_files.h"
#include "engine/audio/sound_natives.h"
#include "engine/core/error_message.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/shared/level_map.h"
#include "libs/profiler/profiler.h"

// The sound script's part of the on-screen errors.
static const char* const SOUND_SCRIPT_ERRORS = "sound script";

const char* sound_event_name[NUM_SOUND_EVENTS] = {
    "pistol_shot",           "plasma_shot",         "plasma_misfire",          "punch_swing",
    "punch_hit",             "hero_jump",           "hero_hurt",               "hero_dead",
    "game_over",             "enemy_spots_hero",    "enemy_hurt",              "enemy_dead",
    "enemy_magnet_jump",     "enemy_jump",          "enemy_shoot",             "enemy_shoot_burst",
    "enemy_charge_gun",      "enemy_flyer_change_dir", "bullet_destroys_wall", "bullet_hits_indestructible",
    "torvane_elevator",      "upgrade_screen",      "upgrade_plus",            "upgrade_minus",
    "upgrade_accept",        "start_level_z1",      "start_level_b1",          "start_level_z2",
    "start_level_b2",        "start_level_z3",      "start_level_b3",          "start_level_z4",
    "start_level_b4",        "title_screen",        nullptr,                   "new_game",
    "barrel_explode",        "bonus_heart",         "bonus_up",                "ui_hover",
    "ui_click",              "ui_release",          "ui_back",                 "boss_part_damaged",
    "boss_part_explode",     "boss_dead",           "boss1_activated",         "boss1_shoot",
    "boss1_drop_bomb",       "boss1_dying",         "boss2_activated",         "boss2_reassemble",
    "boss2_shoot",           "boss2_dying",
};

AudioHooks audio_hooks;

UpdateStatsTracker soundScriptPerf("sound script");
UpdateStatsTracker soundPerf("sound");

// The VM first, then its handles: globals are destroyed in reverse order, so every
// handle goes before the VM it refers to.
SqReloadableVM sound_script_vm;
SqFunc<int> sound_events[NUM_SOUND_EVENTS];

int get_sound_event(const char* name) {
  if (!name)
    return -1;
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    if (sound_event_name[id] && strcmp(sound_event_name[id], name) == 0)
      return id;
  return -1;
}

// Shows "<prefix><text>" as the on-screen error message, however long the text.
static void show_sound_script_error(const char* prefix, const char* text) {
  String message(prefix);
  message.insert(message.len(), text, (int)strlen(text));
  set_source_error(SOUND_SCRIPT_ERRORS, message.c_str());
}

unsigned int play_sfx_event(int id, float volume, float pan) {
  PROFILE_BLOCK("play_sfx_event", 0xfff44336);
  // Out of range (negative ids too) or the reserved id without a name: nothing.
  if ((unsigned int)id >= (unsigned int)NUM_SOUND_EVENTS || !sound_event_name[id])
    return 0;
  soundScriptPerf.start();
  if (audio_hooks.log_sound_event)
    audio_hooks.log_sound_event(id);
  soundScriptPerf.stop();
  SqFunc<int>& event = sound_events[id];
  if (event.isNull())
    return 0;

  soundScriptPerf.start();
  try {
    int voice = event(volume, pan);
    soundScriptPerf.stop();
    return (unsigned int)voice;
  } catch (const sqbind::SquirrelError& e) {
    soundScriptPerf.stop();
    TempString<128> prefix;
    prefix.format("Error in sound script [%s]:\n", sound_event_name[id]);
    show_sound_script_error(prefix, e.message);
    return 0;
  }
}

void play_misc_sound_event(int id) {
  play_sfx_event(id, 1.0f, 0.0f);
}

void release_sound_events() {
  for (SqFunc<int>& event : sound_events)
    event.reset();
}

void bind_sound_events() {
  release_sound_events();
  HSQUIRRELVM vm = sound_script_vm.getVM();
  sq_pushroottable(vm);
  sq_pushstring(vm, "events", -1);
  if (SQ_FAILED(sq_get(vm, -2))) {
    sq_poptop(vm);
    debug("getGlobal '%s' failed", "events");
    throw sqbind::SquirrelError(vm);
  }
  sqbind::SqObject events = sqbind::get_and_pop_object(vm, -1);
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    if (sound_event_name[id])
      sound_events[id].bind(vm, events.obj, sound_event_name[id]);
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    if (sound_event_name[id] && sound_events[id].isNull())
      debug("warning: no sound for event '%s'", sound_event_name[id]);
}

static void report_missing_sound_files() {
  if (missing_sound_files > 0) {
    TempString<64> message;
    message.format("%d missing sound files", missing_sound_files);
    set_source_error(SOUND_SCRIPT_ERRORS, message);
  }
}

// Runs the script (the file given, or every recorded file again, forced) and binds
// the events; errors go on screen. A native's error unwinds out of the run: the VM's
// stack is put back to where it was.
static void run_sound_script(const char* path) {
  missing_sound_files = 0;
  HSQUIRRELVM vm = sound_script_vm.getVM();
  SQInteger top = sq_gettop(vm);
  try {
    bool ok = path ? sound_script_vm.include(path) : sound_script_vm.reload(true);
    if (!ok)
      throw sqbind::SquirrelError(vm);
    bind_sound_events();
    report_missing_sound_files();
  } catch (const sqbind::SquirrelError& e) {
    sq_settop(vm, top);
    show_sound_script_error("Error in sound script:\n", e.message);
  }
}

void open_sound_script_vm(SqReloadableVM& vm) {
  if (!vm.init(1024))
    fatal("error creating sound script VM");
  register_sound_natives(vm.getVM());
}

void init_sound_script(const char* path) {
  sound_rnd_seed = game_rnd_seed;
  // Handles bound in an earlier VM let go of it before it closes.
  release_sound_events();
  open_sound_script_vm(sound_script_vm);
  run_sound_script(path);
}

// What plays while a reload is tried: the VM with its file records, its sounds and
// the state the script's run may change.
struct PlayingScript {
  HSQUIRRELVM vm = nullptr;
  DynArray<SqReloadableVM::LoadedFile> files;
  SoundSet sounds;
  int missing = 0;
  uint64_t rnd = 0;
};

static PlayingScript set_playing_script_aside() {
  PlayingScript old;
  old.vm = sound_script_vm.vm;
  old.files = std::move(sound_script_vm.files);
  sound_script_vm.vm = nullptr;
  old.sounds = set_sounds_aside();
  old.missing = missing_sound_files;
  old.rnd = sound_rnd_seed;
  return old;
}

// The tried run failed: its VM and sounds go and the old ones play on. The events
// are bound to the old script again when the failed run had let them go.
static void restore_playing_script(PlayingScript& old, bool rebind) {
  sound_script_vm.close();
  sound_script_vm.vm = old.vm;
  sound_script_vm.files = std::move(old.files);
  restore_sounds(old.sounds);
  missing_sound_files = old.missing;
  sound_rnd_seed = old.rnd;
  if (!rebind)
    return;
  // The old script bound its events before; when it never could, they stay silent
  // and the new error stays on screen.
  SQInteger top = sq_gettop(old.vm);
  try {
    bind_sound_events();
  } catch (const sqbind::SquirrelError&) {
    sq_settop(old.vm, top);
  }
}

// Every recorded file is run anew, in its order; a file that an earlier one
// included has run already.
static void rerun_sound_files(const DynArray<SqReloadableVM::LoadedFile>& files) {
  for (const SqReloadableVM::LoadedFile& f : files)
    if (!sound_script_vm.include(f.name.c_str()))
      throw sqbind::SquirrelError(sound_script_vm.getVM());
}

// The changed script runs in a fresh VM, with the sounds in use set aside: only a
// run that binds the events replaces what plays. A broken script shows its error
// and the old one plays on until the file is mended.
void check_sound_script() {
  if (!sound_script_vm.getVM() || !sound_script_vm.filesChanged())
    return;
  set_source_error(SOUND_SCRIPT_ERRORS, nullptr);
  PlayingScript old = set_playing_script_aside();
  open_sound_script_vm(sound_script_vm);
  missing_sound_files = 0;
  bool binding = false;
  try {
    rerun_sound_files(old.files);
    binding = true;
    bind_sound_events();
    report_missing_sound_files();
  } catch (const sqbind::SquirrelError& e) {
    // The text lives in the tried VM: shown before that closes.
    show_sound_script_error("Error in sound script:\n", e.message);
    restore_playing_script(old, binding);
    return;
  }
  free_sounds(old.sounds);
  sqbind::close_vm(old.vm);
}

void close_sound_script() {
  release_sound_events();
  free_all_sounds();
  sound_script_vm.close();
}
