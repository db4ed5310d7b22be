// The level viewer with the stand-in module: its map of the level, the keys that leave
// it, the mouse pan, the placements under the view and the overlay it draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/geometry.h"
#include "engine/gen/gen_runtime.h"
#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/shared/palette.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/shell/scene.h"
#include "engine/shell/window.h"
#include "engine/world/camera.h"
#include "support/engine_calls.h"
#include "tests/support/game_window.h"
#include "tests/support/stand_in_module.h"

namespace {

using Lines = std::vector<std::string>;


const uint8_t pattern_a[2] = {1, 3};
const LevelGenTemplate room_a = {nullptr, 2, 1, 10, 8, pattern_a, "room_a", nullptr, 0};
const LevelGenTemplate filler = {nullptr, 0, 0, 7, 4, nullptr, "filler", nullptr, 0};

class ViewLevelTest : public ::testing::Test {
 protected:
  ViewLevelMode& viewer = view_level_mode_instance;
  void SetUp() override {
    game_window::open();
    install_stand_in_module(STAND_IN_ALL);
    reset_engine_calls();
    real_engine_calls.erase("render_play_scene");
    d3d_wd = 1280;
    d3d_ht = 720;
    update_screen_layout();
    font_scale = 2;
    memset(level_data, 0, sizeof(level_data));
    memset(level_tile_map, 0, sizeof(level_tile_map));
    level_placements.clear();
    viewer.map_texture = nullptr;
    use_vis_debug = false;
    isAppActive = true;
    move_camera(_mm_setr_ps(100.4f, 50.6f, -3.0f, 1.0f), 0.0f);
    set_game_mode(play_mode);
    call_log.clear();
  }
  void TearDown() override {
    cur_game_mode = nullptr;
    viewer.map_texture = nullptr;
    level_placements.clear();
    use_vis_debug = false;
    font_scale = 1;
    game_window::end_update();
  }
  void update_with_key(int key) {
    game_window::tap(key);
    game_window::pump();
    viewer.update(0.05f);
    game_window::end_update();
  }
};

TEST_F(ViewLevelTest, EnteringTakesTheCameraAndBuildsTheMapOnce) {
  set_game_mode(view_level_mode);
  EXPECT_EQ(call_log, (Lines{"create_texture(1024,132,1,1)", "lock_texture(texture,0)", "unlock_texture(texture,0)"}));
  EXPECT_EQ(v_lane(viewer.view_pos, 0), 100.4f);
  EXPECT_EQ(v_lane(viewer.saved_camera, 1), 50.6f);
  set_game_mode(play_mode);
  call_log.clear();
  set_game_mode(view_level_mode);
  EXPECT_EQ(call_log, (Lines{"lock_texture(texture,0)", "unlock_texture(texture,0)"})) << "the texture is kept";
}

// Each texel is the average colour of 4 x 4 cells: the foreground, else the
// background, else colour 15.
TEST_F(ViewLevelTest, MapAveragesFourByFourCells) {
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) {
      level_data[y][x] = {3, 40, 1};                   // block (0, 0): foreground 40 everywhere
      level_data[y][4 + x] = {uint8_t(x < 2 ? 12 : 0), 0, 0};   // block (1, 0): half background 12, half empty
    }
  level_data[4 * 131 + 3][4 * 1023 + 3] = {0, 200, 1};  // one cell of the top right block
  set_game_mode(view_level_mode);
  auto average = [](std::vector<uint8_t> indices) {
    __m128 sum = _mm_setzero_ps();
    for (uint8_t i : indices)
      sum = _mm_add_ps(sum, d3d_to_color(main_palette[i]));
    return color_to_d3d(_mm_div_ps(sum, _mm_set1_ps(16.0f)));
  };
  EXPECT_EQ(engine_fakes.lock_buffer[0][0], main_palette[40] | 0u);
  EXPECT_EQ(engine_fakes.lock_buffer[0][0], average(std::vector<uint8_t>(16, 40)));
  std::vector<uint8_t> half(8, 12);
  half.insert(half.end(), 8, 15);
  EXPECT_EQ(engine_fakes.lock_buffer[0][1], average(half));
  EXPECT_EQ(engine_fakes.lock_buffer[0][2], main_palette[15]) << "an empty block";
  std::vector<uint8_t> one(15, 15);
  one.push_back(200);
  EXPECT_EQ(engine_fakes.lock_buffer[131][1023], average(one));
  EXPECT_NE(engine_fakes.lock_buffer[131][1023], main_palette[15]);
}

