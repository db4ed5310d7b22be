// Level 1 as a player crosses it: from the start to the exit along the main floor,
// running right, jumping what can be jumped and shooting a way through what cannot.
#include "game_fixture.h"

namespace {

class RouteTest : public GeneratedLevelTest {
 protected:
  // Runs right until the exit takes the hero to the elevator; when the hero stops
  // making way it jumps, and when that does not help it shoots at what stands in
  // front of it: level shots low, in the middle and high, steep ones over its head.
  bool run_to_exit(int max_moves) {
    Hero* h = hero();
    press('D');
    float bestX = h->x;
    int sinceProgress = 0, tries = 0;
    for (int i = 0; i < max_moves; i++) {
      if (cur_game_mode != play_mode) {
        release('D');
        return cur_game_mode == elevator_mode;
      }
      if (h->x > bestX + 1) {
        bestX = h->x;
        sinceProgress = 0;
      } else {
        sinceProgress++;
      }
      if (sinceProgress == 10) {
        tries++;
        sinceProgress = 0;
        if (tries % 2) {
          press('W');
          step(8);
          release('W');
        } else {
          // Level shots at the feet, the middle and the head carve a tunnel; steep
          // ones clear its roof over the wall's face.
          static const float aims[][2] = {{120, 4}, {120, 10}, {120, 16}, {8, 18}, {8, 24}, {14, 28}, {3, 30}};
          for (const auto& a : aims) {
            aim_at(h->x + a[0], h->y + a[1]);
            press(1);
            step(10);
            release(1);
            step();
          }
        }
        continue;
      }
      step();
    }
    release('D');
    return false;
  }

  // The cells around the hero ('#' breakable, '2' not, 'H' its feet), to see where
  // it got stuck.
  void print_surroundings() {
    int hx = int(hero()->x), hy = int(hero()->y);
    for (int y = std::min(hy + 40, LEVEL_HEIGHT - 1); y >= std::max(hy - 6, 0); y--) {
      std::string row;
      for (int x = std::max(hx - 20, 0); x < std::min(hx + 40, LEVEL_WIDTH); x++)
        row += (x == hx && y == hy) ? 'H' : level_data[y][x].collision == 2 ? '2' : level_data[y][x].collision ? '#' : '.';
      printf("%s %d\n", row.c_str(), y);
    }
  }
};

TEST_F(RouteTest, LevelOneCanBeCrossedFromStartToExit) {
  for (uint64_t seed = 1; seed <= 8; seed++) {
    start_level(1, seed * 0x9E3779B97F4A7C15ull + 1);
    // The way itself: no enemy on it.
    gameobj_func_table.remove_all_enemies();
    step();
    ASSERT_TRUE(hero());
    ASSERT_TRUE(exit_fx());
    bool arrived = run_to_exit(3000);
    if (!arrived)
      print_surroundings();
    EXPECT_TRUE(arrived) << "seed " << seed << ": stuck at " << hero()->x << ", " << hero()->y;
  }
}

// The same with the level's enemies, barrels and bonuses in it (the hero kept alive):
// nothing the level holds closes the way.
TEST_F(RouteTest, LevelOneCanBeCrossedAmongItsObjects) {
  for (uint64_t seed = 1; seed <= 6; seed++) {
    start_level(1, seed * 0x9E3779B97F4A7C15ull + 7);
    step();
    hero()->maxHealth = hero()->health = 1000000;
    bool arrived = run_to_exit(3000);
    if (!arrived)
      print_surroundings();
    EXPECT_TRUE(arrived) << "seed " << seed << ": stuck at " << hero()->x << ", " << hero()->y;
  }
}

}  // namespace
