// The sound-event table, the host of the sound script (start, binding, reload, close)
// with small scripts, and each event playing on its bus.
#include <climits>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "audio_fixture.h"
#include "engine/audio/sound_events.h"
#include "engine/audio/sound_natives.h"
#include "engine/core/settings.h"
#include "engine/gui/visual_log.h"
#include "engine/shared/level_map.h"
#include "tests/support/test_child.h"

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

// A script with three events, one per bus. `calls` counts the event calls and
// `shot` keeps the id of the effect's sample, for the tests to read.
static const char* const three_bus_script = R"(
  calls <- 0
  shot <- load_sample("sound/shot.wav", 1.0)
  local click = load_sample("sound/click.wav", 1.0)
  local theme = load_music("sound/theme.wav", 0.0)
  events <- {
    pistol_shot = function(volume, pan) { ::calls++; return play_sfx(::shot, volume, pan) }
    ui_click = function(volume, pan) { ::calls++; return play_ui(click, volume) }
    title_screen = function(volume, pan) { ::calls++; return play_music(theme) }
  }
)";

struct SoundScriptTest : AudioTest {
  void SetUp() override {
    AudioTest::SetUp();
    write_constant("sound/shot.wav", 0.5f, 20000);
    write_constant("sound/click.wav", 0.25f, 20000);
    write_constant("sound/theme.wav", 0.125f, 20000);
    write_script("sound/sound.nut", three_bus_script, 30);
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
  ASSERT_NE(sound_script_vm.getVM(), nullptr);
  ASSERT_EQ(sound_script_vm.files.num, 1);
  EXPECT_STREQ(sound_script_vm.files[0].name.c_str(), "sound/sound.nut");
  EXPECT_EQ(count_of(log, "warning: no sound for event '"), 50) << log;
  EXPECT_EQ(count_of(log, "warning: no sound for event 'punch_hit'"), 1);
  EXPECT_EQ(count_of(log, "warning: no sound for event 'ui_click'"), 0);
  EXPECT_EQ(count_of(log, "(null)"), 0);
  // Every named event is looked up in the script's VM; the reserved id never is.
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    EXPECT_EQ(sound_events[id].vm, id == 34 ? nullptr : sound_script_vm.getVM()) << id;
  EXPECT_FALSE(sound_events[0].isNull());
  EXPECT_TRUE(sound_events[4].isNull());
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
  EXPECT_EQ(sound_script_global("calls"), 3);

  // An event without a function is logged and plays nothing.
  EXPECT_EQ(play_sfx_event(4, 1.0f, 0.0f), 0u);
  EXPECT_EQ(logged_sound_events.back(), 4);
  play_misc_sound_event(40);
  EXPECT_EQ(logged_sound_events.back(), 40);
  EXPECT_EQ(sound_script_global("calls"), 4);
  EXPECT_TRUE(shown_error_messages.empty());
}

TEST_F(SoundScriptTest, IdsOutOfRangeAndTheReservedIdPlayAndLogNothing) {
  init_sound_script("sound/sound.nut");
  for (int id : {-1, 54, 34, INT_MIN, INT_MAX})
    EXPECT_EQ(play_sfx_event(id, 1.0f, 0.0f), 0u) << id;
  EXPECT_TRUE(logged_sound_events.empty());
  EXPECT_EQ(sound_script_global("calls"), 0);
}

TEST_F(SoundScriptTest, FailingEventShowsItsNameAndTheError) {
  write_script("sound/sound.nut", "events <- { punch_swing = function(v, p) { return \"no voice\" } }\n", 30);
  init_sound_script("sound/sound.nut");
  EXPECT_EQ(play_sfx_event(3, 1.0f, 0.0f), 0u);
  ASSERT_FALSE(shown_error_messages.empty());
  EXPECT_EQ(shown_error_messages.back(), "Error in sound script [punch_swing]:\nsq_get*() failed (type error)");
  // The GUI holds it as its on-screen message.
  ASSERT_TRUE(has_error_message());
  EXPECT_STREQ(error_message_text.data, shown_error_messages.back().c_str());
}

TEST_F(SoundScriptTest, ScriptErrorsAndAMissingEventsTableAreShownAndTheGameGoesOn) {
  write_script("sound/sound.nut", "events <- {\n  pistol_shot = function(v, p) { return 1 }\n  ui_click = \n", 30);
  init_sound_script("sound/sound.nut");
  ASSERT_EQ(shown_error_messages.size(), 1u);
  EXPECT_EQ(shown_error_messages[0].rfind("Error in sound script:\n", 0), 0u) << shown_error_messages[0];
  EXPECT_GT(shown_error_messages[0].size(), strlen("Error in sound script:\n"));
  EXPECT_EQ(play_sfx_event(0, 1.0f, 0.0f), 0u);
  close_sound_script();

  write_script("sound/sound.nut", "local nothing = 0\n", 30);
  shown_error_messages.clear();
  ::testing::internal::CaptureStdout();
  init_sound_script("sound/sound.nut");
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("getGlobal 'events' failed"), std::string::npos) << log;
  ASSERT_EQ(shown_error_messages.size(), 1u);
  EXPECT_EQ(shown_error_messages[0], "Error in sound script:\nthe index 'events' does not exist");
  close_sound_script();

