// Progress through the game: the upgrade tree, the bosses, the victory.
#include "game_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/log.h"
#include "engine/gui/gui_screen.h"
#include "engine/script/game_script.h"
#include "engine/shell/window.h"
#include "engine/world/camera.h"
#include "gameobj/bullet.h"

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

// Every tooltip text under a GUI element.
void tooltips_under(GuiElement* e, std::vector<std::string>& out) {
  String tip = e->getTooltip();
  if (tip.len())
    out.push_back(tip.c_str());
  for (int i = 0; i < e->children.size(); i++)
    tooltips_under(e->children[i], out);
}

// A locked node says what it needs in the names the player reads on the buttons.
TEST_F(ScriptedGameTest, UpgradeScreenNamesWhatALockedNodeNeeds) {
  start_at(100, yard::FLOOR);
  set_game_mode(nullptr);
  gameobj_func_table.open_upgrade_screen();
  ASSERT_TRUE(upgrade_screen);
  std::vector<std::string> tips;
  tooltips_under(upgrade_screen->root, tips);
  bool rate = false;
  for (const std::string& tip : tips) {
    EXPECT_EQ(tip.find("damage1"), std::string::npos) << tip;
    rate |= tip == "Needs Hot Rounds";
  }
  EXPECT_TRUE(rate) << "Quick Trigger needs Hot Rounds";
  EXPECT_NE(std::find(tips.begin(), tips.end(), "Needs Armour Plates, Dual Wield"), tips.end()) << "two needs";
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

// Ctrl+F1, the developer's "finish the level", on the last level: its boss falls, the
// victory screen shows, then the title; the game never rides on to a level after it.
TEST_F(GeneratedLevelTest, FinishingTheLastLevelWinsTheGame) {
  start_level(10);
  ASSERT_EQ(Boss2_list.size(), 1);
  bool dev_tools = use_dev_tools, active = isAppActive;
  use_dev_tools = isAppActive = true;
  press(VK_CONTROL);
  press(VK_F1);
  step();
  release(VK_F1);
  release(VK_CONTROL);
  step();
  use_dev_tools = dev_tools, isAppActive = active;
  bool won = step_until(100, [&] {
    ExitFx* exit = exit_fx();
    return (exit && exit->victoryTime >= 0) || cur_game_mode != play_mode;
  });
  EXPECT_TRUE(won);
  EXPECT_EQ(cur_game_mode, play_mode) << "the victory screen, no elevator ride";
  EXPECT_TRUE(Boss2_list.isEmpty()) << "the boss fell";
  bool title = step_until(200, [&] { return cur_game_mode == title_mode; });
  EXPECT_TRUE(title) << "then the title screen";
  EXPECT_EQ(cur_level, 10);
  EXPECT_FALSE(reached_exit);
}

// The enemies other than the bosses leave: only a boss may shoot at the hero.
void remove_all_but_the_bosses() {
  auto destroy_list = [](auto& list) {
    for (int i = 0; i < list.size(); i++)
      list[i]->destroy();
  };
  destroy_list(EnemyHWheels_list);
  destroy_list(EnemyTWheels_list);
  destroy_list(EnemyHFly_list);
  destroy_list(EnemyVFly_list);
  destroy_list(EnemySimpleJumper_list);
  destroy_list(EnemySimpleSpike_list);
  destroy_list(EnemyMagnetSpikes_list);
}

int boss_shots_in_flight() {
  int n = 0;
  for (int i = 0; i < Bullet_list.size(); i++)
    n += Bullet_list[i]->alive() && !Bullet_list[i]->fromHero;
  return n;
}

// The view shows 160 world units on each side of the camera at every window size: a
// boss is inside it when its whole body is.
constexpr float VIEW_HALF_WIDTH = 160;
bool inside_the_view(const Boss* boss) {
  float from_camera = std::fabs(boss->x - v_x(get_camera_pos()));
  return from_camera + std::fmax(-boss->ext[0], boss->ext[2]) <= VIEW_HALF_WIDTH;
}

// The hero walks right towards the boss of each boss level: the boss is neither woken
// nor shoots, nor is the hero hit, before the boss is inside the view; once there it
// wakes.
TEST_F(GeneratedLevelTest, BossesWakeAndFireOnlyOnTheScreen) {
  auto walk_towards = [&](Boss* boss, Hero* h) {
    h->invulnerable = 0;
    step(20);  // down on the arena's floor
    int health = h->health;
    bool seen = false;
    press('D');
    for (int i = 0; i < 200 && !seen; i++) {
      step();
      seen = inside_the_view(boss);
      if (seen)
        break;
      ASSERT_FALSE(boss->activated) << "woke at " << boss->x - h->x << " from the hero";
      ASSERT_EQ(boss_shots_in_flight(), 0) << "shot at " << boss->x - h->x << " from the hero";
      ASSERT_EQ(h->health, health) << "hit at " << boss->x - h->x << " from the hero";
    }
    ASSERT_TRUE(seen) << "the hero reached the boss (at " << boss->x - h->x << ")";
    bool woke = step_until(60, [&] { return boss->activated != 0; });
    release('D');
    step();
    EXPECT_TRUE(woke) << "the boss on the screen wakes";
  };
  for (int level : {5, 10}) {
    SCOPED_TRACE(level);
    start_level(level);
    remove_all_but_the_bosses();
    Boss* boss = level == 5 ? static_cast<Boss*>(Boss1_list[0]) : static_cast<Boss*>(Boss2_list[0]);
    step();
    gameobj_func_table.reset_hero(boss->x - 240, boss->y + 4);
    walk_towards(boss, hero());
    release('D');
  }
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
