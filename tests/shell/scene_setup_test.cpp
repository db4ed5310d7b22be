// Scene start-up and close-down: the order of every call with the stand-in module,
// the close-down of a scene whose module is not linked, the settings the scene reads,
// real audio, and the profiler dump.
#include <gtest/gtest.h>
#include <physfs.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/audio/audio_engine.h"
#include "engine/core/settings.h"
#include "engine/render/d3d_device.h"
#include "engine/render/level_renderer.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/shell/window.h"
#include "libs/profiler/profiler.h"
#include "support/engine_calls.h"
#include "tests/support/stand_in_module.h"

namespace {

using Lines = std::vector<std::string>;

class SceneSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    close_app_config();
    std::remove((std::string(getenv("XDG_DATA_HOME")) + "/TORVANE/settings.cfg").c_str());
    install_stand_in_module(STAND_IN_ALL);
    uninstall_stand_in_module();  // linked by init_gameobj_dll
    reset_engine_calls();
    d3d_wd = 1280;
    d3d_ht = 720;
    cur_game_mode = nullptr;
    shouldHideMouse = false;
  }
  void TearDown() override {
    if (cur_game_mode || scene_image)
      close_scene();
    close_app_config();
  }
};

const Lines init_order = {
    "set_update_rate(20,5)",
    "init_audio",
    "create_screen_render_target",
    "init_sprites",
    "show_splash(Compiling background shaders,-1)",
    "init_background",
    "show_splash(Compiling post-effect shaders,-1)",
    "init_postfx",
    "init_debug_vis",
    "update_screen_layout",
    "init_gameobj_dll(../gameobj/,main.ls)",
    "init_game_script",
    "init_new_gui",
    "init_controls",
    "init_level_rendering",
    "init_play_level",
    "load_level_tiles",
    "create_level_renderer(level_data,3,12288,4096,528,322,182)",
    "init_bullets",
    "init_junk",
    "init_gameobj",
    "reset_game",
    "close_hero",
    "init_hero",
    "reset_game_script",
    "start_new_level",
    "remove_all_enemies",
    "remove_all_bonuses",
    "reset_lifts",
    "reset_bullets",
    "clear_junk",
    "reset_explosions",
    "reset_background",
    "delete_gameobj",
    "generate_level",
    "invalidate_all_renderer(renderer)",
    "play_sound_event_no_pos(25)",
    "open_main_menu",
};

const Lines close_order = {
    "close_game_menu",  // the title mode leaves
    "close_game_menu",
    "remove_all_gameobj",
    "close_play_level",
    "close_gameobj",
    "close_junk",
    "close_bullets",
    "destroy_renderer(renderer)",
    "free_level_tiles",
    "close_game_script",
    "close_gameobj_dll",
    "close_level_rendering",
    "close_debug_vis",
    "close_postfx",
    "close_background",
    "close_sprites",
    "destroy_texture(scene_image)",
    "close_audio",
};

TEST_F(SceneSetupTest, StartsEverythingInOrderAndEntersTheTitle) {
  cur_level = 7;
  up_points = 3;
  init_scene();
  EXPECT_EQ(call_log, init_order) << call_log_text();
  EXPECT_EQ(cur_game_mode, title_mode);
  EXPECT_EQ(scene_image, &fake_scene_image);
  EXPECT_TRUE(shouldHideMouse);
  EXPECT_EQ(voxel_scale, 4);
  EXPECT_EQ(cur_level, 1);
  EXPECT_EQ(up_points, 0);
  EXPECT_NE(level_renderer, nullptr);

  call_log.clear();
  close_scene();
  EXPECT_EQ(call_log, close_order) << call_log_text();
  EXPECT_EQ(cur_game_mode, nullptr);
  EXPECT_EQ(scene_image, nullptr);
  EXPECT_EQ(level_renderer, nullptr);
}

// fatal during the start-up runs the close-down with nothing started: no mode, no
// scene image, no module.
TEST_F(SceneSetupTest, ClosingWhatWasNeverStartedSkipsTheModuleAndTheImage) {
  close_scene();
  EXPECT_EQ(call_log, (Lines{"close_play_level", "close_junk", "destroy_renderer(null)", "free_level_tiles",
                             "close_game_script", "close_gameobj_dll", "close_level_rendering", "close_debug_vis",
                             "close_postfx", "close_background", "close_sprites", "close_audio"}))
      << call_log_text();
}

// The audio never started (a fatal error during start-up): closing it starts nothing
// and leaves the engine as a fresh run finds it, ready to start.
TEST_F(SceneSetupTest, ClosingAudioThatNeverStartedIsHarmless) {
  ASSERT_TRUE(PHYSFS_init(nullptr));
  ASSERT_TRUE(PHYSFS_mount((std::string(TORVANE_TEST_SOURCE_DIR) + "/data/").c_str(), nullptr, 1));
  real_engine_calls.insert("close_audio");
  close_scene();
  EXPECT_EQ(call_log.back(), "close_audio");
  EXPECT_EQ(soloud.getBackendString(), nullptr) << "no back end runs";
  EXPECT_EQ(soloud.getActiveVoiceCount(), 0u);

  real_engine_calls.insert("init_audio");
  init_audio();
  EXPECT_STREQ(soloud.getBackendString(), "null driver");
  for (unsigned int bus : {sfx_bus_handle, ui_bus_handle, music_bus_handle})
    EXPECT_TRUE(soloud.isValidVoiceHandle(bus)) << bus;
  EXPECT_FLOAT_EQ(get_bus_volume(music_bus_handle), 1.0f);
  close_audio();
  EXPECT_EQ(soloud.getBackendString(), nullptr);
  PHYSFS_deinit();
}

