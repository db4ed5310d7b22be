// Game modes with the stand-in module: the switch and its protocol, the game
// flow (new game, level start, level advance), the play step, the world render, the
// menu modes and game over. Keys reach the modes through the real input road.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/geometry.h"
#include "engine/core/settings.h"
#include "engine/render/postfx.h"
#include "engine/shell/controls.h"
#include "engine/render/level_renderer.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "support/engine_calls.h"
#include "tests/support/game_window.h"
#include "tests/support/stand_in_module.h"

namespace {

using Lines = std::vector<std::string>;


class ModesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    game_window::open();
    close_app_config();
    std::remove((std::string(getenv("XDG_DATA_HOME")) + "/TORVANE/settings.cfg").c_str());
    install_stand_in_module(STAND_IN_ALL);
    reset_engine_calls();
    init_controls();
    d3d_wd = 1280;
    d3d_ht = 720;
    update_screen_layout();
    cur_game_mode = nullptr;
    game_paused = use_vis_debug = reached_exit = should_close_game_menu = false;
    cur_level = 1;
    up_points = 0;
    level_play_time = game_play_time = 0.0;
    shake_time = 0.0f;
    screen_shake_x = screen_shake_y = 0.0f;
    screen_shake_setting = 1.0f;
    postfx_final_color = _mm_setzero_ps();
    memset(level_data, 0, sizeof(level_data));
    call_log.clear();
  }
  void TearDown() override {
    cur_game_mode = nullptr;
    game_paused = use_vis_debug = reached_exit = should_close_game_menu = false;
    postfx_final_color = _mm_setzero_ps();
    elevator_mode_instance.freeLift();
    game_window::end_update();
  }
  // Makes a mode current without the log of its entering.
  void start_in(GameMode* mode) {
    set_game_mode(mode);
    call_log.clear();
  }
  void step() { cur_game_mode->update(0.05f); }
  void press_menu_button() {
    game_window::tap(VK_ESCAPE);
    game_window::pump();
  }
};

// ---- switching -----------------------------------------------------------------------------

class ProbeMode : public GameMode {
 public:
  const char* name;
  explicit ProbeMode(const char* n) : name(n) {}
  static std::string name_of(GameMode* m) { return m ? static_cast<ProbeMode*>(m)->name : "null"; }
  void enter(GameMode* previous) override {
    record_callf("%s enter(%s) current %s", name, name_of(previous).c_str(), name_of(cur_game_mode).c_str());
  }
  void leave(GameMode* next) override {
    record_callf("%s leave(%s) current %s", name, name_of(next).c_str(), name_of(cur_game_mode).c_str());
  }
  void update(float) override { record_callf("%s update", name); }
  void render(float) override {}
  void renderOverlay(float) override {}
  void onResize() override {}
};

TEST_F(ModesTest, SwitchLeavesTheOldModeThenEntersTheNewOne) {
  ProbeMode a("a"), b("b");
  set_game_mode(&a);
  set_game_mode(&b);
  set_game_mode(&b);
  set_game_mode(nullptr);
  EXPECT_EQ(call_log, (Lines{"a enter(null) current a", "a leave(b) current a", "b enter(a) current b",
                             "b leave(null) current b"}));
  EXPECT_EQ(cur_game_mode, nullptr);
  call_log.clear();
  start_scene_update(0.05f);
  EXPECT_TRUE(calls_starting({"a ", "b "}).empty()) << "no mode: the step calls none";
}

TEST_F(ModesTest, GoToMainMenuEntersTheTitleFromAnyMode) {
  for (GameMode* from : {play_mode, pause_menu_mode, gameover_mode, upgrade_mode}) {
    start_in(from);
    go_to_main_menu();
    EXPECT_EQ(cur_game_mode, title_mode);
    EXPECT_EQ(call_log.back(), "open_main_menu");
    cur_game_mode = nullptr;
  }
}

// ---- the game flow ---------------------------------------------------------------------------

TEST_F(ModesTest, ResetGameStartsAtLevelOneWithNewHero) {
  cur_level = 9;
  up_points = 40;
  game_play_time = level_play_time = 33.0;
  reset_game();
  EXPECT_EQ(cur_level, 1);
  EXPECT_EQ(up_points, 0);
  EXPECT_EQ(game_play_time, 0.0);
  EXPECT_EQ(level_play_time, 0.0);
  EXPECT_EQ(call_log, (Lines{"reset_game", "close_hero", "init_hero", "reset_game_script"}));
}

