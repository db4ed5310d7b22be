// The sound-event table, the host of the sound script (start, binding, reload, close)
// with a stand-in VM, and each event playing on its bus.
#include <climits>
#include <set>

#include "audio_fixture.h"
#include "engine/audio/sound_natives.h"
#include "engine/core/settings.h"
#include "engine/gen/level_map.h"
#include "fake_sound_vm.h"

TEST(SoundEventTable, NamesAndIds) {
  std::set<std::string> names;
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    if (sound_event_name[id])
      names.insert(sound_event_name[id]);
  EXPECT_EQ(names.size(), 53u);
  EXPECT_EQ(sound_event_name[34], nullptr);
  struct {
    const char* name;
    int id;
  } ids[] = {{"pistol_shot", 0},     {"hero_dead", 7},        {"torvane_elevator", 20}, {"start_level_b4", 32},
             {"title_screen", 33},   {"new_game", 35},        {"ui_click", 40},         {"boss2_dying", 53},
             {"UI_CLICK", -1},       {"", -1},                {"ui_click ", -1},        {"boss3_dying", -1}};
  for (auto& c : ids)
    EXPECT_EQ(get_sound_event(c.name), c.id) << c.name;
  EXPECT_EQ(get_sound_event(nullptr), -1);
}

struct SoundScriptTest : AudioTest {
  FakeSoundVM vm;
  SoundId shot = 0;

  void SetUp() override {
    AudioTest::SetUp();
    write_constant("sound/shot.wav", 0.5f, 20000);
    write_constant("sound/click.wav", 0.25f, 20000);
    write_constant("sound/theme.wav", 0.125f, 20000);
    vm.script = [this] {
      shot = load_sample("sound/shot.wav", 1.0f);
      SoundId click = load_sample("sound/click.wav", 1.0f);
      SoundId theme = load_music("sound/theme.wav", 0.0f);
      vm.events["pistol_shot"] = [this](float volume, float pan, int64_t& result, String&) {
        result = play_sfx(shot, volume, pan);
        return true;
      };
      vm.events["ui_click"] = [click](float volume, float, int64_t& result, String&) {
        result = play_ui(click, volume);
        return true;
      };
      vm.events["title_screen"] = [theme](float, float, int64_t& result, String&) {
        result = play_music(theme);
        return true;
      };
      return std::string();
    };
    sound_script_vm = &vm;
  }
};

static int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    n++;
  return n;
}

TEST_F(SoundScriptTest, StartBindsEventsAndWarnsAboutEachNamedEventWithoutASound) {
  ::testing::internal::CaptureStdout();
  init_sound_script("sound/sound.nut");
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(vm.calls[0], "open");
  EXPECT_EQ(vm.calls[1], "include sound/sound.nut");
  EXPECT_EQ(count_of(log, "warning: no sound for event '"), 50) << log;
  EXPECT_EQ(count_of(log, "warning: no sound for event 'punch_hit'"), 1);
  EXPECT_EQ(count_of(log, "warning: no sound for event 'ui_click'"), 0);
  EXPECT_EQ(count_of(log, "(null)"), 0);
  // The reserved id is never looked up.
  EXPECT_EQ(vm.namesAskedFor.size(), 53u);
  EXPECT_TRUE(shown_error_messages.empty());
}

TEST_F(SoundScriptTest, EachEventPlaysOnItsBus) {
  init_sound_script("sound/sound.nut");
  unsigned int shotVoice = play_sfx_event(0, 0.5f, 1.0f);
  unsigned int clickVoice = play_sfx_event(get_sound_event("ui_click"), 1.0f, 0.0f);
  unsigned int musicVoice = play_sfx_event(33, 1.0f, 0.0f);
  ASSERT_NE(shotVoice, 0u);
  ASSERT_NE(clickVoice, 0u);
  ASSERT_NE(musicVoice, 0u);
  EXPECT_EQ(sfx_bus.getActiveVoiceCount(), 1u);
  EXPECT_EQ(ui_bus.getActiveVoiceCount(), 1u);
  EXPECT_EQ(music_bus.getActiveVoiceCount(), 1u);
  EXPECT_TRUE(soloud.getProtectVoice(musicVoice));
  std::vector<float> out = mix_frames(10);
  // Shot hard right at 0.5, click and music full on both speakers.
  EXPECT_NEAR(out[0], 0.25f + 0.125f, 1e-5f);
  EXPECT_NEAR(out[1], 0.25f + 0.25f + 0.125f, 1e-5f);
  EXPECT_EQ(logged_sound_events, (std::vector<int>{0, 40, 33}));

  // An event without a function is logged and plays nothing.
  EXPECT_EQ(play_sfx_event(4, 1.0f, 0.0f), 0u);
  EXPECT_EQ(logged_sound_events.back(), 4);
  play_misc_sound_event(40);
  EXPECT_EQ(logged_sound_events.back(), 40);
}

