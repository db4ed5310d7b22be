// Level sweeps, the thick ray trace and level edits on small hand-made maps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/world/gameobj_api.h"
#include "engine/world/level_sweep.h"
#include "tests/support/stand_in_module.h"
#include "world_test_util.h"

namespace {

class SweepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_level();
    install_stand_in_module(STAND_IN_OBJECTS);
  }
};

struct XCase {
  const char* what;
  float from, to, y0, y1;
  float expect;
  int flags;
};

TEST_F(SweepTest, HorizontalSweepsStopAtTheFirstSolidColumn) {
  set_cell(13, 3, 1);
  set_cell(8, 2, 1);
  const XCase cases[] = {
      {"right into column 13", 10.5f, 14.0f, 2.0f, 4.0f, 12.99f, HIT_RIGHT},
      {"left into column 8", 10.5f, 7.0f, 2.0f, 4.0f, 9.01f, HIT_LEFT},
      {"right, target short of the wall", 10.5f, 12.5f, 2.0f, 4.0f, 12.5f, 0},
      {"rows above the wall", 10.5f, 14.0f, 4.0f, 6.0f, 14.0f, 0},
      {"left past the map edge", 3.0f, -20.0f, 10.0f, 12.0f, -20.0f, 0},
      {"right past the map edge", 4090.0f, 4200.0f, 10.0f, 12.0f, 4200.0f, 0},
  };
  for (const XCase& c : cases) {
    int hit = 0;
    EXPECT_FLOAT_EQ(scan_level_x(c.from, c.to, c.y0, c.y1, hit), c.expect) << c.what;
    EXPECT_EQ(hit, c.flags) << c.what;
  }
}

TEST_F(SweepTest, BoxReachingAboveTheMapIsStoppedByTheFirstColumnInside) {
  int hit = 0;
  EXPECT_FLOAT_EQ(scan_level_x(10.5f, 20.0f, 520.0f, 530.0f, hit), 10.99f);
  EXPECT_EQ(hit, HIT_RIGHT);
  hit = 0;
  EXPECT_FLOAT_EQ(scan_level_x(-10.5f, -20.0f, 520.0f, 530.0f, hit), -20.0f) << "no column inside the map";
  EXPECT_EQ(hit, 0);
}

TEST_F(SweepTest, VerticalSweepsAtTheMapBorders) {
  int hit = 0;
  float ground[2] = {7, 7};
  EXPECT_FLOAT_EQ(scan_level_y(5, 6, 520, 540, hit, ground), 527.99f) << "above the top row is solid";
  EXPECT_EQ(hit, HIT_UP);
  EXPECT_EQ(ground[0], 0);
  hit = 0;
  ground[0] = ground[1] = 7;
  EXPECT_FLOAT_EQ(scan_level_y(5, 6, 10, -30, hit, ground), -30.0f) << "the bottom edge stops nothing";
  EXPECT_EQ(hit, 0);
  EXPECT_EQ(ground[0], 7) << "ground untouched without a stop";
  fill_cells(0, 4, 20, 4, 1);
  hit = 0;
  EXPECT_FLOAT_EQ(scan_level_y(5, 6, 10, 0, hit, ground), 5.01f);
  EXPECT_EQ(hit, HIT_DOWN);
  EXPECT_EQ(ground[0], 0);
  EXPECT_EQ(ground[1], 0);
}

TEST_F(SweepTest, ClassThreeCellsAreReportedEvenWhenAnotherCellStops) {
  set_cell(12, 2, 1);
  set_cell(12, 3, 3);
  int hit = 0;
  EXPECT_FLOAT_EQ(scan_level_x(10.5f, 14.0f, 2.0f, 4.0f, hit), 11.99f);
  EXPECT_EQ(hit, HIT_RIGHT | HIT_CLASS3);
}

TEST_F(SweepTest, StandingStillTestsTheCellOfAWholeNumberOnly) {
  // Odd and even whole numbers alike map to their own cell.
  for (int n : {6, 7, 100, 101, 4095}) {
    clear_level();
    set_cell(n, 3, 1);
    int hit = 0;
    EXPECT_FLOAT_EQ(scan_level_x(float(n), float(n), 2.0f, 4.0f, hit), float(n) - 0.01f) << n;
    EXPECT_EQ(hit, HIT_RIGHT) << n;
    hit = 0;
    EXPECT_FLOAT_EQ(scan_level_x(n + 0.5f, n + 0.5f, 2.0f, 4.0f, hit), n + 0.5f) << "fractional: nothing tested";
    EXPECT_EQ(hit, 0);
    clear_level();
    set_cell(3, n % LEVEL_HEIGHT, 1);
    hit = 0;
    float row = float(n % LEVEL_HEIGHT);
    EXPECT_FLOAT_EQ(scan_level_y(2.5f, 3.5f, row, row, hit, nullptr), row - 0.01f) << n;
    EXPECT_EQ(hit, HIT_UP);
  }
}

