// The screen layout (pixel scale, camera offset, projection), the camera matrix and
// its inverse, and the resize after a device reset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/core/geometry.h"
#include "engine/render/d3d_device.h"
#include "engine/render/level_renderer.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "support/engine_calls.h"
#include "tests/support/stand_in_module.h"

namespace {


class SceneLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    install_stand_in_module(STAND_IN_ALL);
    reset_engine_calls();
    screen_shake_x = screen_shake_y = 0;
    shake_time = 0;
  }
  void layout(int w, int h) {
    d3d_wd = w;
    d3d_ht = h;
    update_screen_layout();
  }
};

TEST_F(SceneLayoutTest, PixelScaleFollowsTheHeightOnly) {
  const int heights[][2] = {{100, 1}, {179, 1}, {180, 1}, {359, 1}, {360, 2}, {539, 2},
                            {540, 3}, {720, 4}, {900, 5}, {1080, 6}, {1440, 8}};
  for (const auto& h : heights) {
    for (int w : {640, 1281, 3000}) {
      layout(w, h[0]);
      EXPECT_EQ(voxel_scale, h[1]) << w << " x " << h[0];
    }
  }
}

TEST_F(SceneLayoutTest, Layout1280x720) {
  layout(1280, 720);
  EXPECT_EQ(voxel_scale, 4);
  EXPECT_EQ(v_lane(camera_ofs, 0), 0.125f);
  EXPECT_EQ(v_lane(camera_ofs, 1), 0.125f);
  EXPECT_EQ(v_lane(camera_ofs, 2), -180.0f);
  EXPECT_EQ(v_lane(camera_ofs, 3), 0.0f);
  EXPECT_EQ(v_lane(free_cam_pos, 0), 160.0f);
  EXPECT_EQ(v_lane(free_cam_pos, 1), 90.0f);
  EXPECT_EQ(v_lane(free_cam_pos, 2), 0.0f);
  EXPECT_EQ(v_lane(free_cam_pos, 3), 1.0f);

  // 320 x 180 world units: the screen's corners land on the clip square's edges.
  const float expected[4][4] = {{2.0f / 320, 0, 0, 0}, {0, 2.0f / 180, 0, 0}, {0, 0, 0.00050025f, 0},
                                {0, 0, -0.00050025f, 1}};
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++)
      EXPECT_FLOAT_EQ(cur_proj_tm.m[r][c], expected[r][c]) << r << "," << c;
  __m128 corner = matrix_transform(_mm_setr_ps(160, 90, 1, 1), cur_proj_tm);
  EXPECT_FLOAT_EQ(v_lane(corner, 0), 1.0f);
  EXPECT_FLOAT_EQ(v_lane(corner, 1), 1.0f);
  EXPECT_FLOAT_EQ(v_lane(corner, 2), 0.0f) << "the near plane at depth 0";
  __m128 far = matrix_transform(_mm_setr_ps(0, 0, 2000, 1), cur_proj_tm);
  EXPECT_FLOAT_EQ(v_lane(far, 2), 1.0f) << "the far plane at depth 1";
}

TEST_F(SceneLayoutTest, OddSidesHaveNoHalfPixelOffset) {
  layout(1281, 720);
  EXPECT_EQ(v_lane(camera_ofs, 0), 0.0f);
  EXPECT_EQ(v_lane(camera_ofs, 1), 0.125f);
  EXPECT_FLOAT_EQ(cur_proj_tm.m[0][0], 2.0f / (1281.0f / 4));
  layout(1280, 721);
  EXPECT_EQ(v_lane(camera_ofs, 0), 0.125f);
  EXPECT_EQ(v_lane(camera_ofs, 1), 0.0f);
  layout(640, 360);
  EXPECT_EQ(v_lane(camera_ofs, 0), 0.25f) << "half a pixel at scale 2";
}

TEST_F(SceneLayoutTest, CameraSnapsToThePixelGridBeforeTheOffset) {
  layout(1280, 720);
  struct Case {
    float x, y, z;
    float ex, ey, ez;
  };
  const Case cases[] = {
      {10.3f, 4.0f, 0.0f, 10.375f, 4.125f, -180.0f},
      {10.125f, -2.375f, 0.0f, 10.125f, -2.375f, -180.0f},  // 40.5 and -9.5 round to even
      {0.0f, 0.0f, 0.4f, 0.125f, 0.125f, -180.0f},          // z rounds to a whole number
      {-0.2f, 1.9f, 2.6f, -0.125f, 2.125f, -177.0f},
  };
  for (const Case& c : cases) {
    free_cam_pos = _mm_setr_ps(c.x, c.y, c.z, 1.0f);
    Matrix44 m = setup_scene_camera(0.0f);
    EXPECT_FLOAT_EQ(m.m[3][0], c.ex) << c.x;
    EXPECT_FLOAT_EQ(m.m[3][1], c.ey) << c.y;
    EXPECT_FLOAT_EQ(m.m[3][2], c.ez) << c.z;
    EXPECT_FLOAT_EQ(m.m[3][3], 1.0f);
    for (int r = 0; r < 3; r++)
      for (int k = 0; k < 4; k++)
        EXPECT_EQ(m.m[r][k], r == k ? 1.0f : 0.0f);
  }
}

