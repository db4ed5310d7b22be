// The levels as a player crosses them: from the start to the exit (on a boss level,
// to the boss), running towards it, jumping what can be jumped and shooting a way
// through what cannot.
#include "game_fixture.h"

#include <dlfcn.h>

namespace {

class RouteTest : public GeneratedLevelTest {
 protected:
  // Heads for the exit until it takes the hero to the elevator.
  bool run_to_exit(int max_moves) {
    ExitFx* exit = exit_fx();
    return exit && head_for(exit->exitBox, max_moves, [] { return false; });
  }

  // Heads for the box (x0, y0, x1, y1) until `there` holds or the exit takes the hero
  // to the elevator: runs towards it; when the hero stops getting nearer it jumps,
  // and when that does not help it shoots: ahead, at its feet when the box is below,
  // and at what hangs over its head.
  template <class F>
  bool head_for(const float box[4], int max_moves, F&& there) {
    Hero* h = hero();
    int held = 0;
    auto hold = [&](int key) {
      if (held == key)
        return;
      if (held)
        release(held);
      if (key)
        press(key);
      held = key;
    };
    float best = 1e9f;
    int sinceProgress = 0, tries = 0;
    for (int i = 0; i < max_moves && !h->dead; i++) {
      if (cur_game_mode != play_mode || there()) {
        hold(0);
        return cur_game_mode == elevator_mode || cur_game_mode == play_mode;
      }
      float dx = clampf(h->x, box[0], box[2]) - h->x, dy = clampf(h->y, box[1], box[3]) - h->y;
      int dir = dx > 1 ? 1 : (dx < -1 ? -1 : 0);
      hold(dir > 0 ? 'D' : (dir < 0 ? 'A' : 0));
      float distance = std::fabs(dx) + std::fabs(dy);
      if (distance < best - 1) {
        best = distance;
        sinceProgress = 0;
      } else {
        sinceProgress++;
      }
      if (sinceProgress < 10) {
        step();
        continue;
      }
      sinceProgress = 0;
      if (++tries % 2) {
        press('W');
        step(8);
        release('W');
        continue;
      }
      // Level shots at the feet, the middle and the head carve a tunnel, steep ones
      // clear its roof over the wall's face; then what hangs over the hero's head.
      static const float ahead[][2] = {{120, 4}, {120, 10}, {120, 16}, {8, 18}, {8, 24}, {14, 28}, {3, 30}};
      for (const auto& a : ahead) {
        if (!dir)
          break;
        aim_at(h->x + dir * a[0], h->y + a[1]);
        press(1);
        step(10);
        release(1);
        step();
      }
      // Below: what the hero stands on (a barrel over the exit's lift).
      static const float below[][2] = {{0, -3}, {-4, -3}, {4, -3}};
      for (const auto& a : below) {
        if (dy > -2)
          break;
        aim_at(h->x + a[0], h->y + a[1]);
        press(1);
        step(10);
        release(1);
        step();
      }
      float cell[2];
      for (int shot = 0; shot < 4 && overhead_cell(cell); shot++) {
        aim_at(cell[0], cell[1]);
        press(1);
        step(10);
        release(1);
        step();
      }
    }
    hold(0);
    return false;
  }

  // The centre of a breakable cell just over the hero's head (one left hanging by
  // the shots stops a step up and a jump).
  bool overhead_cell(float cell[2]) {
    Hero* h = hero();
    int x0 = std::max(int(std::floor(h->x - 3)), 0), x1 = std::min(int(std::ceil(h->x + 3)), LEVEL_WIDTH);
    int y0 = int(std::floor(h->y + 12)), y1 = std::min(y0 + 6, LEVEL_HEIGHT);
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        if (level_data[y][x].collision == 1) {
          cell[0] = x + 0.5f, cell[1] = y + 0.5f;
          return true;
        }
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

// Every level the game plays, several layouts each, with its enemies taken out: the
// way from the start to the exit, or on a boss level to the boss, is open to the
// hero of a new game (the pistol alone, no upgrade bought).
class EveryLevelRoute : public RouteTest, public ::testing::WithParamInterface<int> {
 protected:
  // The module's own the_boss() (gameobj/boss.cpp), looked up in the loaded module.
  static Actor* boss() {
    auto the_boss = reinterpret_cast<Boss* (*)()>(dlsym(gameobj_module, "_Z8the_bossv"));
    return the_boss ? the_boss() : nullptr;
  }
};

TEST_P(EveryLevelRoute, LeadsFromTheStartToTheExitOrTheBoss) {
  int level = GetParam();
  bool bossLevel = level % 5 == 0;
  for (uint64_t seed = 1; seed <= 8; seed++) {
    SCOPED_TRACE("level " + std::to_string(level) + " seed " + std::to_string(seed));
    // Each level its own layouts.
    start_level(level, (uint64_t(level) * 100 + seed) * 0x2545F4914F6CDD1Dull + 11);
    ASSERT_EQ(bossLevel, boss() != nullptr);
    // On a boss level: under the boss (it hovers over its arena).
    float goal[4] = {0, 0, 0, float(LEVEL_HEIGHT)};
    if (bossLevel) {
      goal[0] = boss()->x - 8, goal[2] = boss()->x + 8;
    } else {
      ASSERT_TRUE(exit_fx());
      for (int k = 0; k < 4; k++)
        goal[k] = exit_fx()->exitBox[k];
    }
    gameobj_func_table.remove_all_enemies();
    step();
    Hero* h = hero();
    ASSERT_TRUE(h);
    ASSERT_FALSE(h->stats.plasmaGun) << "a new game's hero";
    h->invulnerable = 1e9f;  // the barrels its shots set off
    bool arrived = head_for(goal, 4000, [&] {
      return bossLevel && h->onGround && h->x > goal[0] && h->x < goal[2];
    });
    if (!arrived)
      print_surroundings();
    EXPECT_TRUE(arrived) << "stuck at " << h->x << ", " << h->y << (h->dead ? " (dead)" : "") << "; the goal "
                         << goal[0] << ".." << goal[2] << ", " << goal[1] << ".." << goal[3];
    set_game_mode(nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, EveryLevelRoute, ::testing::Range(1, 11),
                         [](const ::testing::TestParamInfo<int>& info) { return "Level" + std::to_string(info.param); });

}  // namespace
