// Shared set-up of the audio tests: PhysicsFS over a folder of generated sound files,
// the engine on the null back end with the three buses playing, and the stand-ins
// for the neighbouring services (on-screen error message, sound-event log).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/audio/audio_engine.h"

// What the audio code showed on screen and logged through the shell, newest last.
extern std::vector<std::string> shown_error_messages;
extern std::vector<int> logged_sound_events;

// The folder mounted as the root of the virtual file system.
std::string sound_test_folder();
// Writes a tone into the mounted folder; format is a libsndfile format.
void write_tone(const std::string& name, int format, int frames, float amplitude, int rate = 22050);
// A mono float WAV whose every frame is value.
void write_constant(const std::string& name, float value, int frames, int rate = 44100);
void write_raw(const std::string& name, const std::string& bytes);
// Mixes frames on the null back end; returns them interleaved.
std::vector<float> mix_frames(unsigned int frames);

struct AudioTest : ::testing::Test {
  void SetUp() override;
  void TearDown() override;
};
