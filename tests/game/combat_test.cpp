// Damage and the ways out of a level: enemies' shots, dying, the exit.
#include "game_fixture.h"
#include "gameobj/bullet.h"

namespace {

using namespace yard;

TEST_F(GameTest, EnemyShotReducesTheHerosHealth) {
  Hero* h = start_at(100, FLOOR);
  gameobj_func_table.add_enemy(KIND_SIMPLE_SPIKE, 180, FLOOR);
  ASSERT_EQ(EnemySimpleSpike_list.size(), 1);
  int start = h->health;
  bool hit = step_until(100, [&] { return h->health < start; });
  ASSERT_TRUE(hit) << "the turret sees the hero and shoots";
  EXPECT_TRUE(played(14)) << "enemy_shoot";
  EXPECT_TRUE(played(6)) << "hero_hurt";
  // One shot hurts once: the hero is untouchable for a moment after a hit.
  int after = h->health;
  step(5);
  EXPECT_EQ(h->health, after);
  EXPECT_GT(screen_shake_x, 0) << "hits shake the screen";
}

TEST_F(GameTest, HerosShotsKillAnEnemy) {
  ASSERT_TRUE(start_at(100, FLOOR));
  gameobj_func_table.add_enemy(KIND_HWHEELS, 160, FLOOR);
  ASSERT_EQ(EnemyHWheels_list.size(), 1);
  press(1);  // shoot primary, at the enemy wherever it rolls
  bool dead = step_until(60, [&] {
    if (EnemyHWheels_list.isEmpty())
      return true;
    aim_at(EnemyHWheels_list[0]->x, EnemyHWheels_list[0]->centreY());
    return false;
  });
  release(1);
  EXPECT_TRUE(dead);
  EXPECT_TRUE(played(0)) << "pistol_shot";
  EXPECT_TRUE(played(10)) << "enemy_hurt";
  EXPECT_TRUE(played(11)) << "enemy_dead";
  EXPECT_GT(junk_records.size(), 0) << "debris flies";
}

// A hero put into a level is untouchable for a moment (it blinks), then not.
TEST_F(GameTest, HeroArrivesUnderAShortShield) {
  Hero* h = start_at(100, FLOOR);
  EXPECT_FALSE(h->hurt(10, 90, FLOOR));
  step(20);
  EXPECT_FALSE(h->hurt(10, 90, FLOOR));
  EXPECT_EQ(h->health, h->maxHealth);
  step(11);
  EXPECT_TRUE(h->hurt(10, 90, FLOOR));
  EXPECT_EQ(h->health, h->maxHealth - 5) << "level 1 hurts at half strength";
}

TEST_F(GameTest, HealthAtZeroLeadsToGameOver) {
  Hero* h = start_at(100, FLOOR);
  step(2);
  h->invulnerable = 0;  // the arrival shield is over
  // Health 1 is still alive; the next hit kills.
  h->health = 1;
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  h->hurt(1, 90, FLOOR);
  EXPECT_EQ(h->health, 0);
  step();
  EXPECT_EQ(cur_game_mode, gameover_mode);
  EXPECT_TRUE(h->dead);
}

TEST_F(GameTest, FallingOutOfTheLevelKills) {
  Hero* h = start_at(PIT_X0 + 15, FLOOR + 30);
  bool over = step_until(80, [&] { return cur_game_mode == gameover_mode; });
  EXPECT_TRUE(over);
  EXPECT_LE(h->health, 0);
}

TEST_F(GameTest, TouchingTheExitLeadsToTheElevator) {
  Hero* h = start_at(EXIT_X - 30, FLOOR);
  ASSERT_TRUE(exit_fx());
  EXPECT_EQ(exit_fx()->exitBox[0], EXIT_X);
  step(2);
  press('D');
  bool left = step_until(40, [&] { return cur_game_mode == elevator_mode; });
  release('D');
  EXPECT_TRUE(left);
  EXPECT_GT(h->health, 0);
}

TEST_F(GameTest, DeadHeroNeverReachesTheExit) {
  Hero* h = start_at(EXIT_X - 5, FLOOR);
  h->health = 1;
  h->invulnerable = 0;  // the arrival shield is over
  h->hurt(5, EXIT_X + 20, FLOOR);
  ASSERT_TRUE(h->dead);
  press('D');
  step(10);
  release('D');
  EXPECT_FALSE(reached_exit);
  EXPECT_EQ(cur_game_mode, gameover_mode);
}

// A shot that starts inside a wall (the muzzle already in it, the hero's side
// against the wall) hits that wall at once and breaks its crater there, whichever
// way it is aimed.
TEST_F(GameTest, ShotStartingInsideAWallBreaksIt) {
  const float aims[][2] = {{40, 7.5f}, {40, 40}, {40, -10}, {4, 40}, {1, 7.5f}};
  for (const auto& aim : aims) {
    Hero* h = start_at(100, FLOOR);
    step(2);
    fill(int(h->gunX()), int(FLOOR) + 5, 140, int(FLOOR) + 10, 1);
    aim_at(h->x + aim[0], FLOOR + aim[1]);
    press(1);
    step(2);
    release(1);
    step();
    EXPECT_EQ(level_data[int(FLOOR) + 7][int(h->gunX())].collision, 0) << "aimed at +" << aim[0] << ",+" << aim[1];
    EXPECT_TRUE(level_data[int(FLOOR) + 7][140].collision) << "a crater, not the whole wall";
  }
}

// A thin ledge at the hero's head, right beside it: shots aimed at its near end
// (straight up past the muzzle, at its corner, into it) break that end, and the hero
// gets under it.
TEST_F(GameTest, ShotsBreakALedgeRightBesideTheHero) {
  const float aims[][2] = {{6, 14}, {3, 13}, {2, 16}, {8, 12}};
  for (const auto& aim : aims) {
    Hero* h = start_at(250, FLOOR);
    fill(260, int(FLOOR) + 11, 300, int(FLOOR) + 14, 1);
    step(2);
    press('D');
    step(20);
    release('D');
    ASSERT_LT(h->x, 260) << "the ledge stops the hero";
    press(1);
    for (int i = 0; i < 30; i++) {
      aim_at(h->x + aim[0], FLOOR + aim[1]);
      step();
    }
    release(1);
    press('D');
    float stoppedAt = h->x;
    bool through = step_until(40, [&] { return h->x > stoppedAt + 2; });
    release('D');
    step(2);
    EXPECT_TRUE(through) << "aimed at +" << aim[0] << ",+" << aim[1] << ": stuck at " << h->x;
  }
}

// A quick click, pressed and let go between two steps, fires once; a held button
// keeps firing.
TEST_F(GameTest, QuickClickFiresOnce) {
  start_at(100, FLOOR);
  step(30);  // the camera settles on the hero
  // Up into the open yard, where shots fly on for their whole life.
  aim_at(160, FLOOR + 60);
  step();
  int before = Bullet_list.size();
  press(1);
  release(1);
  step();
  EXPECT_EQ(Bullet_list.size(), before + 1) << "the click fired";
  step(6);
  EXPECT_EQ(Bullet_list.size(), before + 1) << "and only once";
  press(1);
  step(20);
  release(1);
  EXPECT_GT(Bullet_list.size(), before + 3) << "holding fires again and again";
}

// A first-time player stopped on level 1 with enemies about (a jumper beside the
// hero, flyers over it) has time to look around; the same place deep in the game
// hurts more.
TEST_F(GameTest, StandingAmongEnemiesOnLevelOneIsSurvivable) {
  const struct {
    int level;
    int atLeast, atMost;
  } cases[] = {{1, 70, 100}, {1, 70, 100}, {1, 70, 100}, {10, -1000, 60}};
  for (const auto& c : cases) {  // level 1 thrice: the enemies move at random
    Hero* h = start_at(100, FLOOR);
    cur_level = c.level;
    gameobj_func_table.add_enemy(KIND_SIMPLE_JUMPER, 125, FLOOR);
    gameobj_func_table.add_enemy(KIND_SIMPLE_JUMPER, 70, FLOOR);
    gameobj_func_table.add_enemy(KIND_HFLY, 100, FLOOR + 45);
    gameobj_func_table.add_enemy(KIND_VFLY, 130, FLOOR + 35);
    step(300);  // 15 seconds
    int health = h->dead ? 0 : h->health;
    EXPECT_GE(health, c.atLeast) << "level " << c.level;
    EXPECT_LE(health, c.atMost) << "level " << c.level << ": the enemies reached the hero";
  }
}

}  // namespace