TEST_F(SweepTest, WholeNumberBoxEdgesCoverExactlyTheirCells) {
  // A box spanning rows 2..4 (y 2.0 to 4.0) covers rows 2 and 3 only.
  set_cell(12, 4, 1);
  set_cell(12, 1, 1);
  int hit = 0;
  EXPECT_FLOAT_EQ(scan_level_x(10.5f, 14.0f, 2.0f, 4.0f, hit), 14.0f);
  set_cell(12, 3, 1);
  EXPECT_FLOAT_EQ(scan_level_x(10.5f, 14.0f, 3.0f, 5.0f, hit), 11.99f);
  for (int n : {7, 8}) {
    clear_level();
    set_cell(n, 10, 1);
    hit = 0;
    // The box's right edge at a whole number n + 0 touches column n only when moving.
    EXPECT_FLOAT_EQ(scan_level_x(float(n) - 1.0f, float(n), 10.0f, 11.0f, hit), float(n) - 0.01f);
  }
}

TEST_F(SweepTest, NaNAndHugeCoordinatesAreSafe) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float big = 3e38f;
  set_cell(0, 0, 1);
  int hit = 0;
  EXPECT_EQ(scan_level_x(10, big, 2, 4, hit), big) << "columns beyond the map never block";
  EXPECT_EQ(hit, 0);
  hit = 0;
  scan_level_x(nan, 10, nan, nan, hit);
  scan_level_x(10, nan, 2, 4, hit);
  scan_level_y(nan, big, -big, big, hit, nullptr);
  scan_level_y(-big, big, big, -big, hit, nullptr);
  EXPECT_FLOAT_EQ(scan_level_x(-big, big, 0, 1, hit), 0.0f - 0.01f);
  EXPECT_FALSE(trace_level(_mm_set1_ps(nan), _mm_setr_ps(5, 5, 0, 0), 0, nullptr, nullptr, nullptr));
  EXPECT_FALSE(trace_level(_mm_setr_ps(-big, 5, 0, 0), _mm_setr_ps(-big, 6, 0, 0), 2, nullptr, nullptr, nullptr));
  trace_level(_mm_setr_ps(-big, -big, 0, 0), _mm_setr_ps(big, big, 0, 0), 1, nullptr, nullptr, nullptr);
}

TEST_F(SweepTest, ScanAllLetsTheModuleReplaceTheLevelResult) {
  set_cell(20, 3, 1);
  int hit = 0;
  EXPECT_FLOAT_EQ(scan_all_x(10.5f, 30.0f, 2.0f, 4.0f, hit, nullptr), 19.99f);
  EXPECT_EQ(hit, HIT_RIGHT);
  static float seen_to;
  gameobj_func_table.scan_objects_x = [](int& h, GameObj*, float, float to, float, float) {
    seen_to = to;
    h |= HIT_RIGHT;
    return 15.0f;
  };
  GameObj self;
  hit = 0;
  EXPECT_FLOAT_EQ(scan_all_x(10.5f, 30.0f, 2.0f, 4.0f, hit, &self), 15.0f);
  EXPECT_FLOAT_EQ(seen_to, 19.99f) << "objects swept only as far as the level allows";
  EXPECT_EQ(hit, HIT_RIGHT);

  fill_cells(0, 1, 40, 1, 3);
  // The module reports the ground of what stopped a downward sweep (a moving lift's
  // velocity, say); an upward stop reports none.
  static int object_flag;
  gameobj_func_table.scan_objects_y = [](int& h, GameObj*, float, float, float, float, float* out) {
    h |= object_flag;
    out[0] = 3.0f, out[1] = -4.0f;
    return 6.0f;
  };
  object_flag = HIT_DOWN;
  float ground[2] = {5, 5};
  hit = 0;
  EXPECT_FLOAT_EQ(scan_all_y(10, 11, 10, 0, hit, &self, ground), 6.0f);
  EXPECT_EQ(hit, HIT_DOWN) << "the level's class-3 flag of this call is dropped";
  EXPECT_EQ(ground[0], 3.0f) << "the object's ground reaches the caller";
  EXPECT_EQ(ground[1], -4.0f);
  scan_all_y(10, 11, 10, 0, hit, &self, nullptr);  // no ground wanted: nothing written
  object_flag = HIT_UP;
  ground[0] = ground[1] = 5;
  hit = 0;
  EXPECT_FLOAT_EQ(scan_all_y(10, 11, 0, 10, hit, &self, ground), 6.0f);
  EXPECT_EQ(hit, HIT_UP);
  EXPECT_EQ(ground[0], 5.0f) << "only a stop going down reports ground";
  hit = 0;
  EXPECT_FLOAT_EQ(scan_all_y(10, 11, 10, 0, hit, nullptr, ground), 2.01f);
  EXPECT_EQ(hit, HIT_DOWN | HIT_CLASS3);
  EXPECT_EQ(ground[0], 0);
  EXPECT_EQ(ground[1], 0);
  // No object in the way: the level's stop and its ground.
  object_flag = 0;
  ground[0] = ground[1] = 5;
  hit = 0;
  EXPECT_FLOAT_EQ(scan_all_y(10, 11, 10, 0, hit, &self, ground), 2.01f);
  EXPECT_EQ(ground[0], 0);
}

