// The sound script in Squirrel: the shipped sound.nut, and small scripts that show
// binding, errors, reloads and the natives' argument checks.
#include <physfs.h>

#include <filesystem>
#include <fstream>

#include "audio_fixture.h"
#include "engine/audio/sound_events.h"
#include "engine/audio/sound_natives.h"
#include "engine/shared/level_map.h"

struct SqSoundTest : AudioTest {
  void SetUp() override {
    AudioTest::SetUp();
    write_constant("snd/a.wav", 0.5f, 20000);
    write_constant("snd/b.wav", 0.25f, 20000);
  }

  void writeScript(const std::string& text, int age) { write_script("snd/test.nut", text, age); }
};

static std::string data_folder() {
  const char* source = getenv("TORVANE_SOURCE_DIR");
  return std::string(source ? source : "../..") + "/data";
}

TEST_F(SqSoundTest, ShippedScriptBindsAndPlaysEveryEvent) {
  ASSERT_NE(PHYSFS_mount(data_folder().c_str(), nullptr, 1), 0);
  ::testing::internal::CaptureStdout();
  init_sound_script("sound/sound.nut");
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(shown_error_messages.empty()) << shown_error_messages.front();
  EXPECT_EQ(missing_sound_files, 0);
  EXPECT_EQ(log.find("warning: no sound for event"), std::string::npos) << log;
  soloud.setMaxActiveVoiceCount(64);
  for (int id = 0; id < NUM_SOUND_EVENTS; id++) {
    unsigned int voice = play_sfx_event(id, 1.0f, 0.0f);
    if (id == 34)
      EXPECT_EQ(voice, 0u);
    else
      EXPECT_NE(voice, 0u) << sound_event_name[id];
    mix_frames(256);
  }
  EXPECT_TRUE(shown_error_messages.empty()) << shown_error_messages.back();
  // The title music plays on the music bus, protected; the click on the interface bus.
  unsigned int music = play_sfx_event(get_sound_event("title_screen"), 1.0f, 0.0f);
  EXPECT_TRUE(soloud.getProtectVoice(music));
  EXPECT_EQ(music_bus.getActiveVoiceCount(), 1u);
  std::vector<float> out = mix_frames(2048);
  float peak = 0;
  for (float x : out)
    peak = std::max(peak, std::abs(x));
  EXPECT_GT(peak, 0.05f);
}

TEST_F(SqSoundTest, EventsCallTheirFunctionsWithVolumeAndPan) {
  writeScript(R"(
    local a = load_sample("snd/a.wav", 1.0)
    local b = load_sample("snd/b.wav", 0.5)
    events <- {
      pistol_shot = function(volume, pan) { return play_sfx(a, volume, pan) }
      ui_click = function(volume, pan) { return play_ui(b, volume) }
      punch_hit = function(volume, pan) { return "not a handle" }
      punch_swing = function(volume, pan) { throw "broken swing" }
      hero_jump = function(volume, pan) { return play_sfx("a", volume, pan) }
      hero_hurt = 5
    }
  )", 10);
  ::testing::internal::CaptureStdout();
  init_sound_script("snd/test.nut");
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(shown_error_messages.empty());
  // A slot is bound as found; only calling it tells that it is no function.
  EXPECT_EQ(log.find("warning: no sound for event 'hero_hurt'"), std::string::npos);
  EXPECT_NE(log.find("warning: no sound for event 'hero_dead'"), std::string::npos);

  unsigned int shot = play_sfx_event(0, 0.5f, 1.0f);
  ASSERT_NE(shot, 0u);
  EXPECT_FLOAT_EQ(soloud.getVolume(shot), 0.5f);
  EXPECT_FLOAT_EQ(soloud.getPan(shot), 1.0f);
  unsigned int click = play_sfx_event(40, 1.0f, 0.0f);
  ASSERT_NE(click, 0u);
  std::vector<float> out = mix_frames(10);
  EXPECT_NEAR(out[0], 0.125f, 1e-5f);
  EXPECT_NEAR(out[1], 0.25f + 0.125f, 1e-5f);

  struct {
    int id;
    const char* message;
  } failures[] = {
      {4, "Error in sound script [punch_hit]:\nsq_get*() failed (type error)"},
      {3, "Error in sound script [punch_swing]:\nSqFunc<> call failed"},
      // A native's argument error leaves the script call as it is.
      {5, "Error in sound script [hero_jump]:\nsq_get*() failed (type error)"},
      {6, "Error in sound script [hero_hurt]:\nSqFunc<> call failed"},
  };
  for (auto& f : failures) {
    EXPECT_EQ(play_sfx_event(f.id, 1.0f, 0.0f), 0u);
    ASSERT_FALSE(shown_error_messages.empty());
    EXPECT_EQ(shown_error_messages.back(), f.message);
  }
  // After all those failures the VM still plays.
  EXPECT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
}

