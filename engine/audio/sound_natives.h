#pragma once
// The natives of the sound script, as plain functions, and their registration in a
// script VM. Registration order: load_sample, load_music (sound_files.h), play_sfx,
// play_ui, play_music, fade_out_and_stop, game_rnd. Sounds pass as checked ids, so a
// script holding an id from before a reload plays nothing.
#include <cstdint>

#include <squirrel.h>

#include "engine/audio/sound_files.h"

// The state of game_rnd, copied from the game's generator when the script starts.
extern uint64_t sound_rnd_seed;

// Plays a sample on the effects bus at its own volume times `volume`; 0 for no sample.
unsigned int play_sfx(SoundId sample, float volume, float pan);
// Plays a sample on the interface bus, both speakers at full; 0 for no sample.
unsigned int play_ui(SoundId sample, float volume);
// Plays music on the music bus, both speakers at full, protected from voice stealing.
unsigned int play_music(SoundId stream);
// Fades a voice to silence over `milliseconds` and stops it then. Values that are
// no voice handle are ignored.
void fade_out_and_stop(int64_t voice, float milliseconds);
// The next number, 0..2147483647, of the script's own xorshift64* generator.
int game_rnd();

// Defines the seven natives in the VM's root table. In the script a sound is its id
// (an integer) or null; a value of another type throws sqbind::SquirrelError
// "sq_get*() failed (type error)" out of the script call.
void register_sound_natives(HSQUIRRELVM vm);
