#include "engine/audio/sound_natives.h"

#include "engine/audio/audio_engine.h"
#include "soloud_wav.h"
#include "soloud_wavstream.h"

uint64_t sound_rnd_seed = 0;

// The mixer reads a negative volume as "the sample's own": a script's negative
// volume means silence instead.
static float non_negative(float volume) {
  return volume > 0.0f ? volume : 0.0f;
}

unsigned int play_sfx(SoundId sample, float volume, float pan) {
  SoLoud::Wav* wav = get_sample(sample);
  if (!wav)
    return 0;
  return sfx_bus.play(*wav, non_negative(wav->mVolume * volume), pan, false);
}

unsigned int play_ui(SoundId sample, float volume) {
  SoLoud::Wav* wav = get_sample(sample);
  if (!wav)
    return 0;
  unsigned int voice = ui_bus.play(*wav, non_negative(wav->mVolume * volume), 0.0f, false);
  soloud.setPanAbsolute(voice, 1.0f, 1.0f);
  return voice;
}

unsigned int play_music(SoundId stream) {
  SoLoud::WavStream* music = get_music(stream);
  if (!music)
    return 0;
  unsigned int voice = music_bus.play(*music, 1.0f, 0.0f, false);
  soloud.setPanAbsolute(voice, 1.0f, 1.0f);
  soloud.setProtectVoice(voice, true);
  return voice;
}

void fade_out_and_stop(int64_t voice, float milliseconds) {
  if (voice <= 0 || voice > (int64_t)UINT32_MAX)
    return;
  double seconds = milliseconds * 0.001;
  soloud.fadeVolume((unsigned int)voice, 0.0f, seconds);
  soloud.scheduleStop((unsigned int)voice, seconds);
}

int game_rnd() {
  uint64_t s = sound_rnd_seed;
  s ^= s >> 12;
  s ^= s << 25;
  s ^= s >> 27;
  sound_rnd_seed = s;
  return (int)((uint32_t)(s * 0x2545F4914F6CDD1DULL) & 0x7fffffffu);
}
