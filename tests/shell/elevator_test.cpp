// The elevator ride with the stand-in module: finding and copying the lift, opening
// the shaft, the ride's speed, carrying the hero, the copies drawn below the hero,
// the ride's end, and a level without a lift.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/shell/scene.h"
#include "support/engine_calls.h"
#include "tests/support/stand_in_module.h"

namespace {

using Lines = std::vector<std::string>;

class ElevatorTest : public ::testing::Test {
 protected:
  ElevatorGameMode& elevator = elevator_mode_instance;
  void SetUp() override {
    install_stand_in_module(STAND_IN_ALL);
    reset_engine_calls();
    real_engine_calls.erase("render_play_scene");  // its own passes are tested with the play mode
    memset(level_data, 0, sizeof(level_data));
    cur_game_mode = nullptr;
    cur_level = 3;
    up_points = 0;
  }
  void TearDown() override {
    elevator.freeLift();
    cur_game_mode = nullptr;
  }
  // A lift block of cells (inclusive), with colours to tell the copy by.
  static void put_lift(int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++)
        level_data[y][x] = {uint8_t(x & 0xFF), uint8_t(y & 0xFF), 3};
  }
  void enter() {
    set_game_mode(play_mode);
    call_log.clear();
    set_game_mode(elevator_mode);
  }
};

TEST_F(ElevatorTest, EnteringFindsTheLiftCopiesItAndOpensTheShaft) {
  put_lift(100, 40, 103, 42);
  // Something above the lift, and a wall beside the shaft.
  for (int y = 43; y < LEVEL_HEIGHT; y++) {
    level_data[y][101] = {7, 9, 1};
    level_data[y][104] = {7, 9, 1};
  }
  enter();
  EXPECT_EQ(call_log, (Lines{"remove_all_enemies", "reset_bullets", "clear_junk", "reset_explosions",
                             "play_sound_event_no_pos(20)", "create_level_renderer(cells,3,12,4,3,0,0)",
                             "invalidate_level(100,42,103,527)"}));
  EXPECT_EQ(elevator.lift_x0, 100);
  EXPECT_EQ(elevator.lift_y0, 40);
  EXPECT_EQ(elevator.lift_x1, 103);
  EXPECT_EQ(elevator.lift_y1, 42);
  EXPECT_EQ(elevator.lift_rows, 3);
  EXPECT_EQ(elevator.lift_speed, 1);
  ASSERT_EQ(engine_fakes.renderer_cells, elevator.lift_cells);
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) {
      const LevelCell& cell = elevator.lift_cells[r * 4 + c];
      EXPECT_EQ(cell.background, 100 + c);
      EXPECT_EQ(cell.foreground, 40 + r);
      EXPECT_EQ(cell.collision, 3);
    }
  // The shaft loses its foreground only.
  EXPECT_EQ(level_data[43][101].foreground, 0);
  EXPECT_EQ(level_data[527][101].foreground, 0);
  EXPECT_EQ(level_data[300][101].background, 7);
  EXPECT_EQ(level_data[300][101].collision, 1);
  EXPECT_EQ(level_data[300][104].foreground, 9) << "beside the shaft";
  EXPECT_EQ(level_data[42][100].foreground, 42) << "the lift itself stays";
}

TEST_F(ElevatorTest, TheLiftIsFoundRightmostLowestAndReachesOnly32Cells) {
  put_lift(200, 10, 201, 11);   // further left than 32 cells: not the lift
  put_lift(320, 20, 320, 22);   // the rightmost column holding lift cells, found at row 20
  put_lift(300, 25, 301, 25);   // 20 columns left: part of the box
  put_lift(287, 20, 287, 20);   // 33 columns left: not part of it
  put_lift(320, 53, 320, 53);   // 33 rows up: not part of it
  put_lift(310, 52, 310, 52);   // 32 rows up: part of it
  enter();
  EXPECT_EQ(elevator.lift_x0, 300);
  EXPECT_EQ(elevator.lift_x1, 320);
  EXPECT_EQ(elevator.lift_y0, 20);
  EXPECT_EQ(elevator.lift_y1, 52);
  EXPECT_EQ(elevator.lift_rows, 33);
  EXPECT_EQ(engine_fakes.renderer_width, 21);
  EXPECT_EQ(engine_fakes.renderer_height, 33);
}

