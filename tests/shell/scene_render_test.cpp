// The frame: the order of its passes and constants, the time a paused world is seen
// at, the crosshair, and the statistics overlay's audio meters and clip markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/audio/audio_engine.h"
#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "soloud_wav.h"
#include "support/engine_calls.h"
#include "tests/support/stand_in_module.h"

namespace {

using Lines = std::vector<std::string>;

class FrameMode : public GameMode {
 public:
  void enter(GameMode*) override {}
  void leave(GameMode*) override {}
  void update(float) override {}
  void render(float t) override { record_callf("mode render(%g)", t); }
  void renderOverlay(float t) override { record_callf("mode overlay(%g)", t); }
  void onResize() override {}
};

std::string consts(const char* name, int first, const float* v, int count) {
  std::string line = std::string(name) + "(" + std::to_string(first) + ":";
  char number[32];
  for (int i = 0; i < 4 * count; i++) {
    snprintf(number, sizeof(number), "%s%g", i ? "," : "", v[i]);
    line += number;
  }
  return line + ")";
}

class SceneRenderTest : public ::testing::Test {
 protected:
  FrameMode mode;
  void SetUp() override {
    install_stand_in_module(STAND_IN_ALL);
    reset_engine_calls();
    d3d_wd = 1280;
    d3d_ht = 720;
    update_screen_layout();
    font_scale = 2;  // a line of 16 pixels
    scene_image = &fake_scene_image;
    cur_game_mode = &mode;
    game_paused = false;
    show_fps = false;
    screen_shake_x = screen_shake_y = 0;
    reset_camera_to(_mm_setr_ps(100, 50, 0, 1), _mm_setr_ps(104, 50, 0, 1));
    engine_fakes.mouse_x = 30;
    engine_fakes.mouse_y = 40;
  }
  void TearDown() override {
    cur_game_mode = nullptr;
    scene_image = nullptr;
    game_paused = false;
    show_fps = false;
    font_scale = 1;
  }
  static void reset_camera_to(__m128 prev, __m128 cur) {
    prev_cam_pos = prev;
    cur_cam_pos = cur;
  }
};

TEST_F(SceneRenderTest, FramePassesInOrder) {
  call_log.clear();
  render_scene(0.025f);
  Matrix44 glob = matrix_mul(cur_view_tm, cur_proj_tm);
  const float inverse_size[4] = {1.0f / 1280, 1.0f / 720, 0, 0};
  const float ps0[4] = {0.8f, 0, 0, 0};
  Lines expected = {
      "interp_camera(0.025)",
      "set_proj_tm",
      "set_view_tm",
      "get_glob_tm",
      consts("set_vs_consts", 0, &glob.m[0][0], 4),
      consts("set_vs_consts", 4, &cur_view_itm.m[3][0], 1),
      consts("set_vs_consts", 5, inverse_size, 1),
      consts("set_ps_consts", 0, ps0, 1),
      "set_texture_target(scene_image,0,1)",
      "clear_view_z",
      "mode render(0.025)",
      "apply_postfx",
      "set_backbuffer_target",
      "mode overlay(0.025)",
      "draw_crosshair(30,40)",
      "start_draw_text",
      "draw_visual_log",
      "draw_error_message",
      "end_draw_text",
  };
  EXPECT_EQ(call_log, expected) << call_log_text();
  // Half way through the step the camera is half way: 102, snapped and offset.
  EXPECT_FLOAT_EQ(cur_view_itm.m[3][0], 102.125f);
  EXPECT_FLOAT_EQ(cur_view_itm.m[3][2], -180.0f);
  EXPECT_FLOAT_EQ(engine_fakes.proj_tm.m[0][0], 2.0f / 320);
  EXPECT_FLOAT_EQ(engine_fakes.view_tm.m[3][0], -102.125f);
}

TEST_F(SceneRenderTest, WithoutAModeTheFrameStillClearsDrawsPostEffectsAndOverlays) {
  cur_game_mode = nullptr;
  call_log.clear();
  render_scene(0.01f);
  EXPECT_EQ(calls_starting({"set_texture_target", "clear_view_z", "mode", "apply_postfx", "set_backbuffer_target",
                            "draw_crosshair", "draw_visual_log", "draw_error_message"}),
            (Lines{"set_texture_target(scene_image,0,1)", "clear_view_z", "apply_postfx", "set_backbuffer_target",
                   "draw_crosshair(30,40)", "draw_visual_log", "draw_error_message"}));
}

TEST_F(SceneRenderTest, PausedWorldIsSeenAtTheEndOfTheStepButTheModeGetsTheFrameTime) {
  screen_shake_x = 2.0f;
  shake_time = 0.3f;
  game_paused = true;
  call_log.clear();
  render_scene(0.01f);
  Matrix44 at_step_end = setup_scene_camera(0.05f);
  EXPECT_NE(setup_scene_camera(0.01f).m[3][0], at_step_end.m[3][0]) << "the shake moves between the two times";
  EXPECT_FLOAT_EQ(cur_view_itm.m[3][0], at_step_end.m[3][0]);
  EXPECT_FLOAT_EQ(cur_view_itm.m[3][0], std::nearbyint(v_x(get_final_camera_pos(0.05f)) * 4) / 4 + 0.125f);
  EXPECT_EQ(calls_starting({"mode", "interp_camera"}),
            (Lines{"interp_camera(0.01)", "mode render(0.01)", "mode overlay(0.01)"}));
  EXPECT_FLOAT_EQ(v_x(free_cam_pos), 104.0f) << "a paused camera shows where it is";
}

TEST_F(SceneRenderTest, NoCrosshairWhileThePointerIsOutside) {
  engine_fakes.mouse_over = false;
  call_log.clear();
  render_scene(0.0f);
  EXPECT_TRUE(calls_named({"draw_crosshair"}).empty());
}

// The statistics overlay with a 16-pixel line at 1280 x 720: text at 540, meters at
// 500, 468, 444 and 420, each 320 wide from x = 16.
class AudioMeterTest : public SceneRenderTest {
 protected:
  SoLoud::Wav loud;
  std::vector<float> samples = std::vector<float>(4096, 2.0f);
  void SetUp() override {
    SceneRenderTest::SetUp();
    ASSERT_EQ(soloud.init(0, SoLoud::Soloud::NULLDRIVER, 44100, 1024, 2), SoLoud::SO_NO_ERROR);
    soloud.setVisualizationEnable(true);
    for (SoLoud::Bus* bus : {&sfx_bus, &ui_bus, &music_bus})
      bus->setVisualizationEnable(true);
    sfx_bus_handle = soloud.playBackground(sfx_bus);
    ui_bus_handle = soloud.playBackground(ui_bus);
    music_bus_handle = soloud.playBackground(music_bus);
    loud.loadRawWave(samples.data(), (unsigned)samples.size(), 44100, 1, false, false);
  }
  void TearDown() override {
    soloud.stopAll();
    soloud.deinit();
    sfx_bus_handle = ui_bus_handle = music_bus_handle = 0;
    SceneRenderTest::TearDown();
  }
  void mix() {
    float out[2048];
    soloud.mix(out, 1024);
  }
  Lines overlay_rects() { return calls_named({"draw_rect", "draw_text", "draw_update_stats"}); }
};

TEST_F(AudioMeterTest, MetersStandBelowTheVoiceCountTopToBottom) {
  show_fps = true;
  call_log.clear();
  render_scene(0.0f);
  Lines expected = {"draw_update_stats", "draw_text(SoLoud:   3/  3,16,540,-1,1,FFFFFFFF)"};
  for (int y : {500, 468, 444, 420}) {
    char line[3][96];
    snprintf(line[0], 96, "draw_rect(16,%d,336,%d,FF000000)", y, y + 16);
    snprintf(line[1], 96, "draw_rect(16,%d,16,%d,%s)", y, y + 8, y == 500 ? "FFFFFF00" : "FF00FF00");
    snprintf(line[2], 96, "draw_rect(16,%d,16,%d,%s)", y + 8, y + 16, y == 500 ? "FFFFFF00" : "FF00FF00");
    expected.insert(expected.end(), {line[0], line[1], line[2]});
  }
  EXPECT_EQ(overlay_rects(), expected) << call_log_text();
  // The overlay is drawn inside the system-font drawing.
  Lines order = calls_starting({"start_draw_text", "draw_update_stats", "end_draw_text"});
  EXPECT_EQ(order, (Lines{"start_draw_text", "draw_update_stats", "end_draw_text"}));
}

TEST_F(AudioMeterTest, ABusOverFullLevelKeepsItsRedMarkerForTheRest) {
  SoLoud::handle voice = ui_bus.play(loud, 1.0f);
  mix();
  call_log.clear();
  render_scene(0.0f);  // the flags are kept with the overlay off
  EXPECT_TRUE(overlay_rects().empty());
  EXPECT_TRUE(ui_bus_clipped);
  EXPECT_FALSE(sfx_bus_clipped);
  EXPECT_FALSE(music_bus_clipped);

  soloud.stop(voice);
  mix();
  mix();
  EXPECT_LE(ui_bus.getApproximateVolume(0), 1.0f) << "silent again";
  show_fps = true;
  call_log.clear();
  render_scene(0.0f);
  Lines rects = overlay_rects();
  auto has = [&](const char* line) { return std::find(rects.begin(), rects.end(), line) != rects.end(); };
  EXPECT_TRUE(has("draw_rect(336,444,344,460,FFFF0000)")) << call_log_text();
  EXPECT_FALSE(has("draw_rect(336,468,344,484,FFFF0000)"));
  EXPECT_FALSE(has("draw_rect(336,420,344,436,FFFF0000)"));
}

TEST_F(AudioMeterTest, MeterBarsFollowTheLevelsInFloatTruncated) {
  show_fps = true;
  // A level of 0.5 on both channels of the effects bus: 160 of 320 pixels.
  std::vector<float> half(4096, 0.5f);
  SoLoud::Wav wav;
  wav.loadRawWave(half.data(), (unsigned)half.size(), 44100, 1, false, false);
  sfx_bus.play(wav, 1.0f);
  mix();
  float m0 = sfx_bus.getApproximateVolume(0), m1 = sfx_bus.getApproximateVolume(1);
  ASSERT_GT(m0, 0.0f);
  call_log.clear();
  draw_bus_meter(sfx_bus, true, 468.0f);
  char l1[96], l2[96];
  snprintf(l1, sizeof(l1), "draw_rect(16,468,%d,476,FF00FF00)", (int)(16 + m1 * 320));
  snprintf(l2, sizeof(l2), "draw_rect(16,476,%d,484,FF00FF00)", (int)(16 + m0 * 320));
  EXPECT_EQ(call_log, (Lines{"draw_rect(16,468,336,484,FF000000)", l1, l2, "draw_rect(336,468,344,484,FFFF0000)"}));
  soloud.stopAll();
}

TEST_F(SceneRenderTest, SplashFrameDrawsTheSplash) {
  call_log.clear();
  render_splash();
  EXPECT_EQ(call_log, (Lines{"draw_splash"}));
}

}  // namespace
