#include "synth.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

static const float TWO_PI = 6.28318531f;

Sound::Sound(float seconds, int sampleRate) : samples((size_t)(seconds * sampleRate), 0.0f), rate(sampleRate) {}

// A repeatable noise source (the same file every run).
static float noise_sample(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return (state & 0xffffff) / 8388608.0f - 1.0f;
}

void Sound::add(const Tone& t) {
  int first = (int)(t.start * rate);
  int count = (int)(t.length * rate);
  float phase = 0, filtered = 0;
  uint32_t seed = 0x9e3779b9u ^ (uint32_t)(t.from * 7 + t.start * 1000);
  float decayRate = logf(1000.0f) / std::max(t.length - t.attack, 0.001f);
  float filterCoef = t.lowpassHz > 0 ? 1.0f - expf(-TWO_PI * t.lowpassHz / rate) : 1.0f;
  for (int k = 0; k < count && first + k < (int)samples.size(); k++) {
    float time = (float)k / rate;
    float progress = (float)k / count;
    float freq = t.from * powf(t.to / t.from, progress);
    if (t.vibratoHz > 0)
      freq *= 1.0f + t.vibratoDepth * sinf(TWO_PI * t.vibratoHz * time);
    phase += freq / rate;
    phase -= floorf(phase);
    float x = 0;
    switch (t.wave) {
      case Wave::sine: x = sinf(TWO_PI * phase); break;
      case Wave::square: x = phase < t.duty ? 0.7f : -0.7f; break;
      case Wave::saw: x = 2.0f * phase - 1.0f; break;
      case Wave::triangle: x = 4.0f * fabsf(phase - 0.5f) - 1.0f; break;
      case Wave::noise: x = noise_sample(seed); break;
    }
    filtered += (x - filtered) * filterCoef;
    float env = time < t.attack ? time / t.attack : (t.sustain ? 1.0f : expf(-decayRate * (time - t.attack)));
    samples[first + k] += filtered * env * t.volume;
  }
}

void Sound::normalize(float peak) {
  float loudest = 0;
  for (float x : samples)
    loudest = std::max(loudest, fabsf(x));
  if (loudest > 0)
    for (float& x : samples)
      x *= peak / loudest;
}

void Sound::softenEdges(float seconds) {
  int n = std::min((int)(seconds * rate), (int)samples.size() / 2);
  for (int k = 0; k < n; k++) {
    float g = (float)k / n;
    samples[k] *= g;
    samples[samples.size() - 1 - k] *= g;
  }
}

float note(int semitones) {
  return 440.0f * powf(2.0f, semitones / 12.0f);
}

bool write_ogg(const std::string& path, const Sound& sound, double quality) {
  SF_INFO info = {};
  info.samplerate = sound.rate;
  info.channels = 1;
  info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!sf)
    return false;
  sf_command(sf, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
  sf_count_t written = sf_writef_float(sf, sound.samples.data(), (sf_count_t)sound.samples.size());
  sf_close(sf);
  return written == (sf_count_t)sound.samples.size();
}
