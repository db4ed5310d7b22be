#pragma once
// Sound events: every sound of the game is an event id 0..53, played by the function
// that the sound script "sound/sound.nut" binds to the event's name in its `events`
// table. The script runs in a reloadable VM of its own and is run again, its sounds
// loaded anew and the events bound again, when its files change.
#include "engine/core/stats.h"
#include "engine/script/sq_reloadable_vm.h"
#include "engine/script/sqbind.h"

constexpr int NUM_SOUND_EVENTS = 54;

// Event names by id; id 34 is reserved and has no name (null).
extern const char* sound_event_name[NUM_SOUND_EVENTS];

extern UpdateStatsTracker soundScriptPerf;  // "sound script": the event calls
extern UpdateStatsTracker soundPerf;        // "sound": for the module's own timing

// The sound script's VM, and one handle per event id: called with the `events` table
// as this and (volume, pan), returning a voice handle. The reserved id is never bound.
extern SqReloadableVM sound_script_vm;
extern SqFunc<int> sound_events[NUM_SOUND_EVENTS];

// The id whose name is exactly `name`; -1 when none.
int get_sound_event(const char* name);
// Plays an event: the voice handle its script function returned, 0 when the id is
// out of range, the event is unbound or the script failed (the error is shown).
unsigned int play_sfx_event(int id, float volume, float pan);
void play_misc_sound_event(int id);

// Starts the script side: the generator seed, the VM (failure is fatal "error
// creating sound script VM"), the natives, the script run and the binding. Script
// errors are shown on screen and the game goes on.
void init_sound_script(const char* path);
// Opens `vm` with a stack of 1024 and the sound natives; failure is fatal.
void open_sound_script_vm(SqReloadableVM& vm);
// Runs the script again when its files changed (once a second with developer tools
// on), in a fresh VM with fresh sounds; they replace the playing ones only when the
// run binds the events, else the error shows and the old script plays on.
void check_sound_script();
// Releases the bindings, frees every sound, closes the VM.
void close_sound_script();
// Binds the events to the script's `events` table, logging "warning: no sound for
// event '%s'" for each named event left unbound. Without the table it logs
// "getGlobal 'events' failed" and throws sqbind::SquirrelError with the VM's error.
void bind_sound_events();
// Releases every event handle (closure and table reference).
void release_sound_events();
