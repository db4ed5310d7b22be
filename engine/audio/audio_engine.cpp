#include "engine/audio/audio_engine.h"

#include "engine/audio/sound_events.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "platform/win32/sdl_glue.h"

// Declared in this order so that the buses are destroyed before the engine.
SoLoud::Soloud soloud;
SoLoud::Bus sfx_bus;
SoLoud::Bus ui_bus;
SoLoud::Bus music_bus;
unsigned int sfx_bus_handle = 0;
unsigned int ui_bus_handle = 0;
unsigned int music_bus_handle = 0;

float music_volume_from_setting(int setting) {
  if (setting < 0)
    setting = 0;
  if (setting > 10000)
    setting = 10000;
  return setting * 0.0001f;
}

namespace {

// The mixer's own error text says little ("Other error"): the back end's reason (SDL's
// text: no device, a driver missing) is logged and added to the message.
[[noreturn]] void fail_audio_start(SoLoud::result res) {
  const char* reason = soloud.getBackendErrorString();
  if (!reason[0])
    fatal("error initializing SoLoud: %s", soloud.getErrorString(res));
  debug("SoLoud back end: %s", reason);
  fatal("error initializing SoLoud: %s (%s)", soloud.getErrorString(res), reason);
}

}  // namespace

void init_audio() {
  debug("Initializing SoLoud...");
  // Headless runs (tests, CI, no display) have no sound device: the null back end
  // mixes nothing until asked.
  unsigned int backend = win32_headless() ? SoLoud::Soloud::NULLDRIVER : SoLoud::Soloud::XAUDIO2;
  SoLoud::result res = soloud.init(0, backend, 0, 1024, 2);
  if (res != SoLoud::SO_NO_ERROR)
    fail_audio_start(res);
  debug("SoLoud: %s, %d Hz x %d, %d", soloud.getBackendString(), (int)soloud.getBackendSamplerate(),
        (int)soloud.getBackendChannels(), (int)soloud.getBackendBufferSize());

  soloud.setMaxActiveVoiceCount(64);
  soloud.setVisualizationEnable(true);
  sfx_bus.setVisualizationEnable(true);
  ui_bus.setVisualizationEnable(true);
  music_bus.setVisualizationEnable(true);
  sfx_bus_handle = soloud.playBackground(sfx_bus);
  ui_bus_handle = soloud.playBackground(ui_bus);
  music_bus_handle = soloud.playBackground(music_bus);

  init_sound_script("sound/sound.nut");

  int music_volume = 10000;
  get_config_int("music_volume", &music_volume);
  set_bus_volume(music_bus_handle, music_volume_from_setting(music_volume));
}

void close_audio() {
  close_sound_script();
  debug("closing SoLoud");
  soloud.stop(sfx_bus_handle);
  sfx_bus_handle = 0;
  soloud.stop(ui_bus_handle);
  ui_bus_handle = 0;
  soloud.stop(music_bus_handle);
  music_bus_handle = 0;
  soloud.stopAll();
  soloud.deinit();
}

float get_bus_volume(unsigned int handle) {
  return soloud.getVolume(handle);
}

void set_bus_volume(unsigned int handle, float volume) {
  soloud.setVolume(handle, volume);
}