TEST_F(ViewLevelTest, ANewLevelRebuildsTheMapWhileTheViewerIsCurrent) {
  set_game_mode(view_level_mode);
  level_data[0][0] = {0, 40, 1};
  call_log.clear();
  start_new_level();
  EXPECT_EQ(call_log.back(), "unlock_texture(texture,0)");
  EXPECT_EQ(engine_fakes.lock_buffer[0][0] != main_palette[15], true);
}

TEST_F(ViewLevelTest, AMapThatCannotBeMadeOrLockedStaysBlank) {
  engine_fakes.create_texture_fails = true;
  set_game_mode(view_level_mode);
  EXPECT_EQ(call_log, (Lines{"create_texture(1024,132,1,1)"}));
  call_log.clear();
  viewer.renderOverlay(0.0f);
  EXPECT_TRUE(calls_named({"start_draw_tex_text", "draw_tex_quad"}).empty());
  set_game_mode(play_mode);

  engine_fakes.create_texture_fails = false;
  engine_fakes.lock_fails = true;
  call_log.clear();
  set_game_mode(view_level_mode);
  EXPECT_EQ(call_log, (Lines{"create_texture(1024,132,1,1)", "lock_texture(texture,0)"}));
}

TEST_F(ViewLevelTest, EscReturnsToPlayWithTheCameraAsItWas) {
  set_game_mode(view_level_mode);
  viewer.update(0.05f);
  viewer.view_pos = _mm_setr_ps(900, 300, -3, 1);
  viewer.update(0.05f);
  EXPECT_EQ(v_lane(get_camera_pos(), 0), 900.0f) << "the camera follows the view";
  update_with_key(VK_ESCAPE);
  EXPECT_EQ(cur_game_mode, play_mode);
  __m128 c = get_camera_pos();
  EXPECT_EQ(v_lane(c, 0), 100.4f);
  EXPECT_EQ(v_lane(c, 1), 50.6f);
  EXPECT_EQ(v_lane(c, 2), -3.0f);
  EXPECT_TRUE(calls_named({"reset_hero"}).empty());
}

TEST_F(ViewLevelTest, SpacePutsTheHeroAtTheViewAndPlayGoesOnThere) {
  set_game_mode(view_level_mode);
  viewer.view_pos = _mm_setr_ps(812.7f, 233.2f, -3, 1);
  call_log.clear();
  update_with_key(VK_SPACE);
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_EQ(calls_named({"reset_hero"}), (Lines{"reset_hero(812.7,233.2)"})) << "unrounded";
  EXPECT_EQ(v_lane(get_camera_pos(), 0), 812.7f);
  EXPECT_EQ(v_lane(get_camera_pos(), 1), 233.2f);
}

TEST_F(ViewLevelTest, MousePansOnlyOnceItWasCentred) {
  set_game_mode(view_level_mode);
  engine_fakes.mouse_x = 700;
  engine_fakes.mouse_y = 300;
  call_log.clear();
  viewer.update(0.05f);
  EXPECT_EQ(v_lane(viewer.view_pos, 0), 100.4f) << "the first update does not pan";
  EXPECT_EQ(call_log, (Lines{"setMousePos(640,360)", "update_explosions(0.05)", "delete_gameobj"}));

  engine_fakes.mouse_x = 650;  // 10 right, 20 up
  engine_fakes.mouse_y = 340;
  viewer.update(0.05f);
  EXPECT_FLOAT_EQ(v_lane(viewer.view_pos, 0), 105.4f);
  EXPECT_FLOAT_EQ(v_lane(viewer.view_pos, 1), 60.6f);

  // An inactive window keeps its cursor, and the next update does not pan.
  isAppActive = false;
  call_log.clear();
  viewer.update(0.05f);
  EXPECT_TRUE(calls_named({"setMousePos"}).empty());
  engine_fakes.mouse_x = 900;
  isAppActive = true;
  viewer.update(0.05f);
  EXPECT_FLOAT_EQ(v_lane(viewer.view_pos, 0), 105.4f);
}

