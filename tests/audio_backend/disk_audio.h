#pragma once
// SDL's disk audio driver as a recorder of the game's real sound output: a process
// started with disk_audio_env(file) plays through SDL2 audio as usual, and every frame
// its device consumes lands in the file as raw interleaved float samples (the format
// the mixer's SDL2 back end asks for).
#include <cstddef>
#include <string>
#include <vector>

// The environment settings that send SDL2 audio to `file` ("NAME=value" texts).
std::vector<std::string> disk_audio_env(const std::string& file);
// Sets them in this process, for a mixer started afterwards.
void use_disk_audio(const std::string& file);

// The samples of a recording (interleaved frames); empty when unreadable.
std::vector<float> read_disk_audio(const std::string& file);

// The first frame holding a sample above `threshold` in magnitude; npos when silent.
size_t first_sound_frame(const std::vector<float>& samples, unsigned channels, float threshold = 1e-6f);

// The largest difference between `recorded` from frame `at` on and `rendered`, over
// the frames of `rendered`; infinity when the recording is too short.
float largest_difference(const std::vector<float>& recorded, size_t at, const std::vector<float>& rendered,
                         unsigned channels);

// A mono 16-bit PCM WAV file in memory.
std::vector<unsigned char> wav_file(const std::vector<short>& samples, unsigned rate);