namespace {

using namespace yard;

// The wall of the yard (x = 400..409), made of breakable cells, between the hero
// and the exit: pistol shots swept up and down its face break a way through, and
// the hero walks on.
TEST_F(GameTest, PistolShotsBreakAWayThroughAWall) {
  Hero* h = start_at(WALL_X - 25, FLOOR);
  fill(int(WALL_X), 20, int(WALL_X) + 9, 79, 1);
  step(2);
  press(1);
  for (int i = 0; i < 120; i++) {
    static const float heights[] = {1, 5, 9, 13, 9, 5};
    aim_at(WALL_X + 3, FLOOR + heights[i % 6]);
    step();
  }
  release(1);
  press('D');
  bool through = step_until(60, [&] { return h->x > WALL_X + 12; });
  release('D');
  EXPECT_TRUE(through) << "stuck at " << h->x;
  EXPECT_TRUE(played(18)) << "bullet_destroys_wall";
  EXPECT_GT(junk_records.size(), 0) << "broken bricks fly";
  EXPECT_TRUE(level_data[60][int(WALL_X) + 5].collision) << "the wall stands above the way";
}

// Cells of class 2 (the exit's frame, the level's bottom) stop shots unbroken.
TEST_F(GameTest, UnbreakableCellsStopShots) {
  start_at(WALL_X - 25, FLOOR);
  fill(int(WALL_X), int(FLOOR), int(WALL_X) + 9, int(FLOOR) + 40, 2);
  step(2);
  press(1);
  for (int i = 0; i < 30; i++) {
    aim_at(WALL_X + 5, FLOOR + 8);
    step();
  }
  release(1);
  for (int y = int(FLOOR); y <= int(FLOOR) + 40; y++)
    ASSERT_EQ(level_data[y][int(WALL_X)].collision, 2) << y;
  EXPECT_TRUE(played(19)) << "bullet_hits_indestructible";
  EXPECT_FALSE(played(18));
}

}  // namespace
