#pragma once
// The audio engine and its three buses: effects, interface and music. The scene
// starts them (init_audio) before the sound script and stops them after it.
#include "soloud.h"
#include "soloud_bus.h"

extern SoLoud::Soloud soloud;
extern SoLoud::Bus sfx_bus;
extern SoLoud::Bus ui_bus;
extern SoLoud::Bus music_bus;
// The buses' voices; 0 while stopped.
extern unsigned int sfx_bus_handle;
extern unsigned int ui_bus_handle;
extern unsigned int music_bus_handle;

// Starts the engine (SDL2 audio, or the null back end when the game runs headless;
// failure is fatal "error initializing SoLoud: %s (%s)" with the mixer's error text
// and the back end's reason, which is logged on the line before), plays the three
// buses, runs the sound script and applies the "music_volume" setting.
void init_audio();
// Closes the sound script, stops the buses and all voices, shuts the engine down.
void close_audio();

// The volume of a voice (the buses' handles in practice); 0 for a stale handle.
float get_bus_volume(unsigned int handle);
// Sets a voice's volume at once, without fading.
void set_bus_volume(unsigned int handle, float volume);
// The "music_volume" setting (0..10000, 10000 full) as a bus volume; values out of
// range are clamped.
float music_volume_from_setting(int setting);