TEST_F(SweepTest, TraceFindsTheFirstSolidStrip) {
  EXPECT_FALSE(trace_level(_mm_setr_ps(-10, 5, 0, 0), _mm_setr_ps(-20, 5, 0, 0), 0, nullptr, nullptr, nullptr));
  set_cell(30, 5, 1);
  float t = -1;
  vec4i32 cell;
  __m128 pos;
  ASSERT_TRUE(trace_level(_mm_setr_ps(10.5f, 5.5f, 7, 9), _mm_setr_ps(40.5f, 5.5f, 7, 9), 0, &pos, &cell, &t));
  EXPECT_EQ(cell.x, 30);
  EXPECT_EQ(cell.y, 5);
  EXPECT_NEAR(t, 19.5f / 30.0f, 1e-5);
  EXPECT_NEAR(lane(pos, 0), 30.0f, 1e-3);
  EXPECT_EQ(lane(pos, 2), 7);
  // Starting inside a solid cell: t = 0 and that cell.
  ASSERT_TRUE(trace_level(_mm_setr_ps(30.5f, 5.5f, 0, 0), _mm_setr_ps(40, 5.5f, 0, 0), 0, nullptr, &cell, &t));
  EXPECT_EQ(t, 0);
  EXPECT_EQ(cell.x, 30);
  // A mostly vertical ray with r = 1 sees the cell beside its path.
  clear_level();
  set_cell(11, 20, 1);
  EXPECT_FALSE(trace_level(_mm_setr_ps(10.5f, 5.5f, 0, 0), _mm_setr_ps(10.6f, 40.5f, 0, 0), 0, nullptr, nullptr, nullptr));
  ASSERT_TRUE(trace_level(_mm_setr_ps(10.5f, 5.5f, 0, 0), _mm_setr_ps(10.6f, 40.5f, 0, 0), 1, nullptr, &cell, nullptr));
  EXPECT_EQ(cell.x, 10) << "the centre of the strip";
  EXPECT_EQ(cell.y, 20);
  // Ending inside cell 0 of a negative direction still tests cell 0.
  clear_level();
  set_cell(0, 5, 1);
  EXPECT_TRUE(trace_level(_mm_setr_ps(5.5f, 5.5f, 0, 0), _mm_setr_ps(0.5f, 5.5f, 0, 0), 0, nullptr, nullptr, nullptr));
}

TEST_F(SweepTest, ClearBoxClearsOnlyDestructibleCellsInsideTheMap) {
  fill_cells(0, 0, 9, 9, 1);
  set_cell(1, 0, 2);
  level_data[0][0].foreground = 5;
  level_data[0][0].background = 6;
  level_clear_box(5, 5, 4, 9);
  EXPECT_EQ(level_data[5][5].collision, 1) << "inverted box: nothing";
  level_clear_box(-3, 0, 2, 0);
  EXPECT_EQ(level_data[0][0].collision, 0);
  EXPECT_EQ(level_data[0][0].foreground, 0);
  EXPECT_EQ(level_data[0][0].background, 6);
  EXPECT_EQ(level_data[0][1].collision, 2) << "class 2 stays";
  EXPECT_EQ(level_data[0][2].collision, 0);
  EXPECT_EQ(level_data[0][3].collision, 1);
  EXPECT_EQ(level_data[1][0].collision, 1);
  level_clear_box(4090, 520, 5000, 600);  // clamped, no crash
}

}  // namespace