  // A very long error text is shown whole.
  std::string longError(5000, 'x');
  write_script("sound/sound.nut", "throw \"" + longError + "\"\n", 30);
  init_sound_script("sound/sound.nut");
  EXPECT_EQ(shown_error_messages.back(), "Error in sound script:\n" + longError);
}

TEST_F(SoundScriptTest, MissingFilesAreCountedPerRun) {
  write_script("sound/sound.nut", R"(
    load_sample("sound/a.wav", 1.0)
    load_sample("sound/b.wav", 1.0)
    load_music("sound/c.ogg", 0.0)
    load_sample("sound/shot.wav", 1.0)
    events <- {}
  )", 30);
  init_sound_script("sound/sound.nut");
  EXPECT_EQ(missing_sound_files, 3);
  ASSERT_FALSE(shown_error_messages.empty());
  EXPECT_EQ(shown_error_messages.back(), "3 missing sound files");

  // The reload counts afresh.
  write_script("sound/sound.nut", R"(
    load_sample("sound/a.wav", 1.0)
    load_sample("sound/b.wav", 1.0)
    load_music("sound/c.ogg", 0.0)
    events <- {}
  )", 20);
  mark_sound_script_changed();
  check_sound_script();
  EXPECT_EQ(missing_sound_files, 3);
  EXPECT_EQ(shown_error_messages.back(), "3 missing sound files");
}

TEST_F(SoundScriptTest, ReloadRunsTheChangedScriptInAFreshVmAndThenLetsTheOldSoundsGo) {
  init_sound_script("sound/sound.nut");
  HSQUIRRELVM old_vm = sound_script_vm.getVM();
  SoundId oldShot = (SoundId)sound_script_global("shot");
  ASSERT_NE(get_sample(oldShot), nullptr);
  unsigned int voice = play_sfx_event(0, 1.0f, 0.0f);
  ASSERT_NE(voice, 0u);

  check_sound_script();  // nothing changed: nothing happens
  EXPECT_NE(get_sample(oldShot), nullptr);
  EXPECT_EQ(sound_script_vm.getVM(), old_vm);

  // A notification without a new time is no change either.
  mark_sound_script_changed();
  check_sound_script();
  EXPECT_NE(get_sample(oldShot), nullptr);
  EXPECT_EQ(sound_script_vm.getVM(), old_vm);

  // The new run sees nothing of the old one: no globals, and no sounds loaded yet.
  write_script("sound/sound.nut",
               std::string("fresh <- !(\"calls\" in getroottable()) && load_sample(\"sound/shot.wav\", 1.0) == ") +
                   std::to_string(oldShot) + " + (1 << 20)\n" + three_bus_script,
               20);
  mark_sound_script_changed();
  check_sound_script();
  EXPECT_EQ(shown_error_messages.front(), "");
  ASSERT_EQ(shown_error_messages.size(), 1u) << shown_error_messages.back();
  EXPECT_NE(sound_script_vm.getVM(), old_vm);
  HSQUIRRELVM vm = sound_script_vm.getVM();
  sq_pushroottable(vm);
  sq_pushstring(vm, "fresh", -1);
  SQBool fresh = SQFalse;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
  sq_getbool(vm, -1, &fresh);
  sq_pop(vm, 2);
  EXPECT_TRUE(fresh) << "a fresh root table, and the first sample's id of the next generation";
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    EXPECT_EQ(sound_events[id].vm, id == 34 ? nullptr : vm) << id;
  // The old sounds went once the new script had bound its events.
  EXPECT_FALSE(soloud.isValidVoiceHandle(voice));
  EXPECT_EQ(get_sample(oldShot), nullptr);
  EXPECT_EQ(sound_samples.num, 3);
  SoundId newShot = (SoundId)sound_script_global("shot");
  EXPECT_NE(newShot, oldShot);
  EXPECT_NE(get_sample(newShot), nullptr);
  EXPECT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  EXPECT_EQ(sound_script_global("calls"), 1);
}

