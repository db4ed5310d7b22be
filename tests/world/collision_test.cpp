// Box collision: push-out from cells, object overlaps and the moves built on the
// sweeps, on small hand-made maps.
#include <gtest/gtest.h>

#include "engine/world/collision.h"
#include "engine/world/gameobj_api.h"
#include "engine/world/level_sweep.h"
#include "tests/support/stand_in_module.h"
#include "world_test_util.h"

namespace {

class CollisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_level();
    install_stand_in_module(STAND_IN_OBJECTS);
  }
};

__m128 lo(float x, float y) { return _mm_setr_ps(x, y, 0, 0); }
__m128 box(float x0, float y0, float x1, float y1) { return _mm_setr_ps(x0, y0, x1, y1); }

struct LevelCase {
  const char* what;
  int cells[3][3];  // up to three cells (x, y, class), class 0 ends
  float x0, y0, x1, y1;
  float expect[4];
  int flags;
};

TEST_F(CollisionTest, PushOutFromSolidCells) {
  const LevelCase cases[] = {
      {"cell on the left", {{1, 5, 1}}, 1.9f, 5.0f, 2.9f, 6.0f, {0.1f, 0, 0, 0}, 0},
      {"deep inside a cell", {{2, 3, 1}}, 2.2f, 3.0f, 2.8f, 3.9f, {0, 0, 0, 0}, 0},
      {"floor below", {{4, 2, 1}, {5, 2, 1}}, 4.0f, 2.7f, 5.0f, 4.7f, {0, 0.3f, 0, 0}, 0},
      {"corner cell counts on both near sides", {{5, 2, 1}}, 4.8f, 2.7f, 5.2f, 3.7f, {0, 0.3f, 0.2f, 0}, 0},
      {"ceiling above", {{4, 6, 1}}, 4.0f, 4.5f, 5.0f, 6.4f, {0, 0, 0, 0.4f}, 0},
      {"wall on the right", {{9, 3, 1}}, 7.5f, 3.0f, 9.25f, 4.0f, {0, 0, 0.25f, 0}, 0},
      {"class 3 out of reach of every side", {{2, 3, 3}}, 2.2f, 3.0f, 2.8f, 3.9f, {0, 0, 0, 0}, HIT_CLASS3},
      {"touching by less than 0.01", {{3, 5, 1}}, 1.0f, 5.0f, 3.005f, 6.0f, {0, 0, 0, 0}, 0},
      {"outside the map", {{0, 0, 0}}, -5.0f, -5.0f, -1.0f, -1.0f, {0, 0, 0, 0}, 0},
  };
  for (const LevelCase& c : cases) {
    clear_level();
    for (const auto& cell : c.cells)
      if (cell[2])
        set_cell(cell[0], cell[1], cell[2]);
    int hit = 0;
    __m128 r = collide_box_level(lo(c.x0, c.y0), lo(c.x1, c.y1), hit);
    for (int k = 0; k < 4; k++)
      EXPECT_NEAR(lane(r, k), c.expect[k], 1e-5) << c.what << " lane " << k;
    EXPECT_EQ(hit, c.flags) << c.what;
  }
}

TEST_F(CollisionTest, ObjectOverlapsSetEnemyAndHeroFlags) {
  struct Case {
    const char* what;
    float enemy, neutral, hero;
    int flags;
    float result;
  } cases[] = {
      {"nothing", 0, 0, 0, 0, 0},
      {"an enemy", 0.5f, 0, 0, HIT_ENEMY, 0.5f},
      {"a neutral object raises the result only", 0, 0.7f, 0, 0, 0.7f},
      {"the hero", 0, 0, 0.2f, HIT_HERO, 0.2f},
      {"all three", 0.1f, 0.3f, 0.2f, HIT_ENEMY | HIT_HERO, 0.3f},
  };
  static float enemy, neutral, hero;
  static GameObj* seen_self;
  gameobj_func_table.collide_box_enemies = [](GameObj* s, int, __m128, __m128) {
    seen_self = s;
    return _mm_setr_ps(0, enemy, 0, 0);
  };
  gameobj_func_table.collide_box_neutral = [](GameObj*, __m128, __m128) { return _mm_setr_ps(0, neutral, 0, 0); };
  gameobj_func_table.collide_box_hero = [](GameObj*, __m128, __m128) { return _mm_setr_ps(0, hero, 0, 0); };
  GameObj self;
  for (const Case& c : cases) {
    enemy = c.enemy, neutral = c.neutral, hero = c.hero;
    int hit = 0;
    __m128 r = collide_box_objs(lo(0, 0), lo(1, 1), &self, hit);
    EXPECT_EQ(hit, c.flags) << c.what;
    EXPECT_FLOAT_EQ(lane(r, 1), c.result) << c.what;
    EXPECT_EQ(seen_self, &self);
  }
}