TEST_F(SceneSetupTest, ClosingWithTheModuleUnlinkedSkipsItsEntryPoints) {
  init_scene();
  set_game_mode(nullptr);
  uninstall_stand_in_module();
  call_log.clear();
  close_scene();
  EXPECT_EQ(call_log, (Lines{"close_play_level", "close_junk", "destroy_renderer(renderer)", "free_level_tiles",
                             "close_game_script", "close_gameobj_dll", "close_level_rendering", "close_debug_vis",
                             "close_postfx", "close_background", "close_sprites", "destroy_texture(scene_image)",
                             "close_audio"}))
      << call_log_text();
}

TEST_F(SceneSetupTest, NoSceneImageIsFatal) {
  engine_fakes.no_scene_image = true;
  EXPECT_EXIT(init_scene(), ::testing::ExitedWithCode(100), "can't create scene image texture");
}

TEST_F(SceneSetupTest, ScreenShakeSetting) {
  struct Case {
    const char* stored;  // null: absent
    float value;
  };
  const Case cases[] = {{nullptr, 1.0f}, {"0.5", 0.5f}, {"0", 0.0f},   {"2", 2.0f},     {"-2", 0.0f},
                        {"abc", 1.0f},   {"nan", 1.0f}, {"inf", 1.0f}, {"-inf", 1.0f}, {"", 1.0f}};
  for (const Case& c : cases) {
    close_app_config();
    if (c.stored)
      set_config_str("screen_shake", c.stored);
    screen_shake_setting = 123.0f;
    init_scene();
    EXPECT_EQ(screen_shake_setting, c.value) << (c.stored ? c.stored : "absent");
    close_scene();
  }
}

// The real audio start and close on the null back end, with the game's sound script.
TEST_F(SceneSetupTest, AudioStartsWithTheMusicVolumeSetting) {
  ASSERT_TRUE(PHYSFS_init(nullptr));
  ASSERT_TRUE(PHYSFS_mount((std::string(TORVANE_TEST_SOURCE_DIR) + "/data/").c_str(), nullptr, 1));
  real_engine_calls.insert("init_audio");
  real_engine_calls.insert("close_audio");
  struct Case {
    const char* stored;
    float volume;
  };
  for (const Case& c : {Case{nullptr, 1.0f}, Case{"5000", 0.5f}, Case{"0", 0.0f}, Case{"20000", 1.0f}}) {
    close_app_config();
    if (c.stored)
      set_config_str("music_volume", c.stored);
    init_scene();
    EXPECT_NE(music_bus_handle, 0u);
    EXPECT_NE(sfx_bus_handle, 0u);
    EXPECT_NE(ui_bus_handle, 0u);
    EXPECT_FLOAT_EQ(get_bus_volume(music_bus_handle), c.volume) << (c.stored ? c.stored : "absent");
    EXPECT_STREQ(soloud.getBackendString(), "null driver");
    close_scene();
    EXPECT_EQ(music_bus_handle, 0u);
    EXPECT_EQ(sfx_bus_handle, 0u);
    EXPECT_EQ(ui_bus_handle, 0u);
  }
  PHYSFS_deinit();
}

class ProfilerDumpTest : public SceneSetupTest {
 protected:
  std::string dump(const std::string& write_dir) {
    init_scene();
    profiler::setEnabled(true);
    { PROFILE_BLOCK("a block", 0xFF000000); }
    testing::internal::CaptureStdout();
    close_scene();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(profiler::isEnabled());
    return out;
  }
};

TEST_F(ProfilerDumpTest, DumpGoesToTheWriteFolderWhateverItsLength) {
  std::string dir = std::string(getenv("XDG_DATA_HOME")) + "/";
  // A write folder longer than the 256 characters a fixed buffer would hold.
  while (dir.size() < 300) {
    dir += "deeper-folder-name/";
    mkdir(dir.c_str(), 0755);
  }
  ASSERT_TRUE(PHYSFS_init(nullptr));
  ASSERT_TRUE(PHYSFS_setWriteDir(dir.c_str()));
  std::string out = dump(dir);
  PHYSFS_deinit();
  std::string path = dir + "game.prof";
  EXPECT_NE(out.find("dumping profiler data..."), std::string::npos) << out;
  EXPECT_NE(out.find("blocks to " + path), std::string::npos) << out;
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
}

TEST_F(ProfilerDumpTest, NoWriteFolderSkipsTheDump) {
  std::string out = dump("");
  EXPECT_NE(out.find("dumping profiler data..."), std::string::npos) << out;
  EXPECT_NE(out.find("no write folder, profiler data not dumped"), std::string::npos) << out;
  EXPECT_EQ(out.find("blocks to"), std::string::npos) << out;
}

TEST_F(ProfilerDumpTest, NothingIsDumpedWithTheProfilerOff) {
  init_scene();
  testing::internal::CaptureStdout();
  close_scene();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("profiler"), std::string::npos) << out;
}

}  // namespace
