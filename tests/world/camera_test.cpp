// The following camera: reset, smoothing and interpolation.
#include <gtest/gtest.h>

#include "engine/shared/game_state.h"
#include "engine/world/camera.h"
#include "engine/world/gameobj_api.h"
#include "tests/support/stand_in_module.h"
#include "world_test_util.h"

namespace {

__m128 hero_pos_value, hero_target_value;

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    install_stand_in_module(STAND_IN_OBJECTS);
    gameobj_func_table.get_hero_pos = [] { return hero_pos_value; };
    gameobj_func_table.get_hero_target = [] { return hero_target_value; };
    game_paused = false;
  }
  void TearDown() override { game_paused = false; }
  void hero_at(float x, float y) { hero_pos_value = hero_target_value = _mm_setr_ps(x, y, 0, 1); }
};

TEST_F(CameraTest, ResetPutsTheCameraAtRestAboveTheHero) {
  hero_at(10, 20);
  reset_camera();
  EXPECT_EQ(lane(free_cam_pos, 0), 10);
  EXPECT_EQ(lane(free_cam_pos, 1), 29);
  EXPECT_EQ(lane(free_cam_pos, 2), 0);
  EXPECT_EQ(lane(free_cam_pos, 3), 1);
  interp_camera(0.02f);
  EXPECT_EQ(lane(free_cam_pos, 1), 29);
}

TEST_F(CameraTest, SteadyHeroIsTakenAtOnceAndMovingOneTrailsTheAverage) {
  hero_at(10, 20);
  reset_camera();
  for (int i = 0; i < 5; i++)
    update_camera(0.05f);
  EXPECT_NEAR(lane(get_camera_pos(), 0), 10, 1e-5);
  EXPECT_NEAR(lane(get_camera_pos(), 1), 20 + 5.4f, 1e-5) << "60% of the way from the target to the raised hero";
  // A hero moving 10 units a step: the camera is the average of the last five.
  for (int i = 1; i <= 6; i++) {
    hero_at(10 + 10.0f * i, 20);
    update_camera(0.05f);
  }
  float newest = 10 + 60.0f;
  EXPECT_NEAR(lane(get_camera_pos(), 0), newest - 20.0f, 1e-3) << "two steps behind";
  EXPECT_NEAR(lane(prev_cam_pos, 0), newest - 30.0f, 1e-3);
}

TEST_F(CameraTest, DesiredHeightNeverBelowTheLimit) {
  hero_at(0, -1000);
  EXPECT_EQ(lane(desired_camera_pos(hero_pos_value, hero_target_value), 1), -150.0f);
  reset_camera();
  update_camera(0.05f);
  EXPECT_GE(lane(get_camera_pos(), 1), -1000.0f);
}

TEST_F(CameraTest, InterpolationBetweenSteps) {
  move_camera(_mm_setr_ps(0, 0, 0, 1), 0);
  move_camera(_mm_setr_ps(10, 20, 0, 1), 0);
  interp_camera(0);
  EXPECT_EQ(lane(free_cam_pos, 0), 0);
  interp_camera(0.025f);
  EXPECT_NEAR(lane(free_cam_pos, 0), 5, 1e-5);
  EXPECT_NEAR(lane(free_cam_pos, 1), 10, 1e-5);
  interp_camera(0.05f);
  EXPECT_NEAR(lane(free_cam_pos, 0), 10, 1e-5);
  game_paused = true;
  interp_camera(0.0f);
  EXPECT_NEAR(lane(free_cam_pos, 0), 10, 1e-5) << "paused frames show the current position";
  game_paused = false;
  move_camera(_mm_setr_ps(10, 20, 0, 1), 0);
  interp_camera(0.01f);
  EXPECT_EQ(lane(free_cam_pos, 0), 10);
}

}  // namespace
