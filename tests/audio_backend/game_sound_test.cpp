// The running game's sound through the real back end: the game in a real window on a
// virtual X display, its SDL2 audio sent to SDL's disk audio driver, which writes every
// frame the device plays to a file. The title music plays from the start; Down on the
// title menu plays the interface's hover sound.
//
// Method: the test renders the same events through the game's own audio start-up and
// sound script, on the mixer's null back end, buffer by buffer in the device's buffer
// size, starting each event before the buffer it falls in (events reach the mixer only
// between two of the device's buffers). Where each event fell in the recording is
// found from the recording itself: the first sound aligns the start of the level's
// music and jingle (played at start-up) with the rendering's; the first buffer where
// the recording leaves that rendering is where the title screen started its music
// anew; the first buffer where it leaves the rendering with the title's music too is
// where the hover sound started (the level's and the title's music mostly start in the
// same buffer, the title's then changing nothing). The recording must then match the
// rendering of all three events within 1e-6 per sample, from the first sound to what
// the device had played when the game was asked to close (two seconds after the key),
// and the hover sound must be loud in it.
#include <physfs.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "disk_audio.h"
#include "engine/audio/audio_engine.h"
#include "engine/audio/sound_events.h"
#include "tests/support/game_process.h"
#include "tests/support/test_env.h"
#include "tests/support/xvfb_session.h"

namespace {

constexpr float TOLERANCE = 1e-6f;
constexpr size_t NONE = std::string::npos;

struct Device {
  int rate = 0, channels = 0, buffer = 0;
};

// The mixer's start-up line: "SoLoud: <back end>, <rate> Hz x <channels>, <buffer>".
bool read_device(const std::string& out, const char* backend, Device& d) {
  std::string line = std::string("SoLoud: ") + backend + ", ";
  size_t at = out.find(line);
  return at != NONE &&
         sscanf(out.c_str() + at + line.size(), "%d Hz x %d, %d", &d.rate, &d.channels, &d.buffer) == 3;
}

// An event played before the buffer `chunk` is mixed.
struct Cue {
  size_t chunk;
  const char* event;
};

// The game's audio as the scene starts it, on the null back end, with the game's data.
class OfflineAudio {
 public:
  OfflineAudio() {
    EXPECT_NE(PHYSFS_init(nullptr), 0);
    std::string data = test_env::from_env_or("TORVANE_SOURCE_DIR", test_env::build_dir() + "/../..") + "/data";
    EXPECT_NE(PHYSFS_mount(data.c_str(), nullptr, 1), 0) << data;
  }
  ~OfflineAudio() { PHYSFS_deinit(); }

  // The events mixed buffer after buffer from a fresh start, `chunks` buffers of it.
  std::vector<float> render(const std::vector<Cue>& cues, size_t chunks, Device& device) {
    init_audio();
    device.rate = (int)soloud.getBackendSamplerate();
    device.channels = (int)soloud.getBackendChannels();
    device.buffer = (int)soloud.getBackendBufferSize();
    std::vector<float> out(chunks * device.buffer * device.channels);
    for (size_t k = 0; k < chunks; k++) {
      for (const Cue& c : cues) {
        if (c.chunk == k) {
          EXPECT_NE(play_sfx_event(get_sound_event(c.event), 1.0f, 0.0f), 0u) << c.event;
        }
      }
      soloud.mix(out.data() + k * device.buffer * device.channels, (unsigned)device.buffer);
    }
    close_audio();
    return out;
  }

};

// The first buffer, counting from the recording's buffer `start`, in which the recording
// and the rendering differ by more than the tolerance; NONE when they agree as far as
// both go.
size_t first_difference(const std::vector<float>& recorded, size_t start, const std::vector<float>& rendered,
                        const Device& d) {
  size_t per_chunk = size_t(d.buffer) * d.channels;
  for (size_t k = 0; (k + 1) * per_chunk <= rendered.size(); k++) {
    size_t at = (start + k) * per_chunk;
    if (at + per_chunk > recorded.size())
      return NONE;
    for (size_t i = 0; i < per_chunk; i++)
      if (std::fabs(recorded[at + i] - rendered[k * per_chunk + i]) > TOLERANCE)
        return k;
  }
  return NONE;
}

TEST(GameSound, TitleMusicAndAMenuKeysSoundReachTheDeviceAsTheMixerRendersThem) {
  XvfbSession x(1280, 1024);
  if (!x.ok())
    GTEST_SKIP() << "skipped: Xvfb cannot start (" << x.error() << ")";
  // The pointer stays away from the window: over a menu item it would play the
  // hover sound whenever the window first saw it.
  int status = -1;
  x.xdotool("mousemove --sync 0 0", &status);
  ASSERT_EQ(status, 0);

  std::string home = test_env::data_home() + "/game_sound";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home);
  std::string file = home + "/device.raw";
  GameProcess game({{"-win", "-360"}, home, "", x.display(), disk_audio_env(file)});
  ASSERT_NE(game.waitForOutput("total start-up time", 60000), NONE) << game.output();
  Device device;
  ASSERT_TRUE(read_device(game.output(), "SDL2", device)) << game.output();
  std::string window = x.xdotool("search --sync --name 'TORVANE! 0.20'", &status);
  ASSERT_EQ(status, 0) << window;
  x.xdotool("windowfocus --sync " + window.substr(0, window.find('\n')), &status);
  ASSERT_EQ(status, 0);

