#pragma once
// A headless game for the rule tests: a window record for the input road, the data
// folder mounted, the real module loaded and linked, the controls and the game flow
// of the shell. Each test builds its level by hand (or has the generator build one)
// and steps the current mode as the scene does, pressing keys on the way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/shell/controls.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/world/gameobj_host.h"
#include "platform/win32/windows.h"
#include "gameobj/bosses.h"
#include "gameobj/effects.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/lift.h"

// The yard: a small level every movement test starts from.
//   floor: rows 0..19 from x = 0 to 599, with a pit from x = 200 to 229
//   wall:  x = 400..409, rows 20..79
//   lift tile: cells (320..335, 4..19) of class 3, a ceiling over its shaft at rows 100..109
//   exit: cells (560..575, 20..35) of class 3
namespace yard {
constexpr float FLOOR = 20;
constexpr float PIT_X0 = 200, PIT_X1 = 230;
constexpr float WALL_X = 400;
constexpr int LIFT_X = 320;
constexpr float EXIT_X = 560;
}  // namespace yard

class GameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Keys and buttons through the window's messages (virtual-key codes).
  void press(int vk);
  void release(int vk);
  // One fixed step of the scene: messages, the current mode's update, end of input.
  void step(int n = 1);
  // A step of a menu screen shown without its game mode.
  void menu_step();
  // Moves the pointer over the world point (the crosshair), seen from the camera.
  void aim_at(float x, float y);
  // Steps until cond holds or n steps passed; true when it held.
  template <class F>
  bool step_until(int n, F&& cond) {
    for (int i = 0; i < n; i++) {
      if (cond())
        return true;
      step();
    }
    return cond();
  }

  // The level.
  static void clear_level();
  static void fill(int x0, int y0, int x1, int y1, int collision);  // inclusive
  static void build_yard();

  // The module's objects.
  Hero* hero() { return Hero_list.isEmpty() ? nullptr : Hero_list[0]; }
  // The level's exit, once known.
  ExitFx* exit_fx() {
    for (int i = 0; i < ExitFx_list.size(); i++)
      if (ExitFx_list[i]->alive())
        return ExitFx_list[i];
    return nullptr;
  }
  // Runs the hero right, then left (a wall may stand on one side, not on both): the
  // farther of the two runs.
  float run_both_ways();
  // The hero standing at (x, y) of a fresh game, in the play mode.
  Hero* start_at(float x, float y);
  // The same in the level the test built itself (no lift added).
  Hero* start_in_level(float x, float y);
  // The hero put at (x, y) of the game as it stands, the tiles marked, in the play mode.
  Hero* play_from(float x, float y);
  // The scene's camera on (cx, cy) and the matrices of a frame drawn through it.
  static void set_scene_camera(float cx, float cy);
  // The back buffer's pixels (0xAARRGGBB, top row first).
  static std::vector<uint32_t> read_back_buffer();
  // Pixels of the back buffer's size as a PNG in the per-user folder, to look at.
  static void save_picture(const char* name, const std::vector<uint32_t>& px);
  // Sound events the module played since the last call.
  std::vector<int> sounds();
  bool played(int id) {
    for (int s : sounds_heard)
      if (s == id)
        return true;
    return false;
  }
  std::vector<int> sounds_heard;
};

// Levels of the real generator, with the game's tiles.
class GeneratedLevelTest : public GameTest {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // A new game at the given level, generated, in the play mode.
  void start_level(int level);
  // The same from the given generator seed.
  void start_level(int level, uint64_t seed);
};
