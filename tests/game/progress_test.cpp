// Progress through the game: the upgrade tree, the bosses, the victory.
#include "game_fixture.h"

#include "engine/script/game_script.h"

namespace {

// The game script with the module bound; the tree's first node is "health1"
// (+25 health for 5 points).
class ScriptedGameTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    init_game_script();
  }
  void TearDown() override {
    GameTest::TearDown();
    close_game_script();
  }
};

TEST_F(ScriptedGameTest, UpgradeScreenSpendsPointsAndTheStatsReachTheHero) {
  Hero* h = start_at(100, yard::FLOOR);
  EXPECT_EQ(h->maxHealth, 100);
  up_points = 12;
  set_game_mode(nullptr);
  gameobj_func_table.open_upgrade_screen();
  EXPECT_FALSE(should_close_game_menu);
  // Continue is focused first; the next item is the tree's first node.
  press(VK_DOWN);
  menu_step();
  press(VK_RETURN);
  menu_step();
  EXPECT_EQ(up_points, 7);
  EXPECT_EQ(h->maxHealth, 125) << "the script applied the new stats";
  EXPECT_EQ(h->health, 125);
  EXPECT_TRUE(played(22)) << "upgrade_plus";
  // The same node again: owned, nothing spent.
  press(VK_RETURN);
  menu_step();
  EXPECT_EQ(up_points, 7);
  EXPECT_TRUE(played(23)) << "upgrade_minus";
  // Up to Continue, which ends the screen.
  press(VK_UP);
  press(VK_RETURN);
  menu_step();
  EXPECT_TRUE(should_close_game_menu);
  gameobj_func_table.close_game_menu();
}

// Kills a boss's parts, then the boss, and steps until it has blown apart.
void beat_boss(GameTest& t, Boss* boss) {
  for (int i = 0; i < BossPart_list.size(); i++)
    BossPart_list[i]->hurt(1000, boss->x, boss->y);
  EXPECT_FALSE(boss->shielded());
  boss->hurt(10000, boss->x, boss->y);
  EXPECT_EQ(boss->health, 0);
}

TEST_F(GeneratedLevelTest, BeatingTheBossOpensTheExit) {
  start_level(5);
  ASSERT_EQ(Boss1_list.size(), 1) << "the generator placed the gunship";
  Boss* boss = Boss1_list[0];
  EXPECT_EQ(BossPart_list.size(), 2) << "two gun pods";
  EXPECT_FALSE(exit_fx()) << "no way out before the boss falls";
  EXPECT_TRUE(boss->shielded());
  int health = boss->health;
  boss->hurt(10, boss->x, boss->y);
  EXPECT_EQ(boss->health, health) << "the pods shield the core";
  beat_boss(*this, boss);
  step(70);
  EXPECT_TRUE(Boss1_list.isEmpty());
  ExitFx* exit = exit_fx();
  ASSERT_TRUE(exit);
  // put_exit_tile stamped lift cells there.
  int lift_cells = 0;
  for (int y = int(exit->exitBox[1]); y < int(exit->exitBox[3]); y++)
    for (int x = int(exit->exitBox[0]); x < int(exit->exitBox[2]); x++)
      lift_cells += level_data[y][x].collision == 3;
  EXPECT_GT(lift_cells, 0);
  EXPECT_TRUE(played(46)) << "boss1_activated";
  EXPECT_TRUE(played(49)) << "boss1_dying";
  EXPECT_TRUE(played(45)) << "boss_dead";
  // The hero next to it gets out.
  gameobj_func_table.reset_hero(exit->exitBox[0] - 3.5f, exit->exitBox[1]);
  step(2);
  EXPECT_EQ(cur_game_mode, elevator_mode);
}

TEST_F(GeneratedLevelTest, BeatingTheLastBossWinsTheGame) {
  start_level(10);
  ASSERT_EQ(Boss2_list.size(), 1);
  Boss* boss = Boss2_list[0];
  EXPECT_EQ(BossPart_list.size(), 4) << "four plates";
  beat_boss(*this, boss);
  step(70);
  ExitFx* exit = exit_fx();
  ASSERT_TRUE(exit);
  EXPECT_GE(exit->victoryTime, 0) << "the victory screen shows";
  EXPECT_EQ(cur_game_mode, play_mode);
  bool title = step_until(200, [&] { return cur_game_mode == title_mode; });
  EXPECT_TRUE(title) << "then the title screen";
  EXPECT_FALSE(reached_exit);
}

TEST_F(GeneratedLevelTest, GeneratedLevelsArePopulated) {
  for (int level : {1, 3, 6}) {
    start_level(level);
    int enemies = EnemyHWheels_list.size() + EnemyTWheels_list.size() + EnemyHFly_list.size() +
                  EnemyVFly_list.size() + EnemySimpleJumper_list.size() + EnemySimpleSpike_list.size() +
                  EnemyMagnetSpikes_list.size();
    EXPECT_GT(enemies, 5) << level;
    EXPECT_GT(HeartBonus_list.size() + UpBonus_list.size(), 0) << level;
    EXPECT_TRUE(exit_fx()) << level;
    EXPECT_GT(BackgroundTile_list.size(), 0) << level;
    ASSERT_TRUE(hero());
    // A few seconds of play do not crash or lose the hero.
    step(60);
    EXPECT_EQ(Hero_list.size(), 1);
  }
}

}  // namespace

namespace {

// The hero starts where it can move: no solid cell inside its box, and running
// takes it somewhere, in every level of a game and for many random seeds.
TEST_F(GeneratedLevelTest, HeroStartsInTheOpen) {
  for (uint64_t seed = 1; seed <= 12; seed++)
    for (int level : {1, 4, 5, 6, 9, 10}) {
      game_rnd_seed = seed * 0x9E3779B97F4A7C15ull;
      start_level(level);
      Hero* h = hero();
      ASSERT_TRUE(h);
      int hit = 0;
      __m128 push = collide_box_level(_mm_movelh_ps(h->bbox, h->bbox), _mm_movehl_ps(h->bbox, h->bbox), hit);
      EXPECT_EQ(v_sign_bits(v_cmpgt(push, _mm_setzero_ps())), 0)
          << "level " << level << " seed " << seed << " at " << h->x << "," << h->y;
      EXPECT_GT(run_both_ways(), 5) << "level " << level << " seed " << seed << " the hero runs";
    }
}

}  // namespace

namespace {

// A whole game's road: each level left through the exit (the developer's shortcut),
// the elevator ride, the upgrade screen's Continue, the next level, up to the last
// boss; the hero still answers the controls there.
TEST_F(GeneratedLevelTest, ElevatorsAndUpgradeScreensLeadToTheLastBoss) {
  start_level(1);
  for (int level = 1; level < 10; level++) {
    ASSERT_EQ(cur_game_mode, play_mode) << level;
    ASSERT_EQ(cur_level, level);
    reached_exit = true;
    step();
    bool upgrade = step_until(300, [] { return cur_game_mode == upgrade_mode; });
    ASSERT_TRUE(upgrade) << "the ride from level " << level;
    press(VK_RETURN);
    step();
    release(VK_RETURN);
    step();
  }
  ASSERT_EQ(cur_level, 10);
  ASSERT_EQ(cur_game_mode, play_mode);
  ASSERT_EQ(Boss2_list.size(), 1);
  EXPECT_GT(run_both_ways(), 5) << "the hero runs on level 10";
}

}  // namespace
