// The scene step: developer keys (through the real input road), the screenshot key,
// the order of the step's work, the periodic reload and the sound-event log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/audio/sound_events.h"
#include "engine/core/log.h"
#include "engine/gui/gui_screen.h"
#include "engine/gui/visual_log.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "support/engine_calls.h"
#include "tests/support/game_window.h"
#include "tests/support/stand_in_module.h"

namespace {

using Lines = std::vector<std::string>;

class StepMode : public GameMode {
 public:
  std::function<void()> on_update;
  void enter(GameMode*) override {}
  void leave(GameMode*) override {}
  void update(float dt) override {
    record_callf("mode update(%g)", dt);
    if (on_update)
      on_update();
  }
  void render(float) override {}
  void renderOverlay(float) override {}
  void onResize() override {}
};

struct Flags {
  bool fps, paused, vis_debug, postfx, sound_log;
  bool operator==(const Flags& o) const {
    return fps == o.fps && paused == o.paused && vis_debug == o.vis_debug && postfx == o.postfx &&
           sound_log == o.sound_log;
  }
};
std::ostream& operator<<(std::ostream& os, const Flags& f) {
  return os << "fps " << f.fps << " paused " << f.paused << " vis " << f.vis_debug << " postfx " << f.postfx
            << " sound log " << f.sound_log;
}
Flags flags() { return {show_fps, game_paused, use_vis_debug, use_postfx, sound_event_logging}; }

class SceneStepTest : public ::testing::Test {
 protected:
  StepMode mode;
  void SetUp() override {
    game_window::open();
    connect_engine_hooks();  // the sound events reach the shell's log, as in the game
    install_stand_in_module(STAND_IN_ALL);
    reset_engine_calls();
    show_fps = game_paused = use_vis_debug = sound_event_logging = false;
    use_postfx = true;
    use_dev_tools = true;
    reached_exit = false;
    clear_visual_log();
    cur_game_mode = &mode;
    d3d_wd = 1280;
    d3d_ht = 720;
    update_screen_layout();
  }
  void TearDown() override {
    release({VK_CONTROL, VK_SNAPSHOT});
    cur_game_mode = nullptr;
    use_dev_tools = false;
    game_paused = false;
    use_postfx = true;
    show_fps = use_vis_debug = sound_event_logging = false;
    clear_visual_log();
  }
  // One update in which the keys were pressed and released (Ctrl held when asked).
  void step_with(std::initializer_list<int> keys, bool ctrl = false, bool active = true) {
    if (ctrl)
      game_window::post_key(VK_CONTROL, true);
    for (int k : keys)
      game_window::tap(k);
    game_window::pump();
    isAppActive = active;
    call_log.clear();
    start_scene_update(0.05f);
    game_window::end_update();
    if (ctrl)
      release({VK_CONTROL});
  }
  void release(std::initializer_list<int> keys) {
    for (int k : keys)
      game_window::post_key(k, false);
    game_window::pump();
    game_window::end_update();
  }
};

TEST_F(SceneStepTest, EachDeveloperKeyTogglesItsFlag) {
  struct Case {
    int key;
    Flags after;
  };
  const Case cases[] = {
      {VK_F1, {true, false, false, true, false}},  {VK_F2, {false, true, false, true, false}},
      {VK_F4, {false, false, true, true, false}},  {VK_F6, {false, false, false, false, false}},
      {VK_F3, {false, false, false, true, true}},
  };
  for (const Case& c : cases) {
    Flags before = flags();
    step_with({c.key});
    EXPECT_EQ(flags(), c.after) << "key " << c.key;
    step_with({c.key});
    EXPECT_EQ(flags(), before) << "a second press toggles back, key " << c.key;
  }
}

TEST_F(SceneStepTest, SeveralKeysInOneUpdateAllAct) {
  step_with({VK_F1, VK_F2, VK_F4, VK_F6});
  EXPECT_EQ(flags(), (Flags{true, true, true, false, false}));
}

TEST_F(SceneStepTest, NoDeveloperKeyActsInAnInactiveWindowOrWithoutDeveloperTools) {
  step_with({VK_F1, VK_F2, VK_F3, VK_F4, VK_F6}, false, false);
  EXPECT_EQ(flags(), (Flags{false, false, false, true, false}));
  step_with({VK_F1, VK_F4}, true, false);
  EXPECT_EQ(calls_named({"start_new_level"}), Lines{});
  EXPECT_FALSE(reached_exit);
  use_dev_tools = false;
  step_with({VK_F1, VK_F2, VK_F3, VK_F4, VK_F6});
  EXPECT_EQ(flags(), (Flags{false, false, false, true, false}));
}

TEST_F(SceneStepTest, WithCtrlF4StartsALevelAndThenF1ReachesTheExit) {
  reached_exit = false;
  step_with({VK_F1, VK_F4, VK_F2}, true);
  // start_new_level clears the flag: it is set again only when F1 is read after it.
  EXPECT_TRUE(reached_exit);
  EXPECT_EQ(calls_named({"start_new_level"}).size(), 1u);
  EXPECT_EQ(flags(), (Flags{false, false, false, true, false})) << "no other developer key is read";
  Lines order = calls_starting({"start_new_level", "mode update"});
  EXPECT_EQ(order, (Lines{"start_new_level", "mode update(0.05)"}));

  reached_exit = false;
  step_with({VK_F1}, true);
  EXPECT_TRUE(reached_exit);
  EXPECT_FALSE(show_fps);
  EXPECT_TRUE(calls_named({"start_new_level"}).empty());
}

TEST_F(SceneStepTest, F5SwapsPlayAndTheLevelViewerOnly) {
  for (GameMode* other : {title_mode, pause_menu_mode, gameover_mode, upgrade_mode}) {
    cur_game_mode = other;
    step_with({VK_F5});
    EXPECT_EQ(cur_game_mode, other);
    cur_game_mode = nullptr;
  }
  cur_game_mode = play_mode;
  step_with({VK_F5});
  EXPECT_EQ(cur_game_mode, view_level_mode);
  step_with({VK_F5});
  EXPECT_EQ(cur_game_mode, play_mode);
  set_game_mode(nullptr);
}

TEST_F(SceneStepTest, PrintScreenTakesOneShotOnRelease) {
  game_window::post_key(VK_SNAPSHOT, true);
  game_window::pump();
  isAppActive = true;
  call_log.clear();
  start_scene_update(0.05f);
  game_window::end_update();
  EXPECT_TRUE(calls_named({"take_screenshot"}).empty()) << "not while held";
  start_scene_update(0.05f);
  EXPECT_TRUE(calls_named({"take_screenshot"}).empty());

  use_dev_tools = false;  // not a developer key
  release({});
  game_window::post_key(VK_SNAPSHOT, false);
  game_window::pump();
  start_scene_update(0.05f);
  game_window::end_update();
  start_scene_update(0.05f);
  EXPECT_EQ(calls_named({"take_screenshot"}).size(), 1u);

  call_log.clear();
  step_with({VK_SNAPSHOT}, false, false);
  EXPECT_TRUE(calls_named({"take_screenshot"}).empty()) << "an inactive window takes none";
}

TEST_F(SceneStepTest, StepRunsTheModeWithTheMatricesOfTimeZeroThenTheGuiDeletions) {
  free_cam_pos = _mm_setr_ps(40.3f, 20.0f, 0, 1);
  Matrix44 at_update = {};
  int screens_during_update = -1;
  BaseGuiScreen* screen = new BaseGuiScreen;
  int screens_before = gui_live_screen_count();
  mode.on_update = [&] {
    at_update = cur_view_itm;
    screens_during_update = gui_live_screen_count();
    screen->destroy();
  };
  step_with({});
  EXPECT_FLOAT_EQ(at_update.m[3][0], 40.375f) << "snapped to the pixel grid and offset";
  EXPECT_FLOAT_EQ(cur_view_tm.m[3][0], -40.375f);
  EXPECT_EQ(screens_during_update, screens_before);
  EXPECT_EQ(gui_live_screen_count(), screens_before - 1) << "the screen went after the update";

  cur_game_mode = nullptr;
  call_log.clear();
  start_scene_update(0.05f);
  EXPECT_TRUE(call_log.empty()) << "no mode: no update";
}

TEST_F(SceneStepTest, PeriodicCheckReloadsInOrderOnlyWithDeveloperTools) {
  const Lines without_swap = {"reload_sprites", "reload_tiles", "reload_gameobj(0)", "check_sound_script",
                              "check_game_script"};
  call_log.clear();
  on_periodic_check();
  EXPECT_EQ(call_log, without_swap);

  engine_fakes.module_reloaded = true;
  call_log.clear();
  on_periodic_check();
  EXPECT_EQ(call_log, (Lines{"reload_sprites", "reload_tiles", "reload_gameobj(0)",
                             "game_script_after_gameobj_reload", "check_sound_script", "check_game_script"}));

  use_dev_tools = false;
  call_log.clear();
  on_periodic_check();
  EXPECT_TRUE(call_log.empty());
}

std::vector<std::string> visual_lines() {
  std::vector<std::string> out;
  for (const VisualLogLine& l : visual_log_lines)
    out.push_back(l.text);
  return out;
}

TEST_F(SceneStepTest, F3LogsEverySoundEventPlayedUntilPressedAgain) {
  play_sfx_event(8, 1.0f, 0.0f);
  EXPECT_TRUE(visual_lines().empty()) << "not logging yet";
  step_with({VK_F3});
  EXPECT_EQ(visual_lines(), (Lines{"logging sound events"}));
  testing::internal::CaptureStdout();
  play_sfx_event(7, 1.0f, 0.0f);
  play_sfx_event(40, 1.0f, 0.0f);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(visual_lines(), (Lines{"logging sound events", "sound event 'hero_dead'", "sound event 'ui_click'"}));
  EXPECT_NE(out.find("| sound event 'hero_dead'\n"), std::string::npos) << out;
  EXPECT_NE(out.find("| sound event 'ui_click'\n"), std::string::npos) << out;
  step_with({VK_F3});
  EXPECT_TRUE(visual_lines().empty());
  play_sfx_event(7, 1.0f, 0.0f);
  EXPECT_TRUE(visual_lines().empty());
}

TEST_F(SceneStepTest, ErrorMessagesOfTheSoundScriptReachTheScreen) {
  show_error_message("Error in sound script:\nbroken");
  ASSERT_TRUE(has_error_message());
  EXPECT_STREQ(error_message_text.begin(), "Error in sound script:\nbroken");
  show_error_message(nullptr);
  EXPECT_FALSE(has_error_message());
}

}  // namespace