TEST_F(SoundScriptTest, IdsOutOfRangeAndTheReservedIdPlayAndLogNothing) {
  init_sound_script("sound/sound.nut");
  for (int id : {-1, 54, 34, INT_MIN, INT_MAX})
    EXPECT_EQ(play_sfx_event(id, 1.0f, 0.0f), 0u) << id;
  EXPECT_TRUE(logged_sound_events.empty());
}

TEST_F(SoundScriptTest, FailingEventShowsItsNameAndTheError) {
  vm.script = [this] {
    vm.events["punch_swing"] = [](float, float, int64_t&, String& error) {
      error = "sq_get*() failed (type error)";
      return false;
    };
    return std::string();
  };
  init_sound_script("sound/sound.nut");
  EXPECT_EQ(play_sfx_event(3, 1.0f, 0.0f), 0u);
  ASSERT_FALSE(shown_error_messages.empty());
  EXPECT_EQ(shown_error_messages.back(), "Error in sound script [punch_swing]:\nsq_get*() failed (type error)");
}

TEST_F(SoundScriptTest, ScriptErrorsAndAMissingEventsTableAreShownAndTheGameGoesOn) {
  vm.script = [] { return std::string("sound/sound.nut:3: expression expected"); };
  init_sound_script("sound/sound.nut");
  ASSERT_EQ(shown_error_messages.size(), 1u);
  EXPECT_EQ(shown_error_messages[0], "Error in sound script:\nsound/sound.nut:3: expression expected");
  EXPECT_EQ(play_sfx_event(0, 1.0f, 0.0f), 0u);
  close_sound_script();

  FakeSoundVM noTable;
  noTable.hasEvents = false;
  sound_script_vm = &noTable;
  shown_error_messages.clear();
  ::testing::internal::CaptureStdout();
  init_sound_script("sound/sound.nut");
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("getGlobal 'events' failed"), std::string::npos) << log;
  ASSERT_EQ(shown_error_messages.size(), 1u);
  EXPECT_EQ(shown_error_messages[0], "Error in sound script:\nthe index 'events' does not exist");
  // A very long error text is shown whole.
  close_sound_script();
  std::string longError(5000, 'x');
  vm.script = [&] { return longError; };
  sound_script_vm = &vm;
  init_sound_script("sound/sound.nut");
  EXPECT_EQ(shown_error_messages.back(), "Error in sound script:\n" + longError);
}

TEST_F(SoundScriptTest, MissingFilesAreCountedPerRun) {
  vm.script = [] {
    load_sample("sound/a.wav", 1.0f);
    load_sample("sound/b.wav", 1.0f);
    load_music("sound/c.ogg", 0.0f);
    load_sample("sound/shot.wav", 1.0f);
    return std::string();
  };
  init_sound_script("sound/sound.nut");
  EXPECT_EQ(missing_sound_files, 3);
  ASSERT_FALSE(shown_error_messages.empty());
  EXPECT_EQ(shown_error_messages.back(), "3 missing sound files");

  // The reload counts afresh.
  vm.changed = true;
  check_sound_script();
  EXPECT_EQ(missing_sound_files, 3);
  EXPECT_EQ(shown_error_messages.back(), "3 missing sound files");
}

TEST_F(SoundScriptTest, ReloadReleasesTheBindingsBeforeFreeingAndLoadsAnew) {
  init_sound_script("sound/sound.nut");
  SoundId oldShot = shot;
  unsigned int voice = play_sfx_event(0, 1.0f, 0.0f);
  ASSERT_NE(voice, 0u);

  check_sound_script();  // nothing changed: nothing happens
  EXPECT_EQ(get_sample(oldShot) != nullptr, true);

  vm.calls.clear();
  vm.changed = true;
  check_sound_script();
  ASSERT_GE(vm.calls.size(), 3u);
  EXPECT_EQ(vm.calls[0], "release");
  EXPECT_EQ(vm.calls[1], "reload");
  // The bindings went while the old sounds still existed.
  EXPECT_EQ(vm.samplesAtRelease, 2);
  EXPECT_EQ(shown_error_messages.front(), "");
  EXPECT_FALSE(soloud.isValidVoiceHandle(voice));
  EXPECT_EQ(get_sample(oldShot), nullptr);
  EXPECT_NE(get_sample(shot), nullptr);
  EXPECT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
}