TEST_F(CollisionTest, FreeMovesAreTakenWhole) {
  for (float dx : {0.0f, 0.3f, -0.3f, 2.5f, -7.0f}) {
    int hit = 0;
    EXPECT_EQ(collide_box_x(box(10.2f, 5.0f, 11.2f, 7.0f), dx, hit, nullptr), dx) << "a standing box never drifts";
    EXPECT_EQ(hit, 0);
  }
  for (float dy : {0.0f, 0.25f, -1.5f}) {
    int hit = 0;
    EXPECT_NEAR(collide_box_y(box(10.2f, 5.0f, 11.2f, 7.0f), dy, hit, nullptr, nullptr), dy, 1e-5);
    EXPECT_EQ(hit, 0);
  }
}

TEST_F(CollisionTest, WallsStopTheLeadingEdgeWithClearance) {
  fill_cells(20, 0, 20, 20, 1);
  int hit = 0;
  float d = collide_box_x(box(10.0f, 5.0f, 11.0f, 7.0f), 20.0f, hit, nullptr);
  EXPECT_NEAR(11.0f + d, 20.0f - 0.02f, 1e-4) << "0.01 from the sweep, 0.01 from the margin";
  EXPECT_TRUE(hit & HIT_RIGHT);
  fill_cells(5, 0, 5, 20, 1);
  hit = 0;
  d = collide_box_x(box(10.0f, 5.0f, 11.0f, 7.0f), -20.0f, hit, nullptr);
  EXPECT_NEAR(10.0f + d, 6.0f + 0.02f, 1e-4);
  EXPECT_TRUE(hit & HIT_LEFT);
  // A box in a gap narrower than itself plus the margin lands in the middle.
  clear_level();
  fill_cells(9, 0, 9, 20, 1);
  fill_cells(11, 0, 11, 20, 1);
  hit = 0;
  d = collide_box_x(box(9.9f, 5.0f, 10.95f, 7.0f), 0.0f, hit, nullptr);
  EXPECT_NEAR((9.9f + 10.95f) / 2 + d, 10.5f, 1e-4);
}

TEST_F(CollisionTest, VerticalMovesLandOnFloorsAndReportGround) {
  fill_cells(0, 3, 30, 3, 1);
  int hit = 0;
  float ground[2] = {9, 9};
  float d = collide_box_y(box(10.0f, 6.0f, 11.0f, 8.0f), -5.0f, hit, nullptr, ground);
  EXPECT_NEAR(6.0f + d, 4.01f, 1e-4);
  EXPECT_TRUE(hit & HIT_DOWN);
  EXPECT_EQ(ground[0], 0);
}

TEST_F(CollisionTest, MovingBoxStepsUpOntoLowStepsOnly) {
  fill_cells(0, 0, 60, 9, 1);  // floor, top at y = 10
  fill_cells(20, 10, 60, 10, 1);  // a step of one cell from x = 20
  const __m128 ext = box(-0.5f, 0.0f, 0.5f, 2.0f);
  float ground[2];
  __m128 pos = _mm_setr_ps(15.0f, 10.02f, 3, 4);
  int flags = collide_moving_box(pos, _mm_setr_ps(25.0f, 10.02f, 0, 0), ext, nullptr, ground, 1.5f);
  EXPECT_NEAR(lane(pos, 0), 25.0f, 1e-3) << "stepped over";
  EXPECT_GT(lane(pos, 1), 11.0f) << "lifted onto the step";
  EXPECT_EQ(lane(pos, 2), 3) << "lanes 2 and 3 carried along";
  EXPECT_EQ(flags & (HIT_LEFT | HIT_RIGHT), 0);

  pos = _mm_setr_ps(15.0f, 10.02f, 0, 0);
  flags = collide_moving_box(pos, _mm_setr_ps(25.0f, 10.02f, 0, 0), ext, nullptr, ground, 0.0f);
  EXPECT_NEAR(lane(pos, 0), 19.48f, 1e-3) << "without a step height the step is a wall";
  EXPECT_NEAR(lane(pos, 1), 10.02f, 1e-3) << "never lifted";
  EXPECT_TRUE(flags & HIT_RIGHT);

  fill_cells(20, 11, 60, 12, 1);  // three cells high: too high for a 1.5 step
  pos = _mm_setr_ps(15.0f, 10.02f, 0, 0);
  flags = collide_moving_box(pos, _mm_setr_ps(25.0f, 10.02f, 0, 0), ext, nullptr, ground, 1.5f);
  EXPECT_LT(lane(pos, 0), 20.0f);
  EXPECT_TRUE(flags & HIT_RIGHT);
}

TEST_F(CollisionTest, SettlingFlagsAreNotReturned) {
  fill_cells(0, 0, 30, 4, 1);
  __m128 pos = _mm_setr_ps(10.0f, 4.8f, 0, 0);  // sunk into the floor by 0.2
  float ground[2];
  int flags = collide_moving_box(pos, _mm_setr_ps(10.0f, 6.0f, 0, 0), box(-0.5f, 0.0f, 0.5f, 2.0f), nullptr,
                                 ground, 0.0f);
  EXPECT_EQ(flags, 0) << "the settling sweeps met the floor; the move up met nothing";
  EXPECT_NEAR(lane(pos, 1), 6.0f, 1e-4);
}

}  // namespace
