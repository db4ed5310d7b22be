// Every generated level can be left: the start and the exit stand in the bottom
// storey, and nothing between them that the hero's shots cannot break. The test
// breaks what the shots would (every breakable cell of a hero-high band over the
// bottom floor) and runs the hero to the exit.
#include "game_fixture.h"

namespace {

uint64_t seed_of(int n) { return uint64_t(n) * 0x2545F4914F6CDD1Dull + 3; }

// The bottom storey's floor: the top of the bottom slot row.
constexpr int FLOOR_TOP = 16;
constexpr int BAND = 16;  // cells over the floor the hero needs (12) and some

TEST_F(GeneratedLevelTest, ABrokenWayAlongTheBottomLeadsToTheExit) {
  for (int n = 1; n <= 4; n++)
    for (int level : {1, 2, 3, 4, 6, 7, 8, 9}) {
      start_level(level, seed_of(n));
      gameobj_func_table.remove_all_enemies();
      gameobj_func_table.remove_all_bonuses();
      step();
      Hero* h = hero();
      ExitFx* exit = exit_fx();
      ASSERT_TRUE(exit) << level;
      ASSERT_NEAR(h->y, FLOOR_TOP, 0.1f) << "the start stands on the bottom floor, level " << level;
      ASSERT_LT(exit->exitBox[1], FLOOR_TOP + BAND) << "the exit stands in the bottom storey, level " << level;
      int x0 = int(h->x) - 8, x1 = int(exit->exitBox[0]);
      ASSERT_LT(x0, x1);
      level_clear_box(x0, FLOOR_TOP, x1, FLOOR_TOP + BAND - 1);
      press('D');
      int steps = int((x1 - x0) / hero_tuning::RUN_SPEED * 20 * 1.5f) + 40;
      bool out = step_until(steps, [&] {
        // Over whatever the shots cannot break (a lift's block): a jump.
        if (h->onGround && std::fabs(h->vx) < 1)
          press('W');
        else
          release('W');
        return cur_game_mode != play_mode;
      });
      release('D');
      release('W');
      EXPECT_TRUE(out) << "level " << level << " seed " << n << ": stuck at " << h->x << "," << h->y
                       << ", the exit at " << exit->exitBox[0];
      EXPECT_EQ(cur_game_mode, elevator_mode) << "level " << level << " seed " << n;
      set_game_mode(nullptr);
    }
}

}  // namespace