TEST_F(SqSoundTest, ScriptErrorsAreShownAndTheGameGoesOn) {
  struct {
    const char* script;
    const char* shown;
    const char* logged;
  } cases[] = {
      {"local x = load_sample(\"snd/a.wav\", 1.0)\n", "Error in sound script:\nthe index 'events' does not exist",
       "getGlobal 'events' failed"},
      // The compiler's own text on screen; the log line names the file and the place.
      {"events <- { pistol_shot = function(v, p) { return 1 }\n", "Error in sound script:\nexpected",
       "snd/test.nut(2,1): error: expected"},
      {"load_sample(3, 1.0)\nevents <- {}\n", "Error in sound script:\nsq_get*() failed (type error)", ""},
      {"events <- {}\nthrow \"late failure\"\n", "Error in sound script:\nlate failure", "late failure"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.script);
    writeScript(c.script, 10);
    shown_error_messages.clear();
    ::testing::internal::CaptureStdout();
    init_sound_script("snd/test.nut");
    std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    ASSERT_EQ(shown_error_messages.size(), 1u);
    EXPECT_EQ(shown_error_messages[0].rfind(c.shown, 0), 0u) << shown_error_messages[0];
    EXPECT_EQ(play_sfx_event(0, 1.0f, 0.0f), 0u);
    close_sound_script();
  }
}

TEST_F(SqSoundTest, MissingFilesAreReportedAfterTheRun) {
  writeScript(R"(
    local a = load_sample("snd/none1.wav", 1.0)
    local b = load_sample("snd/none2.wav", 1.0)
    local m = load_music("snd/none3.ogg", 0.0)
    events <- { pistol_shot = function(v, p) { return play_sfx(a, v, p) } }
  )", 10);
  init_sound_script("snd/test.nut");
  ASSERT_FALSE(shown_error_messages.empty());
  EXPECT_EQ(shown_error_messages.back(), "3 missing sound files");
  // The event runs and plays nothing: a missing sample is null.
  EXPECT_EQ(play_sfx_event(0, 1.0f, 0.0f), 0u);
  EXPECT_EQ(shown_error_messages.back(), "3 missing sound files");
}