TEST_F(ModesTest, StartNewLevelEmptiesTheWorldGeneratesAndPlaysItsSound) {
  cur_level = 3;
  up_points = 10;
  game_play_time = 12.0;
  level_play_time = 5.0;
  shake_time = 2.0f;
  screen_shake_x = 4.0f;
  reached_exit = true;
  start_new_level();
  EXPECT_EQ(call_log, (Lines{"start_new_level", "remove_all_enemies", "remove_all_bonuses", "reset_lifts",
                             "reset_bullets", "clear_junk", "reset_explosions", "reset_background", "delete_gameobj",
                             "generate_level", "invalidate_all_renderer(null)", "play_sound_event_no_pos(25)"}));
  EXPECT_FALSE(reached_exit) << "an exit reached before does not carry over";
  EXPECT_EQ(shake_time, 0.0f);
  EXPECT_EQ(level_play_time, 0.0);
  EXPECT_EQ(cur_level, 3);
  EXPECT_EQ(up_points, 10);
  EXPECT_EQ(game_play_time, 12.0);
  EXPECT_EQ(screen_shake_x, 4.0f);
}

TEST_F(ModesTest, LevelStartSoundByLevelNumber) {
  const int table[][2] = {{1, 25},  {4, 25},  {5, 26},  {6, 27},  {9, 27},  {10, 28}, {11, 29}, {14, 29},
                          {15, 30}, {16, 31}, {19, 31}, {20, 32}, {21, 31}, {100, 31}, {0, 25}, {-3, 25}};
  for (const auto& row : table) {
    EXPECT_EQ(level_start_sound(row[0]), row[1]) << "level " << row[0];
    cur_level = row[0];
    call_log.clear();
    start_new_level();
    char expected[64];
    snprintf(expected, sizeof(expected), "play_sound_event_no_pos(%d)", row[1]);
    EXPECT_EQ(calls_named({"play_sound_event_no_pos"}), Lines{expected});
  }
}

TEST_F(ModesTest, NewLevelTellsTheCurrentModeLast) {
  ProbeMode probe("probe");
  class NewLevelProbe : public ProbeMode {
   public:
    NewLevelProbe() : ProbeMode("viewer") {}
    void onNewLevel() override { record_call("onNewLevel"); }
  } viewer;
  start_in(&viewer);
  start_new_level();
  EXPECT_EQ(call_log.back(), "onNewLevel");
  cur_game_mode = &probe;  // the default onNewLevel does nothing
  call_log.clear();
  start_new_level();
  EXPECT_EQ(call_log.back(), "play_sound_event_no_pos(25)");
}

TEST_F(ModesTest, AdvanceLevelTwiceAddsTwoLevelsAndTenPoints) {
  cur_level = 2;
  up_points = 1;
  advance_level();
  advance_level();
  EXPECT_EQ(cur_level, 4);
  EXPECT_EQ(up_points, 11);
  EXPECT_EQ(call_log, (Lines{"advance_level", "game_script_torvane(level 3, points 6)", "advance_level",
                             "game_script_torvane(level 4, points 11)"}));
}

// ---- the play step -------------------------------------------------------------------------------

TEST_F(ModesTest, PlayStepAdvancesTheWorldAndTheClocks) {
  start_in(play_mode);
  step();
  EXPECT_EQ(call_log, (Lines{"update_gameobj(0.05)", "update_junk(0.05)", "update_hud"}));
  EXPECT_FLOAT_EQ(shake_time, 0.05f);
  EXPECT_DOUBLE_EQ(level_play_time, 0.05f);
  EXPECT_DOUBLE_EQ(game_play_time, 0.05f);
  EXPECT_EQ(cur_game_mode, play_mode);
}