TEST_F(SoundScriptTest, FailedReloadLeavesNoEventThatReachesAFreedSound) {
  init_sound_script("sound/sound.nut");
  ASSERT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  vm.script = [] { return std::string("sound/sound.nut:9: syntax error"); };
  vm.changed = true;
  check_sound_script();
  EXPECT_EQ(shown_error_messages.back(), "Error in sound script:\nsound/sound.nut:9: syntax error");
  EXPECT_EQ(sound_samples.num, 0);
  vm.calls.clear();
  EXPECT_EQ(play_sfx_event(0, 1.0f, 0.0f), 0u);
  EXPECT_EQ(play_sfx_event(40, 1.0f, 0.0f), 0u);
  EXPECT_TRUE(vm.calls.empty());
  // Even a function that kept an old id plays nothing: the id no longer resolves.
  EXPECT_EQ(play_sfx(shot, 1.0f, 0.0f), 0u);
}

TEST_F(SoundScriptTest, CloseReleasesFreesAndClosesInThatOrder) {
  init_sound_script("sound/sound.nut");
  vm.calls.clear();
  close_sound_script();
  EXPECT_EQ(vm.calls, (std::vector<std::string>{"release", "close"}));
  EXPECT_EQ(vm.samplesAtRelease, 2);
  EXPECT_EQ(sound_samples.num, 0);
  EXPECT_EQ(sound_streams.num, 0);
}

TEST_F(SoundScriptTest, SameGameSeedGivesTheSameScriptSequence) {
  uint64_t seed = game_rnd_seed;
  init_sound_script("sound/sound.nut");
  int first[3] = {game_rnd(), game_rnd(), game_rnd()};
  close_sound_script();
  init_sound_script("sound/sound.nut");
  int second[3] = {game_rnd(), game_rnd(), game_rnd()};
  EXPECT_EQ(std::vector<int>(first, first + 3), std::vector<int>(second, second + 3));
  EXPECT_EQ(game_rnd_seed, seed);
  // A reload does not copy the seed again: the sequence goes on.
  vm.changed = true;
  check_sound_script();
  EXPECT_NE(game_rnd(), first[0]);
}

TEST_F(SoundScriptTest, VmThatCannotBeCreatedIsFatal) {
  vm.canOpen = false;
  EXPECT_EXIT(init_sound_script("sound/sound.nut"), ::testing::ExitedWithCode(100), "error creating sound script VM");
}

TEST(AudioStartUp, StartsHeadlessOnTheNullBackEndWithTheMusicVolumeSetting) {
  ASSERT_NE(PHYSFS_init(nullptr), 0);
  const char* source = getenv("TORVANE_SOURCE_DIR");
  ASSERT_NE(PHYSFS_mount((std::string(source ? source : "../..") + "/data").c_str(), nullptr, 1), 0);
  shown_error_messages.clear();
  set_config_int("music_volume", 5000);
  ::testing::internal::CaptureStdout();
  init_audio();
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("Initializing SoLoud..."), std::string::npos);
  EXPECT_NE(log.find("SoLoud: null driver, 44100 Hz x 2, 1024"), std::string::npos) << log;
  EXPECT_NE(sfx_bus_handle, 0u);
  EXPECT_NE(ui_bus_handle, 0u);
  EXPECT_NE(music_bus_handle, 0u);
  EXPECT_FLOAT_EQ(get_bus_volume(music_bus_handle), 0.5f);
  EXPECT_FLOAT_EQ(get_bus_volume(sfx_bus_handle), 1.0f);
  EXPECT_EQ(soloud.getMaxActiveVoiceCount(), 64u);
  EXPECT_TRUE(soloud.getVisualizationEnable());
  // The shipped sound script ran: its events play on the null back end.
  EXPECT_TRUE(shown_error_messages.empty());
  EXPECT_GT(sound_samples.num, 40);
  EXPECT_NE(play_sfx_event(get_sound_event("ui_click"), 1.0f, 0.0f), 0u);
  close_audio();
  EXPECT_EQ(sound_samples.num, 0);
  EXPECT_EQ(sfx_bus_handle, 0u);
  EXPECT_EQ(music_bus_handle, 0u);
  EXPECT_EQ(soloud.getVoiceCount(), 0u);
  close_app_config();
  PHYSFS_deinit();
}