TEST_F(ElevatorTest, ALiftAtTheMapsEdgesIsCut) {
  put_lift(4090, 520, 4095, 527);
  enter();
  EXPECT_EQ(elevator.lift_x1, 4095);
  EXPECT_EQ(elevator.lift_y1, 527);
  EXPECT_EQ(call_log.back(), "invalidate_level(4090,527,4095,527)") << "no shaft rows to open";
  call_log.clear();
  elevator_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, upgrade_mode) << "the first update finds the lift at the top";
  EXPECT_EQ(call_log, (Lines{"delete_gameobj", "advance_level", "game_script_torvane(level 4, points 5)",
                             "destroy_renderer(renderer)", "play_sound_event_no_pos(21)", "open_upgrade_screen"}));
  EXPECT_EQ(elevator.lift_cells, nullptr);
}

TEST_F(ElevatorTest, TheRideSpeedsUpToFourRowsAndCarriesTheHero) {
  put_lift(1000, 497, 1003, 500);
  module_state.hero_pos = _mm_setr_ps(1001, 501, 7, 1);
  enter();
  std::vector<int> rows;
  for (int i = 1; i <= 9; i++) {
    int before = elevator.lift_y1;
    call_log.clear();
    elevator_mode->update(0.05f);
    rows.push_back(elevator.lift_y1 - before);
    char moved[96];
    snprintf(moved, sizeof(moved), "move_hero(1001.5,%d,7,1)", elevator.lift_y1);
    EXPECT_EQ(call_log, (Lines{"delete_gameobj", moved})) << "update " << i;
  }
  EXPECT_EQ(rows, (std::vector<int>{1, 2, 3, 4, 4, 4, 4, 4, 1}));
  EXPECT_EQ(cur_game_mode, elevator_mode);
  elevator_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, upgrade_mode) << "the tenth update ends the ride";
  EXPECT_EQ(cur_level, 4);
  EXPECT_EQ(up_points, 5);
}

TEST_F(ElevatorTest, CopiesOfTheLiftStandBelowTheHero) {
  put_lift(50, 490, 52, 493);  // four rows
  enter();
  module_state.hero_pos = _mm_setr_ps(51, 520, 0, 1);
  call_log.clear();
  elevator_mode->render(0.02f);
  Lines expected = {"render_play_scene(0.02)", "start_level_rendering", "interp_hero_pos(0.02)"};
  for (int y = 516; y - 490 > 0; y -= 4) {
    expected.push_back("set_level_tm(50," + std::to_string(y) + ",0,1)");
    expected.push_back("render_all(renderer,0)");
  }
  expected.push_back("end_level_rendering");
  EXPECT_EQ(calls_named({"render_play_scene", "start_level_rendering", "interp_hero_pos", "set_level_tm",
                         "render_all", "end_level_rendering"}),
            expected);
  EXPECT_EQ(calls_named({"set_level_tm"}).size(), 7u);

  call_log.clear();
  elevator_mode->renderOverlay(0.02f);
  use_vis_debug = true;
  elevator_mode->renderOverlay(0.02f);
  use_vis_debug = false;
  EXPECT_EQ(call_log, (Lines{"render_gameobj_debug(0.02)"}));
}

TEST_F(ElevatorTest, ALevelWithoutALiftSkipsTheRide) {
  testing::internal::CaptureStdout();
  enter();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("no lift in level 3, skipping the elevator ride"), std::string::npos) << out;
  EXPECT_TRUE(calls_named({"create_level_renderer", "invalidate_level"}).empty());
  call_log.clear();
  elevator_mode->render(0.02f);
  EXPECT_EQ(call_log, (Lines{"render_play_scene(0.02)"})) << call_log_text();
  elevator_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, upgrade_mode);
  EXPECT_EQ(cur_level, 4);
}

TEST_F(ElevatorTest, LeavingFreesTheCopy) {
  put_lift(10, 10, 12, 12);
  enter();
  ASSERT_NE(elevator.lift_cells, nullptr);
  call_log.clear();
  set_game_mode(nullptr);
  EXPECT_EQ(call_log, (Lines{"destroy_renderer(renderer)"}));
  EXPECT_EQ(elevator.lift_cells, nullptr);
  EXPECT_EQ(elevator.lift_renderer, nullptr);
}

}  // namespace
