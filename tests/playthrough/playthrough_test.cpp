// The whole game played headless through its entry, as a player plays it: title, a
// new game, level 1 to its exit, the elevator, the upgrade screen, level 2 until the
// hero dies, game over, a new game, the pause menu, the main menu and quit. Each stage
// checks the mode, the log and a screenshot against pixels computed from the screens'
// own layout.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/gui/dist_font.h"
#include "engine/gui/gui_screen.h"
#include "engine/render/d3d_device.h"
#include "engine/shell/controls.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "gameobj/hero.h"
#include "gameobj/ui.h"
#include "platform/win32/windows.h"
#include "support/game_run.h"
#include "support/hero_driver.h"
#include "support/screens.h"
#include "support/stages.h"

using namespace play;

namespace {

constexpr uint64_t CLOCK_START = 0x5EED0001;  // also the game's random seed

bool mode_is(GameMode* m) { return cur_game_mode == m; }

HeroDriver driver;
float exit_box[4];

void steer_to_exit() {
  ASSERT_TRUE(find_exit_box(exit_box)) << "level " << cur_level << " has no exit";
  float cx = (exit_box[0] + exit_box[2]) * 0.5f;
  driver.shooting = true;
  driver.setGoal([](const float box[4]) { return boxes_meet(box, exit_box, 2.5f); },
                 [cx](float x, float) { return std::fabs(x - cx) / 3.6f; });
}

// For a hero that wants to be hurt: it touches an enemy (the boxes as they are when
// the route is searched).
std::vector<std::array<float, 4>> enemies_now;
bool enemy_touched(const float box[4]) {
  for (const auto& e : enemies_now)
    if (boxes_meet(box, e.data(), 0.5f))
      return true;
  return false;
}

std::string last_line(const std::string& text) {
  size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos)
    return "";
  size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}

// ---- screens -------------------------------------------------------------------------------

// The title, as the screen lays it out now.
void check_title(const Picture& shot) {
  MenuLayout m;
  ASSERT_TRUE(read_menu_layout(m));
  EXPECT_TRUE(title_screen_shows(shot, m));
}

// The upgrade screen: a button per node of the script's tree, after Continue, each
// filled as its node's state says (the focused one in the focus colour); the nodes
// the points do not buy show a dimmed title and a red price, the others white ones.
void check_upgrade_nodes(const Picture& shot, const std::vector<UpgradeNode>& tree, int points) {
  MenuLayout m;
  ASSERT_TRUE(read_menu_layout(m));
  ASSERT_EQ(m.buttons.size(), tree.size() + 1) << "Continue and one button per node";
  float s = float(m.scale);
  int focused = 0;
  for (size_t i = 0; i < tree.size(); i++) {
    const Rect& b = m.buttons[i + 1];
    int px = int(b[2] - 3 * s), py = int(b[1] + 3 * s);
    uint32_t got = shot.at(px, py);
    bool focus_edge = near_colour(shot.at(int(b[2] - 1), centre_y(b)), ui_color::FOCUS_EDGE, 24);
    uint32_t want = tree[i].state == "owned" ? ui_color::OWNED
                    : tree[i].state == "locked" ? ui_color::LOCKED
                                                : ui_color::BUTTON;
    if (focus_edge) {
      focused++;
      want = ui_color::BUTTON_FOCUS;
    }
    EXPECT_TRUE(near_colour(got, want, 10)) << "node " << tree[i].name << " (" << tree[i].state << ") at " << px
                                            << "," << py << " is " << std::hex << got << " in " << shot.path;
    // Its frame stands out from the panel around it.
    EXPECT_FALSE(near_colour(shot.at(int(b[0]) - 2, centre_y(b)), got, 4)) << tree[i].name;
  }
  EXPECT_LE(focused, 1);
  for (const TextSpot& t : upgrade_node_texts(m, tree, points)) {
    EXPECT_TRUE(text_shows(shot, t)) << "at " << points << " points";
    if (t.colour == (ui_color::DIM & 0xFFFFFF))
      EXPECT_TRUE(text_gone(shot, TextSpot{t.text, t.box, ui_color::TEXT & 0xFFFFFF, t.iconLeft}))
          << "the title of a node the points do not buy is dimmed";
  }
}

}  // namespace

