#include "audio_fixture.h"

#include <physfs.h>
#include <sndfile.h>

#include <cmath>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "engine/audio/audio_hooks.h"
#include "engine/audio/sound_events.h"
#include "engine/audio/sound_files.h"
#include "engine/core/watch.h"
#include "engine/gui/visual_log.h"
#include "engine/shared/level_map.h"

std::vector<std::string> shown_error_messages;
std::vector<int> logged_sound_events;

// Every message the code under test shows, passed on to the engine's own error message.
// The test links with --wrap on set_source_error's symbol (_Z16set_source_errorPKcS0_),
// so the audio code's calls land here and __real_ reaches the engine's.
extern "C" void __real__Z16set_source_errorPKcS0_(const char* source, const char* text);
extern "C" void __wrap__Z16set_source_errorPKcS0_(const char* source, const char* text) {
  shown_error_messages.push_back(text ? text : "");
  __real__Z16set_source_errorPKcS0_(source, text);
}

// The shell's event log, which these tests do not link, records the events instead.
static void record_sound_event(int id) { logged_sound_events.push_back(id); }

// The game's random state starts where these tests have always had it.
static const bool game_rnd_seeded = (game_rnd_seed = 0x9e3779b97f4a7c15ULL, true);

std::string sound_test_folder() {
  const char* home = getenv("XDG_DATA_HOME");
  std::string base = home ? home : ::testing::TempDir();
  // One folder per process: CTest runs the cases of this program in parallel.
  return base + "/audio_vfs_" + std::to_string(getpid());
}

void write_tone(const std::string& name, int format, int frames, float amplitude, int rate) {
  std::string path = sound_test_folder() + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  SF_INFO info = {};
  info.samplerate = rate;
  info.channels = 1;
  info.format = format;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
  std::vector<float> data(frames);
  for (int k = 0; k < frames; k++)
    data[k] = amplitude * sinf(6.2831853f * 440.0f * k / rate);
  sf_writef_float(sf, data.data(), frames);
  sf_close(sf);
}

void write_constant(const std::string& name, float value, int frames, int rate) {
  std::string path = sound_test_folder() + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  SF_INFO info = {};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(sf, nullptr);
  std::vector<float> data(frames, value);
  sf_writef_float(sf, data.data(), frames);
  sf_close(sf);
}

void write_raw(const std::string& name, const std::string& bytes) {
  std::string path = sound_test_folder() + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), (std::streamsize)bytes.size());
}

std::vector<float> mix_frames(unsigned int frames) {
  std::vector<float> out(frames * 2);
  soloud.mix(out.data(), frames);
  return out;
}

void write_script(const std::string& name, const std::string& text, int age) {
  std::string path = sound_test_folder() + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << text;
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(age));
}

void mark_sound_script_changed() {
  clear_changed_files();
  for (int i = 0; i < sound_script_vm.files.num; i++)
    changed_files.push().assign(sound_script_vm.files[i].realPath.c_str());
}

int64_t sound_script_global(const char* name) {
  HSQUIRRELVM vm = sound_script_vm.getVM();
  if (!vm)
    return -1;
  SQInteger top = sq_gettop(vm);
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  SQInteger value = -1;
  if (SQ_SUCCEEDED(sq_get(vm, -2)) && sq_gettype(vm, -1) == OT_INTEGER)
    sq_getinteger(vm, -1, &value);
  sq_settop(vm, top);
  return value;
}

void AudioTest::SetUp() {
  std::filesystem::remove_all(sound_test_folder());
  std::filesystem::create_directories(sound_test_folder());
  ASSERT_NE(PHYSFS_init(nullptr), 0);
  ASSERT_NE(PHYSFS_mount(sound_test_folder().c_str(), nullptr, 1), 0);
  ASSERT_EQ(soloud.init(0, SoLoud::Soloud::NULLDRIVER, 44100, 1024, 2), SoLoud::SO_NO_ERROR);
  sfx_bus_handle = soloud.playBackground(sfx_bus);
  ui_bus_handle = soloud.playBackground(ui_bus);
  music_bus_handle = soloud.playBackground(music_bus);
  set_error_message(nullptr);
  shown_error_messages.clear();
  logged_sound_events.clear();
  audio_hooks.log_sound_event = record_sound_event;
  missing_sound_files = 0;
}

void AudioTest::TearDown() {
  close_sound_script();
  clear_changed_files();
  soloud.stopAll();
  soloud.deinit();
  sfx_bus_handle = ui_bus_handle = music_bus_handle = 0;
  PHYSFS_deinit();
}
