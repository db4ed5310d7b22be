// The hero moving through the level: landing, running into walls, jumping gaps,
// riding lifts, walking and jumping on the slopes of the game's stair tiles.
#include "game_fixture.h"

#include "engine/gen/level_tiles.h"
#include "engine/shared/level_map.h"

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

// ---- slopes ------------------------------------------------------------------------

// A pyramid of the game's own stair tiles on a flat floor (rows 0..15): the rising
// tile at x = 120, a flat top of `top` cells at the tile's height, the falling tile.
struct Pyramid {
  const char* rising;   // rises to the right
  const char* falling;  // falls to the right
  int top;              // 0: the two slopes meet in a peak
  static constexpr int X0 = 120;
  static constexpr float FLOOR = 16, TOP = 32;
  float x1() const { return float(X0 + 32 + top); }  // right of the falling tile
  float topMiddle() const { return float(X0 + 16) + float(top) * 0.5f; }
};

const Pyramid PYRAMIDS[] = {
    {"stairR", "stairL", 16}, {"stairR", "stairL", 0}, {"z2stairR", "z2stairL", 16}, {"z2stairR", "z2stairL", 0}};

std::string name_of(const Pyramid& p) {
  return std::string(p.rising) + (p.top ? " flat top " : " peak ") + p.falling;
}

class SlopeTest : public GeneratedLevelTest {
 protected:
  // Stamps a tile's collision with its bottom-left cell at (x0, y0).
  static void stamp(const char* name, int x0, int y0) {
    LevelGenTile* t = find_level_tile(name);
    ASSERT_TRUE(t && t->collision) << name;
    for (int r = 0; r < t->height; r++)
      for (int c = 0; c < t->width; c++) {
        uint8_t cls = t->collision[r * t->width + c];
        level_data[y0 + r][x0 + c].collision = cls;
        level_data[y0 + r][x0 + c].foreground = cls ? 5 : 0;
      }
  }

  static void build(const Pyramid& p) {
    clear_level();
    fill(0, 0, 399, 15, 2);
    stamp(p.rising, Pyramid::X0, 16);
    if (p.top)
      fill(Pyramid::X0 + 16, 16, Pyramid::X0 + 15 + p.top, 31, 2);
    stamp(p.falling, Pyramid::X0 + 16 + p.top, 16);
  }

  // The hero standing at x on the pyramid, its feet at y.
  Hero* start_on(const Pyramid& p, float x, float y) {
    build(p);
    Hero* h = start_in_level(x, y + 0.5f);
    step(4);
    return h;
  }

  // How far the hero rises in the 12 steps after W goes down.
  float jump_height(Hero* h) {
    float from = h->y, highest = from;
    press('W');
    for (int i = 0; i < 12; i++) {
      step();
      highest = std::fmax(highest, h->y);
    }
    release('W');
    return highest - from;
  }

  // The height of the ground under column x.
  static float ground_at(int x) {
    int y = LEVEL_HEIGHT - 1;
    while (y > 0 && !level_data[y][x].collision)
      y--;
    return float(y + 1);
  }
};

// Where a walk starts and which way it goes; it must end on the floor beyond the
// pyramid, on the side it walked to.
struct SlopeWalk {
  const char* from;
  int dir;  // 1: D, -1: A
};

TEST_F(SlopeTest, HeroWalksOverEveryPyramidOfTheStairTilesBothWays) {
  const SlopeWalk walks[] = {{"left foot", 1}, {"right foot", -1}, {"top", 1}, {"top", -1}};
  for (const Pyramid& p : PYRAMIDS)
    for (const SlopeWalk& w : walks) {
      SCOPED_TRACE(name_of(p) + ", from the " + w.from + (w.dir > 0 ? " with D" : " with A"));
      // At a foot the box touches the slope's first column.
      float x = std::string(w.from) == "top"          ? p.topMiddle()
                : std::string(w.from) == "left foot" ? float(Pyramid::X0) - 3.01f
                                                      : p.x1() + 3.01f;
      float y = std::string(w.from) == "top" ? Pyramid::TOP : Pyramid::FLOOR;
      Hero* h = start_on(p, x, y);
      ASSERT_NEAR(h->y, y, 0.05f) << "stands where it was put";
      int key = w.dir > 0 ? 'D' : 'A';
      press(key);
      float goal = w.dir > 0 ? p.x1() + 12 : float(Pyramid::X0) - 12;
      bool over = step_until(60, [&] { return w.dir > 0 ? h->x > goal : h->x < goal; });
      release(key);
      EXPECT_TRUE(over) << "stuck at " << h->x << ", " << h->y;
      step(4);
      EXPECT_NEAR(h->y, Pyramid::FLOOR, 0.05f) << "on the floor beyond the pyramid";
    }
}