TEST_F(ViewLevelTest, PlacementsUnderTheViewedTileAndTheirOverlay) {
  const LevelGenPlacement placements[] = {
      {&room_a, 0, 0, 0}, {nullptr, 0, 0, 0}, {&filler, 0, 0, 1}, {&filler, 20, 0, 0}};
  level_placements.append(4, placements);
  level_tile_map[3][6] = TILE_SOLID | TILE_CONNECTED_CELL | TILE_WALL_RIGHT;
  set_game_mode(view_level_mode);
  viewer.update(0.05f);  // view (100.4, 50.6): cell (100, 51), tile (6, 3)
  ASSERT_EQ(viewer.view_placements.size(), 2);
  EXPECT_EQ(viewer.view_placements[0].tmpl, &room_a);
  EXPECT_EQ(viewer.view_placements[1].tmpl, &filler);
  EXPECT_EQ(viewer.view_placements[1].flipped, 1);

  call_log.clear();
  viewer.renderOverlay(0.03f);
  Lines expected = {
      "start_draw_debug_vis",
      "draw_debug_vis_wire_box(-1,-1,0,1,161,129,0,1,FFFF00CC)",
      "draw_debug_vis_wire_box(0,0,0,1,112,64,0,1,FFFF0011)",
      "end_draw_debug_vis",
      "start_draw_text",
      "draw_text(VIEW MODE   100   51 MP So WR,0,132,-1,-1,FF64FF64)",
      "draw_text(- room_a,0,148,-1,-1,FFFF00CC)",
      "draw_text(x filler,0,164,-1,-1,FFFF0011)",
      "end_draw_text",
      "start_draw_tex_text(texture,1,1)",
      "draw_tex_quad(0,0,1024,132,CCFFFFFF,0,0,1,1)",
      "end_draw_tex_text",
      "start_draw_text",
      "draw_rect(-15,-9,65,35,4466FF66)",
      "end_draw_text",
  };
  EXPECT_EQ(call_log, expected) << call_log_text();
}

TEST_F(ViewLevelTest, ViewsOutsideTheMapShowNoTags) {
  level_tile_map[0][0] = TILE_SOLID;
  level_tile_map[0][255] = TILE_SOLID;
  struct Case {
    float x, y;
    const char* line;
  };
  const Case cases[] = {
      {-5.0f, 3.0f, "draw_text(VIEW MODE    -5    3,0,132,-1,-1,FF64FF64)"},
      {3.0f, -0.6f, "draw_text(VIEW MODE     3   -1,0,132,-1,-1,FF64FF64)"},
      {4096.0f, 3.0f, "draw_text(VIEW MODE  4096    3,0,132,-1,-1,FF64FF64)"},
      {4095.4f, 3.0f, "draw_text(VIEW MODE  4095    3 So,0,132,-1,-1,FF64FF64)"},
      {0.4f, 0.4f, "draw_text(VIEW MODE     0    0 So,0,132,-1,-1,FF64FF64)"},
  };
  set_game_mode(view_level_mode);
  for (const Case& c : cases) {
    viewer.view_pos = _mm_setr_ps(c.x, c.y, 0, 1);
    call_log.clear();
    viewer.renderOverlay(0.0f);
    EXPECT_EQ(calls_starting({"draw_text(VIEW"}), Lines{c.line});
  }
}

TEST_F(ViewLevelTest, ModuleTextInABoxAtTwiceTheFontScaleWithDebugOn) {
  use_vis_debug = true;
  module_state.debug_text = "hello";
  set_game_mode(view_level_mode);
  viewer.view_pos = _mm_setr_ps(10.5f, 20.25f, 0, 1);
  font_scale = 1;
  call_log.clear();
  viewer.renderOverlay(0.03f);
  EXPECT_EQ(calls_named({"render_gameobj_debug", "view_mode_gameobj_debug", "push_text_state", "calc_text_size",
                         "draw_rect", "draw_text", "pop_text_state"})
                .size(),
            9u)
      << call_log_text();
  Lines box = calls_named({"push_text_state", "calc_text_size", "draw_rect", "pop_text_state"});
  EXPECT_EQ(box, (Lines{"push_text_state", "calc_text_size(hello)", "draw_rect(644,316,766,364,88000000)",
                        "pop_text_state", "draw_rect(-37,-17,42,27,4466FF66)"}))
      << "cell (10, 20): 10.5 rounds to even";
  EXPECT_EQ(calls_named({"render_gameobj_debug", "view_mode_gameobj_debug"}),
            (Lines{"render_gameobj_debug(0.05)", "view_mode_gameobj_debug(10.5,20.25,10.5,20.25)"}));
  EXPECT_EQ(calls_starting({"draw_text(hello"}), (Lines{"draw_text(hello,660,340,-1,0,FFFFFFFF)"}));
}

TEST_F(ViewLevelTest, ObjectMapBlinksEverySixteenFrames) {
  set_game_mode(view_level_mode);
  std::string shown;
  for (int frame = 1; frame <= 32; frame++) {
    call_log.clear();
    viewer.renderOverlay(0.0f);
    shown += calls_named({"render_gameobj_map"}) == Lines{"render_gameobj_map(4)"} ? '#' : '.';
  }
  EXPECT_EQ(shown, "...############....############.");
}

TEST_F(ViewLevelTest, WorldIsDrawnAsAtTheEndOfAStep) {
  set_game_mode(view_level_mode);
  call_log.clear();
  viewer.render(0.01f);
  EXPECT_EQ(call_log, (Lines{"render_play_scene(0.05)"}));
}

}  // namespace
