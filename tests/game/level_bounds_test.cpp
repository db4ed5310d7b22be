// Generated levels hold the hero in: rooms whose floor opens onto a room below leave
// holes in the map's bottom row, and the last boss's arena has no end walls; the
// module closes both on a level's first step.
#include "game_fixture.h"

namespace {

// The columns holding any cell, as [x0, x1).
void used_columns(int& x0, int& x1) {
  x0 = LEVEL_WIDTH, x1 = 0;
  for (int y = 0; y < LEVEL_HEIGHT; y++)
    for (int x = 0; x < LEVEL_WIDTH; x++) {
      const LevelCell& c = level_data[y][x];
      if (c.background || c.foreground || c.collision) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x + 1);
      }
    }
}

// Columns of the level whose bottom cell is open.
int bottom_holes(int x0, int x1) {
  int holes = 0;
  for (int x = x0; x < x1; x++)
    holes += level_data[0][x].collision == 0;
  return holes;
}

uint64_t seed_of(int n) { return uint64_t(n) * 0x9E3779B97F4A7C15ull + 7; }

TEST_F(GeneratedLevelTest, NoHoleInTheBottomRowOnceTheLevelRuns) {
  int holes_before = 0;
  for (int n = 1; n <= 6; n++)
    for (int level = 1; level <= 10; level++) {
      start_level(level, seed_of(n));
      int x0, x1;
      used_columns(x0, x1);
      holes_before += bottom_holes(x0, x1);
      step();
      ASSERT_EQ(bottom_holes(x0, x1), 0) << "level " << level << " seed " << n;
      for (int x = x0 + 1; x < x1 - 1; x++) {
        const LevelCell& c = level_data[0][x];
        ASSERT_NE(c.collision, 1) << "shots break no way out, at " << x;
        if (c.collision != 3)
          ASSERT_NE(c.foreground, 0) << "a filled hole looks like floor, at " << x;
      }
      // The outermost columns wall the level in from top to bottom.
      for (int y = 0; y < LEVEL_HEIGHT; y++) {
        ASSERT_NE(level_data[y][x0].collision, 0) << "level " << level << " row " << y;
        ASSERT_NE(level_data[y][x1 - 1].collision, 0) << "level " << level << " row " << y;
      }
    }
  EXPECT_GT(holes_before, 0) << "the generator does leave holes";
}

// What the lead saw: on a fresh level 1 the hero runs right from the start and drops
// through a hole in the bottom floor out of the map.
TEST_F(GeneratedLevelTest, RunningFromTheStartNeverDropsOutOfTheMap) {
  for (int n = 1; n <= 8; n++) {
    start_level(1, seed_of(n));
    gameobj_func_table.remove_all_enemies();
    Hero* h = hero();
    press('D');
    step(100);
    release('D');
    press('A');
    step(100);
    release('A');
    step(5);
    EXPECT_EQ(cur_game_mode, play_mode) << "seed " << n;
    EXPECT_GE(h->y, 1) << "seed " << n;
    EXPECT_EQ(h->health, h->maxHealth) << "seed " << n;
  }
}

// The last boss's arena: a floor between open windows, no end walls. The hero runs
// off the end of the floor and stays in.
TEST_F(GeneratedLevelTest, TheLastBossArenaKeepsTheHeroIn) {
  start_level(10, seed_of(1));
  gameobj_func_table.remove_all_enemies();
  int x0, x1;
  used_columns(x0, x1);
  step();
  gameobj_func_table.reset_hero(float(x1 - 100), 40);
  Hero* h = hero();
  press('D');
  step(60);
  release('D');
  step(10);
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_GT(h->x, x1 - 20) << "at the far end";
  EXPECT_LT(h->x, x1) << "a wall at the arena's end";
  EXPECT_GE(h->y, 1);
}

}  // namespace