// Under a ceiling 12 cells over the pyramid's top, just the hero's height, the walk
// still goes over it.
TEST_F(SlopeTest, HeroWalksOverAPyramidUnderACeilingJustItsHeightAbove) {
  for (const Pyramid& p : PYRAMIDS)
    for (int dir : {1, -1}) {
      SCOPED_TRACE(name_of(p) + (dir > 0 ? " with D" : " with A"));
      float x = dir > 0 ? float(Pyramid::X0) - 3.01f : p.x1() + 3.01f;
      Hero* h = start_on(p, x, Pyramid::FLOOR);
      fill(Pyramid::X0 - 40, int(Pyramid::TOP) + 12, int(p.x1()) + 40, int(Pyramid::TOP) + 15, 2);
      int key = dir > 0 ? 'D' : 'A';
      press(key);
      float goal = dir > 0 ? p.x1() + 12 : float(Pyramid::X0) - 12;
      bool over = step_until(60, [&] { return dir > 0 ? h->x > goal : h->x < goal; });
      release(key);
      EXPECT_TRUE(over) << "stuck at " << h->x << ", " << h->y;
    }
}

// Walking down, the hero keeps to the slope (it does not fall down it step by step)
// and can jump from it at any moment.
TEST_F(SlopeTest, HeroWalksDownEverySlopeOnItsFeetAndJumpsFromIt) {
  for (const Pyramid& p : PYRAMIDS)
    for (int dir : {1, -1}) {
      SCOPED_TRACE(name_of(p) + (dir > 0 ? ", down to the right" : ", down to the left"));
      Hero* h = start_on(p, p.topMiddle(), Pyramid::TOP);
      int key = dir > 0 ? 'D' : 'A';
      press(key);
      // The slope's middle, where the jump is pressed.
      float middle = dir > 0 ? p.x1() - 8 : float(Pyramid::X0) + 8;
      int airborne = 0;
      bool there = step_until(60, [&] {
        airborne += !h->onGround;
        return dir > 0 ? h->x >= middle : h->x <= middle;
      });
      ASSERT_TRUE(there) << "stuck at " << h->x << ", " << h->y;
      EXPECT_EQ(airborne, 0) << "steps off the ground while walking down";
      float x = h->x;
      float height = jump_height(h);
      release(key);
      EXPECT_GT(height, 20) << "jumped from the slope at " << x;
    }
}

// Standing still anywhere on a pyramid (at its feet against the slope, on each
// step, on the top), W jumps.
TEST_F(SlopeTest, HeroJumpsFromEveryCellOfThePyramid) {
  for (const Pyramid& p : PYRAMIDS) {
    std::vector<float> places = {float(Pyramid::X0) - 3.01f, p.x1() + 3.01f};
    for (float x = float(Pyramid::X0) - 2; x < p.x1() + 3; x += 2)
      places.push_back(x + 0.5f);
    for (float x : places) {
      SCOPED_TRACE(name_of(p) + " at x " + std::to_string(x));
      // It stands on the highest column under its box.
      build(p);
      float ground = 0;
      for (int c = int(std::floor(x - 3)); c < int(std::ceil(x + 3)); c++)
        ground = std::fmax(ground, ground_at(c));
      Hero* h = start_on(p, x, ground);
      ASSERT_TRUE(h->onGround) << "at " << h->x << ", " << h->y;
      float stood = h->x, from = h->y;
      EXPECT_GT(jump_height(h), 20) << "stood at " << stood << ", " << from;
    }
  }
}

}  // namespace
