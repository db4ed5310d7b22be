// The hero moving through the level: landing, running into walls, jumping gaps,
// riding lifts.
#include "game_fixture.h"

namespace {

using namespace yard;

TEST_F(GameTest, HeroFallsOntoTheFloorAndStandsThere) {
  Hero* h = start_at(100, 60);
  ASSERT_TRUE(h);
  step(40);
  EXPECT_NEAR(h->y, FLOOR, 0.05f);
  EXPECT_TRUE(h->onGround);
  EXPECT_EQ(h->vy, 0);
  float y = h->y;
  step(20);
  EXPECT_EQ(h->y, y) << "standing still stays put";
  EXPECT_EQ(cur_game_mode, play_mode);
}

TEST_F(GameTest, RunningHeroIsStoppedByAWall) {
  Hero* h = start_at(360, FLOOR);
  step(2);
  press('D');
  step(40);
  // The box (3 units each side of the position) ends just short of the wall.
  EXPECT_LT(h->x + h->ext[2], WALL_X);
  EXPECT_GT(h->x + h->ext[2], WALL_X - 0.1f);
  EXPECT_EQ(h->vx, 0);
  EXPECT_NEAR(h->y, FLOOR, 0.05f);
  release('D');
  press('A');
  step(10);
  EXPECT_LT(h->x, WALL_X - 20) << "it runs back the other way";
}

// Runs right from x = 140; with `jump` it takes off at the pit's edge.
struct GapRun {
  bool jump;
  bool crosses;
};

TEST_F(GameTest, HeroJumpsTheGapButFallsInWithoutJumping) {
  for (GapRun run : {GapRun{true, true}, GapRun{false, false}}) {
    Hero* h = start_at(140, FLOOR);
    step(2);
    press('D');
    bool jumped = false;
    for (int i = 0; i < 60; i++) {
      if (run.jump && !jumped && h->x + h->ext[2] >= PIT_X0 - 1) {
        press('W');
        jumped = true;
      }
      step();
    }
    release('D');
    if (jumped)
      release('W');
    step(20);
    if (run.crosses) {
      EXPECT_GT(h->x, PIT_X1) << "over the pit";
      EXPECT_NEAR(h->y, FLOOR, 0.05f);
      EXPECT_GT(h->health, 0);
      EXPECT_TRUE(played(5)) << "hero_jump";
    } else {
      EXPECT_LT(h->y, FLOOR - 10) << "down the pit";
      EXPECT_FALSE(played(5));
    }
  }
}

TEST_F(GameTest, HeroRidesALiftUpAndDown) {
  ASSERT_EQ(Lift_list.size(), 0);
  Hero* h = start_at(LIFT_X + 8, 40);
  ASSERT_EQ(Lift_list.size(), 1);
  Lift* lift = Lift_list[0];
  EXPECT_EQ(lift->startY, FLOOR + Lift::THICKNESS) << "on top of its tile";
  EXPECT_NEAR(lift->endY, 100 - Lift::HEADROOM, 0.05f) << "up to the ceiling, room left for a rider";
  step(10);
  EXPECT_NEAR(h->y, lift->y, 0.05f) << "landed on the platform";
  // It waits, rises to the top, waits and comes back.
  float top = h->y;
  bool rose = step_until(200, [&] { return lift->y >= lift->endY; });
  ASSERT_TRUE(rose);
  EXPECT_NEAR(h->y, lift->y, 0.3f) << "carried up";
  EXPECT_GT(h->y, top + 50);
  EXPECT_TRUE(h->onGround);
  step(10);
  bool back = step_until(200, [&] { return lift->y <= lift->startY; });
  ASSERT_TRUE(back);
  EXPECT_NEAR(h->y, lift->y, 0.3f) << "carried down again";
  EXPECT_EQ(h->health, h->maxHealth);
}

}  // namespace