TEST_F(SceneLayoutTest, CameraCarriesTheScreenShake) {
  layout(1280, 720);
  free_cam_pos = _mm_setr_ps(100, 50, 0, 1);
  screen_shake_x = 3;
  screen_shake_y = 2;
  screen_shake_setting = 1.0f;
  __m128 p = get_final_camera_pos(0.02f);
  Matrix44 m = setup_scene_camera(0.02f);
  EXPECT_FLOAT_EQ(m.m[3][0], std::nearbyint(v_lane(p, 0) * 4) / 4 + 0.125f);
  EXPECT_FLOAT_EQ(m.m[3][1], std::nearbyint(v_lane(p, 1) * 4) / 4 + 0.125f);
  EXPECT_NE(v_lane(p, 0), 100.0f);
  screen_shake_setting = 0.0f;
  p = get_final_camera_pos(0.02f);
  EXPECT_EQ(v_lane(p, 0), 100.0f) << "a strength of 0 shows the camera exactly";
  EXPECT_EQ(v_lane(p, 1), 50.0f);
  screen_shake_setting = 1.0f;
  screen_shake_x = screen_shake_y = 0;
}

TEST_F(SceneLayoutTest, InverseMatrixUndoesTheMatrix) {
  Matrix44 translation = matrix_translation(10.375f, 4.125f, -180.0f);
  Matrix44 inv = inverse_matrix(translation);
  EXPECT_EQ(inv.m[3][0], -10.375f);
  EXPECT_EQ(inv.m[3][1], -4.125f);
  EXPECT_EQ(inv.m[3][2], 180.0f);
  EXPECT_EQ(inv.m[3][3], 1.0f);

  const float rows[4][4] = {{2, 1, 0, 0.5f}, {0, 3, 1, 0}, {1, 0, 4, 2}, {0.5f, 2, 0, 1}};
  Matrix44 general;
  memcpy(general.m, rows, sizeof(rows));
  Matrix44 p = matrix_mul(general, inverse_matrix(general));
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++)
      EXPECT_NEAR(p.m[r][c], r == c ? 1.0f : 0.0f, 1e-5f) << r << "," << c;
}

TEST_F(SceneLayoutTest, SetViewMatricesForATime) {
  layout(1280, 720);
  free_cam_pos = _mm_setr_ps(20, 30, 0, 1);
  set_view_matrices(0.0f);
  EXPECT_FLOAT_EQ(cur_view_itm.m[3][0], 20.125f);
  EXPECT_FLOAT_EQ(cur_view_tm.m[3][0], -20.125f);
  EXPECT_FLOAT_EQ(cur_view_tm.m[3][1], -30.125f);
  EXPECT_FLOAT_EQ(cur_view_tm.m[3][2], 180.0f);
}

TEST_F(SceneLayoutTest, LevelRendererCoversTheScreenInCellsPlusABorder) {
  struct Case {
    int w, h, cells_x, cells_y;
  };
  const Case cases[] = {{1920, 1080, 322, 182}, {1280, 720, 322, 182}, {1281, 721, 323, 183}, {640, 359, 642, 361}};
  for (const Case& c : cases) {
    layout(c.w, c.h);
    call_log.clear();
    reset_level_renderer();
    char expected[64];
    snprintf(expected, sizeof(expected), "reset_renderer(null,%d,%d)", c.cells_x, c.cells_y);
    EXPECT_EQ(call_log, std::vector<std::string>{expected}) << c.w << " x " << c.h;
  }
}

class RecordingMode : public GameMode {
 public:
  void enter(GameMode*) override { record_call("enter"); }
  void leave(GameMode*) override { record_call("leave"); }
  void update(float) override {}
  void render(float) override {}
  void renderOverlay(float) override {}
  void onResize() override { record_call("onResize"); }
};

TEST_F(SceneLayoutTest, ResizeInOrder) {
  RecordingMode mode;
  d3d_wd = 1600;
  d3d_ht = 900;
  cur_game_mode = &mode;
  resize_scene();
  cur_game_mode = nullptr;
  EXPECT_EQ(call_log, (std::vector<std::string>{"update_font_scale", "update_screen_layout",
                                                "reset_renderer(null,322,182)", "onResize"}));
  EXPECT_EQ(voxel_scale, 5);
  call_log.clear();
  resize_scene();
  EXPECT_EQ(call_log.size(), 3u) << "no mode: no onResize";
}

}  // namespace
