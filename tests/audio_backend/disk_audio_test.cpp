// The SDL2 back end's real output, recorded by SDL's disk audio driver: the sounds
// reach the file, after the device's silence, sample for sample as the mixer renders
// the same sounds on the null back end in the device's buffer size.
#include <SDL2/SDL.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "disk_audio.h"
#include "soloud.h"
#include "soloud_bus.h"
#include "soloud_wav.h"
#include "soloud_wavstream.h"

using namespace SoLoud;

namespace {

constexpr unsigned rate = 44100, channels = 2;

// A saw tone that starts away from zero, so the recording shows where it begins.
std::vector<short> saw(unsigned frames, unsigned period, short amplitude) {
  std::vector<short> s(frames);
  for (unsigned i = 0; i < frames; i++)
    s[i] = (short)(amplitude / 2 + (int)(amplitude * (int)(i % period)) / (int)period - amplitude / 2 + amplitude / 4);
  return s;
}

// The game's road for sound: a bus played as a background voice, an interface sound
// on it (a sample, with volume and pan) and music beside it (a stream), all started
// together on the mixer's next buffer.
struct Scene {
  Bus bus;
  Wav ui_sound;
  WavStream music;
  std::vector<unsigned char> ui_file = wav_file(saw(9000, 90, 12000), rate);
  std::vector<unsigned char> music_file = wav_file(saw(22050, 300, 8000), 22050);

  void start(Soloud& soloud) {
    ASSERT_EQ(ui_sound.loadMem(ui_file.data(), (unsigned)ui_file.size(), false, false), SO_NO_ERROR);
    ASSERT_EQ(music.loadMem(music_file.data(), (unsigned)music_file.size(), false, false), SO_NO_ERROR);
    handle bus_voice = soloud.playBackground(bus, 1.0f, true);
    ASSERT_NE(bus_voice, 0u);
    ASSERT_NE(bus.play(ui_sound, 0.8f, 0.3f, true), 0u);
    ASSERT_NE(soloud.playBackground(music, 0.5f, true), 0u);
    soloud.setPauseAll(false);
  }
};

TEST(DiskAudio, BackEndOutputReachesTheFileAsTheMixerRendersIt) {
  std::string dir = std::string(getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "/tmp") + "/disk_audio";
  std::filesystem::create_directories(dir);
  std::string file = dir + "/out.raw";
  std::filesystem::remove(file);
  use_disk_audio(file);

  Soloud device;
  result res = device.init(0, Soloud::SDL2, rate, 1024, channels);
  if (res != SO_NO_ERROR)
    GTEST_SKIP() << "skipped: SDL's disk audio driver cannot start: " << SDL_GetError();
  ASSERT_STREQ(SDL_GetCurrentAudioDriver(), "disk");
  ASSERT_EQ(device.getBackendSamplerate(), rate);
  ASSERT_EQ(device.getBackendChannels(), channels);
  unsigned buffer = device.getBackendBufferSize();
  Scene played;
  played.start(device);
  // The music (a second) is the longest sound; the device plays in real time.
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  device.deinit();  // closes the device and its file

  Soloud mixer;
  ASSERT_EQ(mixer.init(0, Soloud::NULLDRIVER, rate, buffer, channels), SO_NO_ERROR);
  Scene rendered;
  rendered.start(mixer);
  const unsigned frames = rate * 11 / 10;
  std::vector<float> reference(frames * channels);
  for (unsigned at = 0; at < frames; at += buffer)
    mixer.mix(reference.data() + at * channels, std::min(buffer, frames - at));
  ASSERT_GT(std::fabs(reference[0]), 0.01f) << "the reference starts with sound";

  std::vector<float> recorded = read_disk_audio(file);
  ASSERT_GT(recorded.size(), (size_t)frames * channels) << "the file holds the device's output";
  size_t start = first_sound_frame(recorded, channels);
  ASSERT_NE(start, std::string::npos) << "the recording is silent";
  // The sounds begin on a buffer of the device; before them it played silence.
  EXPECT_EQ(start % buffer, 0u) << "start " << start << ", buffer " << buffer;
  EXPECT_EQ(largest_difference(recorded, start, reference, channels), 0.0f);
  // And after them it plays silence again.
  size_t after = (start + frames) * channels;
  ASSERT_LT(after, recorded.size());
  EXPECT_EQ(first_sound_frame(std::vector<float>(recorded.begin() + (long)after, recorded.end()), channels),
            std::string::npos);
}

}  // namespace
