#include "engine/audio/sound_natives.h"

#include "engine/audio/audio_engine.h"
#include "engine/script/sqbind.h"
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

// ---- the script's view ------------------------------------------------------------

namespace {

using sqbind::SqObject;

// An integer argument read whole (voice handles use all 32 bits).
int64_t integer_arg(const SqObject& value) {
  if (value.obj._type != OT_INTEGER)
    throw sqbind::SquirrelError(sqbind::type_error_text);
  return value.obj._unVal.nInteger;
}

// A sound argument: null is no sound, an integer an id (checked by the players).
SoundId sound_arg(const SqObject& value) {
  if (value.isNull())
    return 0;
  int64_t id = integer_arg(value);
  return (id < INT32_MIN || id > INT32_MAX) ? -1 : (SoundId)id;
}

// A loaded sound as the script sees it: its id, or null when it failed to load.
SqObject sound_value(HSQUIRRELVM v, SoundId id) {
  if (!id)
    return SqObject();
  sq_pushinteger(v, id);
  SqObject value(v, -1);
  sq_poptop(v);
  return value;
}

SqObject script_load_sample(HSQUIRRELVM v, const char* path, float volume) {
  return sound_value(v, load_sample(path, volume));
}

SqObject script_load_music(HSQUIRRELVM v, const char* path, float loop_point) {
  return sound_value(v, load_music(path, loop_point));
}

SQInteger script_play_sfx(const SqObject& sample, float volume, float pan) {
  return play_sfx(sound_arg(sample), volume, pan);
}

SQInteger script_play_ui(const SqObject& sample, float volume) {
  return play_ui(sound_arg(sample), volume);
}

SQInteger script_play_music(const SqObject& stream) {
  return play_music(sound_arg(stream));
}

void script_fade_out_and_stop(const SqObject& voice, float milliseconds) {
  fade_out_and_stop(integer_arg(voice), milliseconds);
}

}  // namespace

void register_sound_natives(HSQUIRRELVM vm) {
  sqbind::def(vm, script_load_sample, "load_sample");
  sqbind::def(vm, script_load_music, "load_music");
  sqbind::def(vm, script_play_sfx, "play_sfx");
  sqbind::def(vm, script_play_ui, "play_ui");
  sqbind::def(vm, script_play_music, "play_music");
  sqbind::def(vm, script_fade_out_and_stop, "fade_out_and_stop");
  sqbind::def(vm, game_rnd, "game_rnd");
}