  // Down on the title menu: the focus moves to the next item, with the hover sound.
  x.xdotool("key Down", &status);
  ASSERT_EQ(status, 0);
  // Two seconds of what the device played after the key, then the game closes.
  size_t bytes_per_second = size_t(device.rate) * device.channels * sizeof(float);
  size_t wanted = std::filesystem::file_size(file) + 2 * bytes_per_second;
  for (int waited = 0; std::filesystem::file_size(file) < wanted && waited < 60000; waited += 50)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  x.xdotool("key alt+F4");
  EXPECT_EQ(game.waitForExit(30000), 0) << game.output();
  std::vector<float> recorded = read_disk_audio(file);
  ASSERT_GE(recorded.size(), wanted / sizeof(float)) << "the device's output reached the file";

  OfflineAudio offline;
  Device mixer;
  size_t per_chunk = size_t(device.buffer) * device.channels;
  size_t chunks = recorded.size() / per_chunk;
  // The level's start (music and jingle) at start-up, where the recording's sound
  // begins.
  std::vector<Cue> cues{{0, "start_level_z1"}};
  std::vector<float> level = offline.render(cues, chunks, mixer);
  ASSERT_EQ(mixer.rate, device.rate);
  ASSERT_EQ(mixer.channels, device.channels);
  ASSERT_EQ(mixer.buffer, device.buffer) << "the same buffers, mixed the same way";
  size_t first_recorded = first_sound_frame(recorded, device.channels);
  size_t first_rendered = first_sound_frame(level, device.channels);
  ASSERT_NE(first_recorded, NONE) << "the recording is silent";
  ASSERT_NE(first_rendered, NONE);
  ASSERT_GE(first_recorded, first_rendered);
  ASSERT_EQ((first_recorded - first_rendered) % device.buffer, 0u) << "events start on a buffer";
  size_t start = (first_recorded - first_rendered) / device.buffer;
  chunks -= start;

  // The title screen's music, started anew: where the recording leaves the level's
  // sound, or in the level's own buffer when it never does before the hover.
  size_t left = first_difference(recorded, start, level, device);
  ASSERT_NE(left, NONE) << "the title music and the hover sound were heard";
  cues.push_back({left, "title_screen"});
  std::vector<float> title = offline.render(cues, chunks, mixer);
  size_t hover = first_difference(recorded, start, title, device);
  if (hover == left) {
    cues.back().chunk = 0;
    title = offline.render(cues, chunks, mixer);
    hover = first_difference(recorded, start, title, device);
  }
  ASSERT_NE(hover, NONE) << "the hover sound was heard";
  ASSERT_GT(hover, cues.back().chunk);

  // The hover sound, from the buffer where the recording leaves the title's sound.
  cues.push_back({hover, "ui_hover"});
  std::vector<float> all = offline.render(cues, chunks, mixer);
  // How long the hover sound lasts: where the rendering with it leaves the one without.
  size_t hover_end = 0;
  float loudest = 0;
  for (size_t i = hover * per_chunk; i < all.size(); i++) {
    float d = std::fabs(all[i] - title[i]);
    if (d > TOLERANCE)
      hover_end = i / device.channels + 1;
    loudest = std::max(loudest, d);
  }
  EXPECT_GT(loudest, 0.05f) << "the hover sound is loud";
  // Compared up to what the device had played when the game was asked to close.
  size_t compared = wanted / sizeof(float) / device.channels - start * device.buffer;
  ASSERT_LT(hover_end, compared) << "the recording goes past the hover sound";
  std::vector<float> rendered(all.begin(), all.begin() + long(std::min(all.size(), compared * device.channels)));
  EXPECT_LE(largest_difference(recorded, start * device.buffer, rendered, device.channels), TOLERANCE)
      << "the level's sound at buffer " << start << ", the title's music " << cues[1].chunk
      << " buffers later, the hover sound " << hover << " buffers later";
  printf("sound from buffer %zu, the title's music %zu buffers later, the hover sound %zu buffers later, %zu frames "
         "long; %zu frames compared\n",
         start, cues[1].chunk, hover, hover_end - hover * device.buffer, compared);
}

}  // namespace