TEST(PlaythroughChild, Play) {
  GAME_CHILD_ONLY();
  int attempts = 0;
  int restart = 0;  // the steps of leaving a level that has no route
  int hero_health = 0;
  int spent_on = -1;
  int last_health = -1, health_since = 0;
  int shot_health = -1;
  std::vector<UpgradeNode> tree;
  Picture shot;

  std::vector<Stage> stages = {
      {"title screen", 100, [&](int n) {
         if (n == 0) {
           EXPECT_TRUE(mode_is(title_mode));
           EXPECT_TRUE(logged("total start-up time"));
           EXPECT_TRUE(logged("Initializing SoLoud..."));
         }
         if (n == 10)
           request_screenshot();
         if (n > 10 && read_screenshot(shot)) {
           keep_picture(shot, "title");
           EXPECT_EQ(shot.width, d3d_wd);
           check_title(shot);
           tap(VK_RETURN);  // the first item: a new game
           return true;
         }
         return false;
       }},
      {"a new game", 20, [&](int) {
         if (!mode_is(play_mode))
           return false;
         EXPECT_EQ(cur_level, 1);
         EXPECT_EQ(up_points, 0);
         return true;
       }},
      {"the HUD", 40, [&](int n) {
         if (n == 15)
           request_screenshot();
         if (n > 15 && read_screenshot(shot)) {
           keep_picture(shot, "play");
           EXPECT_EQ(gameobj_func_table.get_hero_health(), Hero_list[0]->maxHealth);
           EXPECT_TRUE(health_bar_shows(shot, 1.0f));
           return true;
         }
         return false;
       }},
      // A level without a route to its exit is left for a new game, as a player would.
      {"a level 1 with a route", 4000, [&](int) {
         if (restart == 0 && mode_is(play_mode)) {
           if (attempts == 0) {
             attempts = 1;
             steer_to_exit();
           }
           driver.update();
           if (!driver.lastSearchFailed())
             return driver.searches() > 0;
           printf("no route to the exit of this level 1 (attempt %d)\n", attempts);
           EXPECT_LT(attempts, 25) << "no level 1 had a route to its exit";
           driver.releaseAll();
           tap(button_keys[BUTTON_MENU]);
           restart = 1;
         } else if (restart == 1 && mode_is(pause_menu_mode)) {
           tap(VK_DOWN);  // main menu
           tap(VK_RETURN);
           restart = 2;
         } else if (restart == 2 && mode_is(title_mode)) {
           tap(VK_RETURN);
           restart = 3;
         } else if (restart == 3 && mode_is(play_mode)) {
           restart = 0;
           attempts++;
           steer_to_exit();
         }
         return false;
       }},
      {"level 1 to its exit", 4000, [&](int) {
         if (mode_is(play_mode))
           driver.update();
         return mode_is(elevator_mode);
       }},
      {"the elevator", 600, [&](int n) {
         if (n == 0) {
           driver.releaseAll();
           EXPECT_TRUE(logged("level textures")) << "the lift's own level renderer";
         }
         if (!mode_is(upgrade_mode))
           return false;
         EXPECT_EQ(cur_level, 2);
         EXPECT_EQ(up_points, 5);
         EXPECT_TRUE(logged("torvane: level 2 points 5")) << "the game script's level gain";
         return true;
       }},
      {"the upgrade screen", 60, [&](int n) {
         if (n == 5) {
           tree = read_upgrade_tree();
           EXPECT_FALSE(tree.empty());
           request_screenshot();
         }
         if (n > 5 && read_screenshot(shot)) {
           keep_picture(shot, "upgrades");
           check_upgrade_nodes(shot, tree, up_points);
           return true;
         }
         return false;
       }},
      {"points spent", 60, [&](int n) {
         MenuLayout m;
         if (!read_menu_layout(m) || m.buttons.size() != tree.size() + 1)
           return false;
         if (n == 0) {
           for (size_t i = 0; i < tree.size() && spent_on < 0; i++)
             if (tree[i].state == "available" && tree[i].cost <= up_points)
               spent_on = int(i);
           EXPECT_GE(spent_on, 0) << "a node the points buy";
           if (spent_on < 0)
             return true;
           click(centre_x(m.buttons[size_t(spent_on) + 1]), centre_y(m.buttons[size_t(spent_on) + 1]));
         }
         if (n == 2) {
           EXPECT_EQ(up_points, 5 - tree[size_t(spent_on)].cost);
           tree = read_upgrade_tree();
           EXPECT_EQ(tree[size_t(spent_on)].state, "owned");
           pointer_to(centre_x(m.buttons[0]), centre_y(m.buttons[0]));  // the focus leaves the node
         }
         if (n == 4)
           request_screenshot();
         if (n > 4 && read_screenshot(shot)) {
           keep_picture(shot, "upgrades_spent");
           check_upgrade_nodes(shot, tree, up_points);
           click(centre_x(m.buttons[0]), centre_y(m.buttons[0]));  // Continue
           return true;
         }
         return false;
       }},
      {"level 2", 20, [&](int) {
         if (!mode_is(play_mode))
           return false;
         EXPECT_EQ(cur_level, 2);
         EXPECT_EQ(up_points, 5 - tree[size_t(spent_on)].cost) << "the points spent stay spent";
         driver.shooting = false;
         driver.setGoal(enemy_touched, nullptr);
         hero_health = gameobj_func_table.get_hero_health();
         return true;
       }},
      // The bar eases to a new health within 12 updates: after the first hit the hero
      // stands, and the shot is taken once the health held that long (taken anew when
      // it changed meanwhile).
      {"the hero is hurt", 3000, [&](int n) {
         enemies_now = live_enemy_boxes();
         if (gameobj_func_table.get_hero_health() < hero_health)
           driver.clearGoal();
         driver.update();
         int health = gameobj_func_table.get_hero_health();
         if (health != last_health) {
           last_health = health;
           health_since = n;
           shot_health = -1;
         }
         if (mode_is(gameover_mode)) {
           ADD_FAILURE() << "the hero died before its health held still for a picture";
           return true;
         }
         if (health == hero_health || n < health_since + 12)
           return false;
         if (shot_health < 0) {
           shot_health = health;
           request_screenshot();
         } else if (read_screenshot(shot)) {
           keep_picture(shot, "hurt");
           EXPECT_TRUE(health_bar_shows(shot, float(health) / float(Hero_list[0]->maxHealth)));
           return true;
         }
         return false;
       }},
      {"the hero dies", 4000, [&](int n) {
         if (n == 0)
           driver.setGoal(enemy_touched, nullptr);
         enemies_now = live_enemy_boxes();
         if (mode_is(play_mode))
           driver.update();
         return mode_is(gameover_mode);
       }},
      // The screen is completed once the mode's second has run out.
      {"game over", 100, [&](int n) {
         if (n == 0) {
           driver.releaseAll();
           EXPECT_LE(gameobj_func_table.get_hero_health(), 0);
         }
         if (n == 30)
           request_screenshot();
         if (n > 30 && shot_health != -2 && read_screenshot(shot)) {
           keep_picture(shot, "game_over");
           MenuLayout m;
           EXPECT_TRUE(read_menu_layout(m)) << "the game-over screen";
           EXPECT_TRUE(panel_title_shows(shot, m, "GAME OVER"));
           shot_health = -2;
           tap(VK_RETURN);  // a new game
         }
         return shot_health == -2 && mode_is(play_mode);
       }},
      // The HUD's bar eases up from the dead hero's empty one; then the menu button.
      {"the new game", 40, [&](int n) {
         if (n == 0) {
           EXPECT_EQ(cur_level, 1);
           EXPECT_EQ(up_points, 0);
           EXPECT_EQ(gameobj_func_table.get_hero_health(), Hero_list[0]->maxHealth);
         }
         if (n < 20)
           return false;
         tap(button_keys[BUTTON_MENU]);
         return true;
       }},
      {"pause", 20, [&](int n) {
         if (!mode_is(pause_menu_mode))
           return false;
         EXPECT_TRUE(game_paused);
         if (shot_health != -3) {
           shot_health = -3;
           request_screenshot();
           return false;
         }
         if (!read_screenshot(shot))
           return false;
         keep_picture(shot, "pause");
         MenuLayout m;
         EXPECT_TRUE(read_menu_layout(m)) << "the pause screen";
         EXPECT_TRUE(panel_title_shows(shot, m, "PAUSED"));
         EXPECT_TRUE(health_bar_shows(shot, 1.0f));  // the HUD of the new game, under the menu
         tap(VK_DOWN);  // main menu
         tap(VK_RETURN);
         return true;
       }},
      {"main menu", 20, [&](int) {
         if (!mode_is(title_mode))
           return false;
         EXPECT_FALSE(game_paused);
         tap(VK_DOWN);
         tap(VK_DOWN);
         tap(VK_RETURN);  // quit
         return true;
       }},
      {"quit", 20, [&](int) { return false; }},
  };
  StageRunner runner(stages);
  int result = run_entry({"-fullscr", "-360"}, CLOCK_START, [&](int step) { runner(step); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(runner.current_name(), "quit") << "the game ended from the title's Quit";
  printf("route searches %d, moves played %d, routes left %d\n", driver.searches(), driver.legsPlayed(),
         driver.deviations());
}

TEST(Playthrough, TitleToQuit) {
  GameFolder folder = make_game_folder("playthrough");
  GameResult r = run_game(folder, "PlaythroughChild.Play");
  EXPECT_EQ(r.exit_code, 0) << tail(r.out);
  EXPECT_EQ(r.signal, 0);
  // The log ends with the orderly shut-down, and no error reached the screen on the way.
  EXPECT_NE(r.log.find("closing..."), std::string::npos);
  EXPECT_NE(last_line(r.log).find("| closed all systems"), std::string::npos) << last_line(r.log);
  EXPECT_EQ(r.log.find("ERROR MESSAGE SET"), std::string::npos) << r.log;
  EXPECT_EQ(r.log.find("script error"), std::string::npos);
}
