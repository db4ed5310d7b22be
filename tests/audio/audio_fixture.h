// Shared set-up of the audio tests: PhysicsFS over a folder of generated sound files,
// the engine on the null back end with the three buses playing, and the stand-ins
// for the neighbouring services (on-screen error message, sound-event log).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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

// Writes a script into the mounted folder with a modification time `age` seconds in
// the past, so that each rewrite with a smaller age has a new time.
void write_script(const std::string& name, const std::string& text, int age);
// Reports every file of the sound script's VM as changed on disk, as the directory
// watcher would (the list is cleared first, as the periodic check does).
void mark_sound_script_changed();
// An integer of the sound script's root table; -1 when it is missing or no integer.
int64_t sound_script_global(const char* name);

struct AudioTest : ::testing::Test {
  void SetUp() override;
  void TearDown() override;
};
