// A small synthesiser for game sounds: tones with pitch sweeps, noise bursts,
// envelopes and a one-pole low-pass, mixed into a mono float buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Wave { sine, square, saw, triangle, noise };

// One layer of a sound. Frequencies sweep exponentially from `from` to `to` over the
// layer; the envelope rises linearly over `attack` and then decays exponentially so
// that it has fallen to 1/1000 at the end of `length`, unless `sustain` keeps it level.
struct Tone {
  Wave wave = Wave::sine;
  float start = 0;     // seconds into the sound
  float length = 0.2f;  // seconds
  float from = 440, to = 440;
  float volume = 0.5f;
  float attack = 0.005f;
  bool sustain = false;
  float vibratoHz = 0, vibratoDepth = 0;  // depth as a fraction of the frequency
  float lowpassHz = 0;                    // 0: no filter
  float duty = 0.5f;                      // square waves
};

struct Sound {
  std::vector<float> samples;
  int rate = 22050;

  explicit Sound(float seconds, int rate = 22050);
  void add(const Tone& tone);
  // Scales so that the loudest sample is `peak`.
  void normalize(float peak);
  // Short fades at both ends so nothing clicks.
  void softenEdges(float seconds);
};

// The note `semitones` above A4 (440 Hz).
float note(int semitones);

// Writes mono Ogg Vorbis at the given quality (0..1); false on failure.
bool write_ogg(const std::string& path, const Sound& sound, double quality);