TEST_F(SoundScriptTest, FailedReloadKeepsTheOldScriptItsSoundsAndItsVoices) {
  init_sound_script("sound/sound.nut");
  HSQUIRRELVM old_vm = sound_script_vm.getVM();
  SoundId shot = (SoundId)sound_script_global("shot");
  unsigned int music = play_sfx_event(33, 1.0f, 0.0f);
  ASSERT_NE(music, 0u);
  write_script("sound/sound.nut", "local s = load_sample(\"sound/click.wav\", 1.0)\nevents <- { pistol_shot = 1 }\n}\n",
               20);
  mark_sound_script_changed();
  check_sound_script();
  EXPECT_EQ(shown_error_messages.back().rfind("Error in sound script:\n", 0), 0u) << shown_error_messages.back();
  EXPECT_EQ(sound_script_vm.getVM(), old_vm);
  ASSERT_EQ(sound_script_vm.files.num, 1);
  EXPECT_STREQ(sound_script_vm.files[0].name.c_str(), "sound/sound.nut");
  EXPECT_EQ(sound_samples.num, 2);
  EXPECT_EQ(sound_streams.num, 1);
  EXPECT_TRUE(soloud.isValidVoiceHandle(music)) << "the music plays on";
  EXPECT_EQ(get_sample(shot), sound_samples[0]) << "the old ids name the old sounds";
  EXPECT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  EXPECT_NE(play_sfx_event(40, 1.0f, 0.0f), 0u);
  EXPECT_EQ(sound_script_global("calls"), 3);

  // Mended: the change is seen again and the new script takes over.
  write_script("sound/sound.nut", three_bus_script, 10);
  mark_sound_script_changed();
  check_sound_script();
  EXPECT_EQ(shown_error_messages.back(), "");
  EXPECT_NE(sound_script_vm.getVM(), old_vm);
  EXPECT_FALSE(soloud.isValidVoiceHandle(music));
  EXPECT_EQ(get_sample(shot), nullptr);
  EXPECT_EQ(sound_script_global("calls"), 0);
}

TEST_F(SoundScriptTest, CloseReleasesFreesAndCloses) {
  init_sound_script("sound/sound.nut");
  close_sound_script();
  EXPECT_EQ(sound_script_vm.getVM(), nullptr);
  EXPECT_EQ(sound_script_vm.files.num, 0);
  for (int id = 0; id < NUM_SOUND_EVENTS; id++) {
    EXPECT_EQ(sound_events[id].vm, nullptr) << id;
    EXPECT_TRUE(sound_events[id].closure.isNull()) << id;
  }
  EXPECT_EQ(sound_samples.num, 0);
  EXPECT_EQ(sound_streams.num, 0);
  EXPECT_EQ(play_sfx_event(0, 1.0f, 0.0f), 0u);
}

TEST_F(SoundScriptTest, StartingAgainReleasesTheOldBindingsFirst) {
  init_sound_script("sound/sound.nut");
  ASSERT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  init_sound_script("sound/sound.nut");
  ASSERT_NE(sound_script_vm.getVM(), nullptr);
  EXPECT_EQ(sound_events[0].vm, sound_script_vm.getVM());
  EXPECT_EQ(sound_script_vm.files.num, 1);
  EXPECT_NE(play_sfx_event(0, 1.0f, 0.0f), 0u);
  EXPECT_EQ(sound_script_global("calls"), 1);
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
  write_script("sound/sound.nut", three_bus_script, 20);
  mark_sound_script_changed();
  check_sound_script();
  EXPECT_EQ(shown_error_messages.front(), "");
  EXPECT_NE(game_rnd(), first[0]);
}

// A VM that cannot be opened.
struct UnopenableVM : SqReloadableVM {
  bool init(int) override { return false; }
};

