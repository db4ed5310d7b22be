#pragma once
// Sound events: every sound of the game is an event id 0..53, played by the function
// that the sound script "sound/sound.nut" binds to the event's name in its `events`
// table. The script reloads while the game runs when its files change.
#include "engine/audio/sound_script_vm.h"
#include "engine/core/stats.h"

constexpr int NUM_SOUND_EVENTS = 54;

// Event names by id; id 34 is reserved and has no name (null).
extern const char* sound_event_name[NUM_SOUND_EVENTS];

extern UpdateStatsTracker soundScriptPerf;  // "sound script": the event calls
extern UpdateStatsTracker soundPerf;        // "sound": for the module's own timing

// The id whose name is exactly `name`; -1 when none.
int get_sound_event(const char* name);
// Plays an event: the voice handle its script function returned, 0 when the id is
// out of range, the event is unbound or the script failed (the error is shown).
unsigned int play_sfx_event(int id, float volume, float pan);
void play_misc_sound_event(int id);

// The VM the host drives; set before init_sound_script (null: no script runs and
// every event stays unbound).
extern SoundScriptVM* sound_script_vm;
// Starts the script side: the generator seed, the VM (failure is fatal "error
// creating sound script VM"), the script run and the binding. Script errors are
// shown on screen and the game goes on.
void init_sound_script(const char* path);
// Re-runs the script when its files changed (once a second with developer tools on).
void check_sound_script();
// Releases the bindings, frees every sound, closes the VM.
void close_sound_script();
// Binds the events to the script's `events` table; false with the error when the
// table is missing. Logs "warning: no sound for event '%s'" for each named event
// left unbound.
bool bind_sound_events(String& error);