TEST_F(ModesTest, ShakeDecaysEachStepAndEndsAtATenth) {
  start_in(play_mode);
  struct Case {
    float amplitude, dt, after;
  };
  const Case cases[] = {
      {2.0f, 0.05f, 1.6f},      // 0.8 per step at 20 steps a second
      {-2.0f, 0.05f, -1.6f},
      {0.12f, 0.05f, 0.0f},     // 0.096: at most a tenth ends it
      {0.125f, 0.05f, 0.1f},    // the float nearest a tenth lies above it: the shake goes on
      {0.1f, 0.0f, 0.1f},       // the float nearest a tenth lies above it
      {-0.1f, 0.0f, -0.1f},
      {50.0f, 0.25f, 0.0f},     // a quarter second or more ends any shake
      {50.0f, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    screen_shake_x = c.amplitude;
    screen_shake_y = -c.amplitude;
    cur_game_mode->update(c.dt);
    EXPECT_EQ(screen_shake_x, c.after) << c.amplitude << " at dt " << c.dt;
    EXPECT_EQ(screen_shake_y, -c.after) << c.amplitude << " at dt " << c.dt;
  }
}

TEST_F(ModesTest, HealthAtOrBelowZeroEndsPlay) {
  for (int health : {1, 0, -5}) {
    start_in(play_mode);
    module_state.hero_health = health;
    step();
    EXPECT_EQ(cur_game_mode, health <= 0 ? gameover_mode : play_mode) << "health " << health;
    // The update goes on after the switch.
    EXPECT_EQ(call_log.back(), "update_hud");
    EXPECT_DOUBLE_EQ(game_play_time, 0.05f);
    game_play_time = level_play_time = 0.0;
    cur_game_mode = nullptr;
  }
}

TEST_F(ModesTest, ReachingTheExitStartsTheElevatorWithoutAdvancingTheClocks) {
  start_in(play_mode);
  module_state.on_update_gameobj = [] { reached_exit = true; };
  step();
  EXPECT_EQ(cur_game_mode, elevator_mode);
  EXPECT_EQ(game_play_time, 0.0);
  EXPECT_EQ(level_play_time, 0.0);
  EXPECT_EQ(calls_named({"update_hud"}).size(), 1u);
  EXPECT_EQ(call_log.back(), "update_hud");
}

TEST_F(ModesTest, DeadAtTheExitPassesThroughGameOverToTheElevator) {
  start_in(play_mode);
  module_state.hero_health = 0;
  module_state.on_update_gameobj = [] { reached_exit = true; };
  step();
  EXPECT_EQ(cur_game_mode, elevator_mode);
  EXPECT_EQ(calls_starting({"open_game_over_screen", "show_game_over", "play_sound_event_no_pos", "update_hud"}),
            (Lines{"open_game_over_screen", "show_game_over(0)", "play_sound_event_no_pos(7)",
                   "play_sound_event_no_pos(20)", "update_hud"}));
  EXPECT_EQ(v_lane(postfx_final_color, 0), 0.0f) << "set by game over and cleared when it was left";
}

TEST_F(ModesTest, MenuButtonOpensThePauseMenuBeforeAnythingElse) {
  start_in(play_mode);
  module_state.hero_health = 0;
  press_menu_button();
  step();
  EXPECT_EQ(cur_game_mode, pause_menu_mode);
  EXPECT_EQ(call_log, (Lines{"open_game_menu"})) << "the world does not advance";
  EXPECT_TRUE(game_paused);
}

TEST_F(ModesTest, DeveloperPauseRunsOnlyTheHudButTheMenuButtonStillWorks) {
  start_in(play_mode);
  game_paused = true;
  screen_shake_x = 3.0f;
  step();
  EXPECT_EQ(call_log, (Lines{"update_hud"}));
  EXPECT_EQ(screen_shake_x, 3.0f);
  EXPECT_EQ(shake_time, 0.0f);
  press_menu_button();
  step();
  EXPECT_EQ(cur_game_mode, pause_menu_mode);
}

TEST_F(ModesTest, WorldRenderSeesTheCameraRoundedAndPublishesTheView) {
  free_cam_pos = _mm_setr_ps(100.3f, 50.7f, 0, 1);
  level_renderer = reinterpret_cast<LevelRenderer*>(&fake_texture);
  render_play_scene(0.02f);
  level_renderer = nullptr;
  EXPECT_EQ(call_log, (Lines{"render_play_scene(0.02)", "start_level_rendering",
                             "render_area(renderer,-61,-41,261,141,0)", "render_boss(0.02)", "end_level_rendering",
                             "render_background(00725020,0099723F)", "start_sprite_render", "render_gameobj(0.02)",
                             "end_sprite_render", "render_junk(0.02)"}));
  EXPECT_EQ(cur_view_cx, 100.3f);
  EXPECT_EQ(cur_view_cy, 50.7f);
  // 32 cells wider and higher than the screen's 320 x 180.
  EXPECT_EQ(cur_view_x0, 100 - 176);
  EXPECT_EQ(cur_view_x1, 100 + 176);
  EXPECT_EQ(cur_view_y0, 50 - 106);
  EXPECT_EQ(cur_view_y1, 50 + 106);

  game_paused = true;
  call_log.clear();
  render_play_scene(0.02f);
  EXPECT_EQ(calls_named({"render_boss", "render_gameobj", "render_junk"}),
            (Lines{"render_boss(0.05)", "render_gameobj(0.05)", "render_junk(0.05)"}));
}

TEST_F(ModesTest, PlayOverlayDrawsDebugObjectsOnlyWhenAskedThenTheHud) {
  start_in(play_mode);
  play_mode->renderOverlay(0.03f);
  use_vis_debug = true;
  play_mode->renderOverlay(0.03f);
  EXPECT_EQ(call_log, (Lines{"draw_hud", "render_gameobj_debug(0.03)", "draw_hud"}));
  call_log.clear();
  play_mode->render(0.03f);
  EXPECT_EQ(call_log.front(), "render_play_scene(0.03)");
}

// ---- the menu modes ----------------------------------------------------------------------------------

TEST_F(ModesTest, ClosingTheTitleStartsANewGameBeforeLeaving) {
  start_in(title_mode);
  cur_level = 4;
  up_points = 9;
  step();
  EXPECT_EQ(call_log, (Lines{"update_game_menu(0.05)"}));
  EXPECT_EQ(cur_game_mode, title_mode);

  module_state.close_menu_on_update = true;
  call_log.clear();
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_EQ(cur_level, 1);
  EXPECT_EQ(up_points, 0);
  // The new hero (reset_game), then the level (start_new_level), then the title leaves.
  EXPECT_EQ(calls_named({"update_game_menu", "play_sound_event_no_pos", "close_hero", "init_hero",
                         "remove_all_enemies", "generate_level", "close_game_menu"}),
            (Lines{"update_game_menu(0.05)", "play_sound_event_no_pos(35)", "close_hero", "init_hero",
                   "remove_all_enemies", "generate_level", "play_sound_event_no_pos(25)", "close_game_menu"}));
}

TEST_F(ModesTest, MenuClosedAlreadyOnEnterContinuesAtTheFirstUpdate) {
  should_close_game_menu = true;
  start_in(pause_menu_mode);
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_FALSE(game_paused);

  should_close_game_menu = true;
  start_in(upgrade_mode);
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
}

TEST_F(ModesTest, PauseMenuKeepsTheGamePaused) {
  start_in(play_mode);
  set_game_mode(pause_menu_mode);
  EXPECT_TRUE(game_paused);
  game_paused = false;  // a developer toggle
  step();
  EXPECT_TRUE(game_paused) << "set again by the next update";
  EXPECT_EQ(call_log, (Lines{"open_game_menu", "update_game_menu(0.05)"}));
  EXPECT_TRUE(calls_named({"update_gameobj"}).empty());

  module_state.close_menu_on_update = true;
  call_log.clear();
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_FALSE(game_paused);
  EXPECT_EQ(call_log, (Lines{"update_game_menu(0.05)", "close_game_menu"}));
}

TEST_F(ModesTest, PauseToTitleClosesTheMenuOnceThenOpensTheTitle) {
  start_in(pause_menu_mode);
  EXPECT_TRUE(game_paused);
  go_to_main_menu();
  EXPECT_FALSE(game_paused);
  EXPECT_EQ(call_log, (Lines{"close_game_menu", "open_main_menu"}));
}

TEST_F(ModesTest, PauseDrawsTheFrozenWorldHudAndMenu) {
  start_in(pause_menu_mode);
  pause_menu_mode->render(0.01f);
  EXPECT_EQ(calls_named({"render_play_scene", "render_gameobj"}),
            (Lines{"render_play_scene(0.01)", "render_gameobj(0.05)"}));
  call_log.clear();
  use_vis_debug = true;
  pause_menu_mode->renderOverlay(0.01f);
  EXPECT_EQ(call_log, (Lines{"render_gameobj_debug(0.01)", "draw_hud", "draw_game_menu(0.01)"}));
}

TEST_F(ModesTest, TitleAndUpgradeDrawNoWorldOnlyTheirMenu) {
  for (GameMode* mode : {title_mode, upgrade_mode}) {
    start_in(mode);
    mode->render(0.02f);
    EXPECT_TRUE(call_log.empty());
    mode->renderOverlay(0.02f);
    EXPECT_EQ(call_log, (Lines{"draw_game_menu(0.02)"}));
    cur_game_mode = nullptr;
  }
}

TEST_F(ModesTest, UpgradeScreenOpensWithItsSoundAndClosingStartsTheNextLevel) {
  start_in(play_mode);
  set_game_mode(upgrade_mode);
  EXPECT_EQ(call_log, (Lines{"play_sound_event_no_pos(21)", "open_upgrade_screen"}));
  cur_level = 6;
  module_state.close_menu_on_update = true;
  call_log.clear();
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_EQ(cur_level, 6) << "advanced already when the ride ended";
  EXPECT_EQ(calls_starting({"update_game_menu", "play_sound_event_no_pos", "start_new_level", "close_game_menu"}),
            (Lines{"update_game_menu(0.05)", "play_sound_event_no_pos(24)", "start_new_level",
                   "play_sound_event_no_pos(27)", "close_game_menu"}));
}

// ---- game over --------------------------------------------------------------------------------------

TEST_F(ModesTest, GameOverDarkensTheFinalPassAndCountsDownASecond) {
  start_in(play_mode);
  set_game_mode(gameover_mode);
  EXPECT_EQ(call_log, (Lines{"open_game_over_screen", "show_game_over(0)", "play_sound_event_no_pos(7)"}));
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(v_lane(postfx_final_color, i), 0.25f);
  EXPECT_EQ(gameover_mode_instance.over_timer, 1.0f);

  // Closing early is not read while the timer runs.
  should_close_game_menu = true;
  for (int i = 1; i <= 19; i++) {
    call_log.clear();
    step();
    EXPECT_EQ(call_log, (Lines{"update_gameobj(0.05)", "update_junk(0.05)", "update_game_menu(0.05)"})) << i;
  }
  call_log.clear();
  step();
  EXPECT_EQ(call_log.back(), "play_sound_event_no_pos(8)") << "the 20th update ends the timer";
  EXPECT_EQ(cur_game_mode, gameover_mode);

  should_close_game_menu = false;
  call_log.clear();
  step();
  EXPECT_EQ(call_log, (Lines{"update_gameobj(0.05)", "update_junk(0.05)", "update_game_menu(0.05)",
                             "show_game_over(1)"}));
  should_close_game_menu = true;
  cur_level = 7;
  call_log.clear();
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_EQ(cur_level, 1);
  EXPECT_EQ(v_lane(postfx_final_color, 0), 0.0f);
  EXPECT_EQ(calls_named({"show_game_over", "play_sound_event_no_pos", "close_hero", "remove_all_enemies",
                         "close_game_menu"}),
            (Lines{"show_game_over(1)", "play_sound_event_no_pos(35)", "close_hero", "remove_all_enemies",
                   "play_sound_event_no_pos(25)"}))
      << "game over leaves its screen open";
}

TEST_F(ModesTest, GameOverWorldGoesOnAndADeadHeroChangesNothing) {
  module_state.hero_health = 0;
  start_in(gameover_mode);
  step();
  EXPECT_EQ(cur_game_mode, gameover_mode);
  EXPECT_TRUE(calls_named({"open_game_over_screen", "play_sound_event_no_pos"}).empty()) << "not entered again";
  EXPECT_DOUBLE_EQ(game_play_time, 0.05f) << "the play clocks go on";

  call_log.clear();
  game_paused = true;
  step();
  EXPECT_EQ(call_log, (Lines{"update_game_menu(0.05)"})) << "a paused world stands still";
}

TEST_F(ModesTest, ExitReachedDuringGameOverStartsTheElevator) {
  start_in(gameover_mode);
  module_state.on_update_gameobj = [] { reached_exit = true; };
  step();
  EXPECT_EQ(cur_game_mode, elevator_mode);
  EXPECT_EQ(v_lane(postfx_final_color, 0), 0.0f);
}

TEST_F(ModesTest, GameOverOverlayHasNoHud) {
  start_in(gameover_mode);
  gameover_mode->renderOverlay(0.04f);
  use_vis_debug = true;
  gameover_mode->renderOverlay(0.04f);
  EXPECT_EQ(call_log, (Lines{"draw_game_menu(0.04)", "render_gameobj_debug(0.04)", "draw_game_menu(0.04)"}));
  call_log.clear();
  gameover_mode->render(0.04f);
  EXPECT_EQ(call_log.front(), "render_play_scene(0.04)");
}

}  // namespace