TEST_F(SqSoundTest, ChangedScriptReloadsAndAFailedReloadKeepsTheOldOnePlaying) {
  writeScript(R"(
    local a = load_sample("snd/a.wav", 1.0)
    events <- { pistol_shot = function(v, p) { return play_sfx(a, v, p) } }
  )", 30);
  init_sound_script("snd/test.nut");
  ASSERT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  check_sound_script();
  EXPECT_EQ(sound_samples.num, 1);

  const char* good = R"(
    local b = load_sample("snd/b.wav", 1.0)
    local music = load_music("snd/a.wav", 0.0)
    voice <- 0
    events <- {
      pistol_shot = function(v, p) { return play_ui(b, v) }
      title_screen = function(v, p) { voice = play_music(music); return voice }
    }
  )";
  writeScript(good, 20);
  mark_sound_script_changed();
  check_sound_script();
  EXPECT_EQ(shown_error_messages.front(), "");
  ASSERT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  EXPECT_EQ(ui_bus.getActiveVoiceCount(), 1u);
  EXPECT_EQ(sfx_bus.getActiveVoiceCount(), 0u);
  unsigned int music_voice = play_sfx_event(get_sound_event("title_screen"), 1.0f, 0.0f);
  ASSERT_NE(music_voice, 0u);
  // The files hold constant values: while both voices play, every block is the same.
  mix_frames(256);
  const std::vector<float> playing = mix_frames(256);
  ASSERT_NE(playing[0], 0.0f);

  // Broken edits, each failing at another point of the run: the compiler, a native's
  // argument after sounds were loaded, the missing `events` table. The error shows, and
  // the old script, its sounds and the voices they play go on as if nothing happened.
  struct Broken {
    const char* script;
    const char* shown;
  } broken[] = {
      {"events <- { pistol_shot = function(v, p) { return 1 }\n", "Error in sound script:\nexpected"},
      {"local c = load_sample(\"snd/a.wav\", 1.0)\nlocal r = game_rnd()\nload_sample(3, 1.0)\n",
       "Error in sound script:\nsq_get*() failed (type error)"},
      {"local c = load_sample(\"snd/a.wav\", 1.0)\nlocal d = load_music(\"snd/none.ogg\", 0.0)\n",
       "Error in sound script:\nthe index 'events' does not exist"},
  };
  int age = 15;
  for (const Broken& b : broken) {
    SCOPED_TRACE(b.script);
    uint64_t rnd = sound_rnd_seed;
    writeScript(b.script, age--);
    mark_sound_script_changed();
    shown_error_messages.clear();
    check_sound_script();
    ASSERT_FALSE(shown_error_messages.empty());
    EXPECT_EQ(shown_error_messages.front(), "") << "the old message goes first";
    EXPECT_EQ(shown_error_messages.back().rfind(b.shown, 0), 0u) << shown_error_messages.back();
    EXPECT_EQ(sound_samples.num, 1) << "the tried run's sounds are gone, the old ones stay";
    EXPECT_EQ(sound_streams.num, 1);
    EXPECT_EQ(missing_sound_files, 0);
    EXPECT_EQ(sound_rnd_seed, rnd);
    EXPECT_EQ(sound_script_global("voice"), (int64_t)music_voice) << "the old VM is the one that runs";
    EXPECT_TRUE(soloud.isValidVoiceHandle(music_voice)) << "the music plays on";
    EXPECT_EQ(mix_frames(256), playing) << "and sounds as before";
    unsigned int voice = play_sfx_event(0, 1.0f, 0.0f);
    EXPECT_NE(voice, 0u) << "the old events play";
    EXPECT_TRUE(soloud.isValidVoiceHandle(voice));
    EXPECT_EQ(ui_bus.getActiveVoiceCount(), 1u);
  }

  // Mended: the new script replaces the old one, whose sounds and voices go.
  writeScript(R"(
    local a = load_sample("snd/a.wav", 1.0)
    events <- { pistol_shot = function(v, p) { return play_sfx(a, v, p) } }
  )", 5);
  mark_sound_script_changed();
  shown_error_messages.clear();
  check_sound_script();
  ASSERT_EQ(shown_error_messages.size(), 1u);
  EXPECT_EQ(shown_error_messages[0], "") << "nothing wrong any more";
  EXPECT_FALSE(soloud.isValidVoiceHandle(music_voice));
  EXPECT_EQ(sound_script_global("voice"), -1);
  EXPECT_EQ(sound_streams.num, 0);
  ASSERT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  EXPECT_EQ(sfx_bus.getActiveVoiceCount(), 1u);
}

TEST_F(SqSoundTest, ScriptGeneratorStartsFromTheGameSeed) {
  writeScript(R"(
    rolls <- [game_rnd(), game_rnd(), game_rnd()]
    events <- { pistol_shot = function(v, p) { return rolls[0] } }
  )", 10);
  uint64_t seed = game_rnd_seed;
  init_sound_script("snd/test.nut");
  int64_t first = play_sfx_event(0, 1.0f, 0.0f);
  close_sound_script();
  init_sound_script("snd/test.nut");
  EXPECT_EQ((int64_t)play_sfx_event(0, 1.0f, 0.0f), first);
  EXPECT_EQ(game_rnd_seed, seed);
  sound_rnd_seed = seed;
  EXPECT_EQ(game_rnd(), first);
}