TEST_F(SoundScriptTest, VmThatCannotBeCreatedIsFatal) {
  UnopenableVM vm;
  EXPECT_EXIT(open_sound_script_vm(vm), ::testing::ExitedWithCode(100), "error creating sound script VM");
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
  for (SoLoud::Bus* bus : {&sfx_bus, &ui_bus, &music_bus})
    EXPECT_TRUE(bus->mVisualizationEnabled);
  // Played in the order effects, interface, music into the main mix, at full on both
  // speakers: slots are taken first come, so the handles' slot bits rise in that order.
  EXPECT_LT(sfx_bus_handle & 0xfff, ui_bus_handle & 0xfff);
  EXPECT_LT(ui_bus_handle & 0xfff, music_bus_handle & 0xfff);
  EXPECT_EQ(sfx_bus.mChannelHandle, sfx_bus_handle);
  EXPECT_EQ(ui_bus.mChannelHandle, ui_bus_handle);
  EXPECT_EQ(music_bus.mChannelHandle, music_bus_handle);
  // Centre panning would give cos(pi/4) on each speaker.
  EXPECT_FLOAT_EQ(soloud.getOverallVolume(sfx_bus_handle), 1.0f);
  EXPECT_FLOAT_EQ(soloud.getOverallVolume(ui_bus_handle), 1.0f);
  EXPECT_FLOAT_EQ(soloud.getOverallVolume(music_bus_handle), 0.5f);
  // The shipped sound script ran: its events play on the null back end.
  EXPECT_TRUE(shown_error_messages.empty());
  EXPECT_GT(sound_samples.num, 40);
  EXPECT_NE(play_sfx_event(get_sound_event("ui_click"), 1.0f, 0.0f), 0u);
  ::testing::internal::CaptureStdout();
  close_audio();
  log = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("closing SoLoud"), std::string::npos) << log;
  EXPECT_EQ(sound_samples.num, 0);
  EXPECT_EQ(sfx_bus_handle, 0u);
  EXPECT_EQ(music_bus_handle, 0u);
  EXPECT_EQ(soloud.getVoiceCount(), 0u);
  close_app_config();
  PHYSFS_deinit();
}

// The audio start-up with a display named (so not headless; no display is opened) and
// the sound device the parent's environment chooses.
TEST(AudioStartUpChild, OnTheDeviceOfTheEnvironment) {
  if (!getenv("TORVANE_TEST_CHILD"))
    GTEST_SKIP() << "runs only as a child process of another test";
  init_audio();
}

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A sound device that can't be opened, or an audio driver that doesn't exist: SDL's
// reason is logged on the line before the fatal error, and the error message keeps
// the mixer's text and adds that reason.
TEST(AudioStartUp, ADeviceThatCannotStartIsFatalWithTheBackEndsReason) {
  std::string home = getenv("XDG_DATA_HOME");
  std::string unwritable = home + "/no_such_folder/out.raw";
  struct Case {
    const char* name;
    std::vector<std::string> env;
    std::string message;  // the mixer's text, then SDL's reason
    std::string reason;
  } cases[] = {
      {"no device", {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + unwritable}, "Other error",
       "Couldn't open " + unwritable},
      {"no driver", {"SDL_AUDIODRIVER=no_such_driver"}, "Audio library or device not available",
       "Audio target 'no_such_driver' not available"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.env.insert(c.env.end(), {"TORVANE_HEADLESS=0", "DISPLAY=:0"});
    std::string out_path = home + "/audio_child.out";
    ChildExit child = run_test_child("/proc/self/exe", "child", "AudioStartUpChild.OnTheDeviceOfTheEnvironment", home,
                                     c.env, out_path, out_path);
    std::string out = file_text(out_path), log = file_text(home + "/TORVANE/log.txt");
    EXPECT_EQ(child.exit_code, 100) << out;
    std::string error = "error initializing SoLoud: " + c.message + " (" + c.reason + ")";
    size_t reason_at = log.find("| SoLoud back end: " + c.reason + "\n");
    ASSERT_NE(reason_at, std::string::npos) << log;
    size_t next_line = log.find('\n', reason_at) + 1;
    std::string next = log.substr(next_line, log.find('\n', next_line) - next_line);
    EXPECT_EQ(next.substr(std::min(next.size(), next.find("| ") + 2), error.size() + 2), error + ": ")
        << "the fatal error's report on the next line\n"
        << log;
    EXPECT_NE(log.find("| ERROR: " + error + "\n"), std::string::npos) << log;
    EXPECT_NE(out.find("TORVANE! 0.20 - FATAL ERROR: " + error + "\n"), std::string::npos) << out;
  }
}