TEST_F(SqSoundTest, FadeOutAndStopFromTheScript) {
  writeScript(R"(
    local a = load_sample("snd/a.wav", 1.0)
    local playing = { voice = 0 }
    events <- {
      ui_click = function(v, p) { playing.voice = play_ui(a, v); return playing.voice }
      ui_back = function(v, p) { fade_out_and_stop(playing.voice, 500.0); return 0 }
    }
  )", 10);
  init_sound_script("snd/test.nut");
  unsigned int voice = play_sfx_event(40, 1.0f, 0.0f);
  ASSERT_NE(voice, 0u);
  play_sfx_event(42, 1.0f, 0.0f);
  std::vector<float> out = mix_frames(22050);
  EXPECT_NEAR(out[2 * 11025], 0.25f, 1e-3f);
  EXPECT_FALSE(soloud.isValidVoiceHandle(voice));
}

TEST_F(SqSoundTest, NativesTakeSoundsAndVoicesWholeAndRefuseOtherKinds) {
  writeScript(R"(
    a <- load_sample("snd/a.wav", 1.0)
    voice <- 0
    events <- {
      ui_click = function(v, p) { ::voice = play_ui(::a, v); return ::voice }
      ui_back = function(v, p) { fade_out_and_stop(::voice + 0x100000000, 10.0); return 0 }
      pistol_shot = function(v, p) { return play_sfx(::a + 0x100000000, v, p) }
      plasma_shot = function(v, p) { return play_sfx(null, v, p) }
      plasma_misfire = function(v, p) { return play_music(::a) }
      punch_swing = function(v, p) { return play_sfx(1.5, v, p) }
      punch_hit = function(v, p) { fade_out_and_stop("x", 1.0); return 0 }
      hero_jump = function(v, p) { return 0xffffffff }
    }
  )", 10);
  init_sound_script("snd/test.nut");
  ASSERT_TRUE(shown_error_messages.empty());
  unsigned int voice = play_sfx_event(40, 1.0f, 0.0f);
  ASSERT_NE(voice, 0u);
  // Values beyond 32 bits are no voice and no sound: never cut down to one that is.
  EXPECT_EQ(play_sfx_event(42, 1.0f, 0.0f), 0u);
  mix_frames(4410);
  EXPECT_TRUE(soloud.isValidVoiceHandle(voice));
  EXPECT_FLOAT_EQ(soloud.getVolume(voice), 1.0f);
  EXPECT_EQ(play_sfx_event(get_sound_event("pistol_shot"), 1.0f, 0.0f), 0u);
  // No sound, and a sample where music is asked for, play nothing.
  EXPECT_EQ(play_sfx_event(get_sound_event("plasma_shot"), 1.0f, 0.0f), 0u);
  EXPECT_EQ(play_sfx_event(get_sound_event("plasma_misfire"), 1.0f, 0.0f), 0u);
  EXPECT_EQ(sfx_bus.getActiveVoiceCount() + music_bus.getActiveVoiceCount(), 0u);
  EXPECT_TRUE(shown_error_messages.empty());
  // A voice handle comes back whole, all 32 bits.
  EXPECT_EQ(play_sfx_event(get_sound_event("hero_jump"), 1.0f, 0.0f), 0xffffffffu);

  for (const char* name : {"punch_swing", "punch_hit"}) {
    EXPECT_EQ(play_sfx_event(get_sound_event(name), 1.0f, 0.0f), 0u);
    ASSERT_FALSE(shown_error_messages.empty());
    EXPECT_EQ(shown_error_messages.back(),
              std::string("Error in sound script [") + name + "]:\nsq_get*() failed (type error)");
  }
}

TEST_F(SqSoundTest, MissingScriptFileIsShownAndWatchedAndEventsStaySilent) {
  init_sound_script("snd/none.nut");
  ASSERT_EQ(shown_error_messages.size(), 1u);
  EXPECT_EQ(shown_error_messages[0].rfind("Error in sound script:\n", 0), 0u) << shown_error_messages[0];
  ASSERT_EQ(sound_script_vm.files.num, 1);
  EXPECT_STREQ(sound_script_vm.files[0].name.c_str(), "snd/none.nut");
  EXPECT_EQ(play_sfx_event(0, 1.0f, 0.0f), 0u);
  // Nothing on disk to notice: no reload.
  check_sound_script();
  EXPECT_EQ(shown_error_messages.size(), 1u);
}
