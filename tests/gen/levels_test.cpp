// Whole levels from the game's tiles and templates, for every kind of level: the same
// generator state gives the same level; the grid is filled; enemies stand on floor
// slots; ordinary levels have a start and an exit; rooms that promise each other a
// connection are open between them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "engine/gen/level_compose.h"
#include "engine/gen/room_templates.h"
#include "engine/render/image.h"
#include "engine/shared/level_map.h"
#include "engine/shared/palette.h"
#include "engine/shell/modes/game_flow.h"  // cur_level
#include "gen_test_util.h"
#include "tests/support/stand_in_module.h"

namespace {

// The placed templates whose rectangle holds the slot, innermost last.
std::string templates_at(int sx, int sy) {
  std::string s;
  for (const LevelGenPlacement& p : level_placements)
    if (sx >= p.tileX && sx < p.tileX + p.tmpl->tilesWide && sy >= p.tileY && sy < p.tileY + p.tmpl->tilesHigh)
      s += std::string(" ") + p.tmpl->name + (p.flipped ? "(m)" : "") + "@" + std::to_string(p.tileX) + "," +
           std::to_string(p.tileY);
  return s;
}

bool slot_solid(int sx, int sy) {
  for (int y = 16 * sy; y < 16 * sy + 16; y++)
    for (int x = 16 * sx; x < 16 * sx + 16; x++)
      if (level_data[y][x].collision)
        return true;
  return false;
}

struct GenLevels : ::testing::TestWithParam<int> {
  void SetUp() override { use_game_tiles(); }
  void generate(uint64_t seed) {
    cur_level = GetParam();
    game_rnd_seed = seed;
    clear_module_calls();
    generate_level();
  }
  int zone() const { return (GetParam() - 1) / 5; }
  bool boss() const { return (GetParam() - 1) % 5 == 4; }
};

TEST_P(GenLevels, SameSeedSameLevelOtherSeedOtherLevel) {
  generate(1234567);
  uint64_t a = level_map_hash(), state_a = game_rnd_seed;
  size_t calls_a = module_calls.size();
  generate(1234567);
  EXPECT_EQ(level_map_hash(), a);
  EXPECT_EQ(game_rnd_seed, state_a);
  EXPECT_EQ(module_calls.size(), calls_a);
  generate(7654321);
  if (!(boss() && zone() >= 1)) {  // the boss rooms of zone 2 and on have nothing random
    EXPECT_NE(level_map_hash(), a);
  }
}

TEST_P(GenLevels, NoOpenCellIsLeftAndEveryPlacementIsRecorded) {
  // The boss level of the second zone is its boss room alone (no grid fill), and from
  // the third zone on the boss level has no pieces at all.
  if (boss() && zone() >= 1)
    GTEST_SKIP() << "no grid fill on this level";
  for (uint64_t seed = 1; seed <= 20; seed++) {
    generate(seed * 7919);
    for (int i = 0; i < 100; i++)
      ASSERT_EQ(level_cells[i] & CELL_OPEN, 0) << "seed " << seed << " cell " << i;
    ASSERT_GT(level_placements.size(), 0);
  }
}

TEST_P(GenLevels, EnemiesStandOnFloorSlots) {
  for (uint64_t seed = 1; seed <= 20; seed++) {
    generate(seed * 104729);
    for (const ModuleCall& c : module_calls) {
      if (c.kind != ModuleCallKind::Enemy)
        continue;
      int sx = (int(c.f[0]) - 8) / 16, sy = int(c.f[1]) / 16;
      ASSERT_EQ(int(c.f[0]) % 16, 8);
      ASSERT_EQ(int(c.f[1]) % 16, 0);
      EXPECT_FALSE(slot_solid(sx, sy)) << "kind " << c.i[0] << " at " << sx << "," << sy << " seed " << seed
                                       << templates_at(sx, sy);
      bool group_enemy = c.i[0] >= 19 && c.i[0] <= 25;
      if (group_enemy) {
        EXPECT_TRUE(sy > 0 && slot_solid(sx, sy - 1)) << "kind " << c.i[0] << " at " << sx << "," << sy;
      }
    }
  }
}

TEST_P(GenLevels, StartExitAndLiftCells) {
  for (uint64_t seed = 1; seed <= 20; seed++) {
    generate(seed * 31337);
    int heroes = 0;
    for (const ModuleCall& c : module_calls)
      heroes += c.kind == ModuleCallKind::Hero;
    bool lift_cell = false;
    for (int y = 0; y < LEVEL_HEIGHT && !lift_cell; y++)
      for (int x = 0; x < LEVEL_WIDTH && !lift_cell; x++)
        lift_cell = level_data[y][x].collision == 3;
    if (boss() && zone() >= 2) {
      EXPECT_EQ(heroes, 0);  // the composition places no piece there
      continue;
    }
    EXPECT_EQ(heroes, 1) << "seed " << seed;
    for (const ModuleCall& c : module_calls)
      if (c.kind == ModuleCallKind::Hero) {
        int sx = (int(c.f[0]) - 8) / 16, sy = int(c.f[1]) / 16;
        EXPECT_FALSE(slot_solid(sx, sy)) << "hero start in a wall, seed " << seed << templates_at(sx, sy);
        EXPECT_TRUE(sy > 0 && slot_solid(sx, sy - 1)) << "hero start in the air, seed " << seed;
      }
    if (!boss()) {
      int exits = 0;
      for (const LevelGenPlacement& p : level_placements)
        exits += strstr(p.tmpl->name, ".exit") != nullptr;
      EXPECT_EQ(exits, 1);
      EXPECT_TRUE(lift_cell) << "seed " << seed;
    } else {
      // The boss rooms choose the exit for later; stamping it adds the lift cells.
      float r[4];
      _mm_storeu_ps(r, put_exit_tile());
      int x = int(r[0]), y = int(r[1]);
      EXPECT_EQ(level_data[y + 8][x + 8].collision, 3);
      ASSERT_EQ(invalidated_rects.size(), 1u);
      EXPECT_EQ(invalidated_rects[0].x0, x);
      EXPECT_EQ(invalidated_rects[0].x1, x + 16);
    }
  }
}

// Open columns of a horizontal boundary, or open rows of a vertical one: the longest
// run of cells that are free (or lift cells) on both sides. A connection counts as
// open when a horizontal one is at least a slot and a half high and a vertical one at
// least a slot (the width of a lift) wide.
int longest_open_run(bool vertical_edge, int fixed, int from, int to) {
  int best = 0, run = 0;
  for (int i = from; i < to; i++) {
    bool open;
    if (vertical_edge) {
      uint8_t a = level_data[i][fixed - 1].collision, b = level_data[i][fixed].collision;
      open = (a == 0 || a == 3) && (b == 0 || b == 3);
    } else {
      uint8_t a = level_data[fixed - 1][i].collision, b = level_data[fixed][i].collision;
      open = (a == 0 || a == 3) && (b == 0 || b == 3);
    }
    run = open ? run + 1 : 0;
    best = run > best ? run : best;
  }
  return best;
}

TEST_P(GenLevels, RoomsThatPromiseAConnectionAreOpenBetweenThem) {
  for (uint64_t seed = 1; seed <= 20; seed++) {
    generate(seed * 65537);
    // The attribute each placed room gives each grid cell it covers.
    int attr[4][25];
    const char* names[4][25] = {};
    memset(attr, -1, sizeof(attr));
    for (const LevelGenPlacement& p : level_placements) {
      const LevelGenTemplate* t = p.tmpl;
      if (!t->pattern || t->cellsWide <= 0 || p.tileX % 10 || p.tileY % 8)
        continue;
      for (int pr = 0; pr < t->cellsHigh; pr++)
        for (int pc = 0; pc < t->cellsWide; pc++) {
          int c = p.tileX / 10 + pc, r = p.tileY / 8 + t->cellsHigh - 1 - pr;
          if (c < 25 && r < 4) {
            attr[r][c] = t->pattern[pr * t->cellsWide + pc];
            names[r][c] = t->name;
          }
        }
    }
    for (int r = 0; r < 4; r++)
      for (int c = 0; c < 25; c++) {
        if (attr[r][c] < 0)
          continue;
        if (c + 1 < 25 && attr[r][c + 1] >= 0 && (attr[r][c] & 1) && (attr[r][c + 1] & 1)) {
          int run = longest_open_run(true, 160 * (c + 1), 128 * r, 128 * r + 128);
          EXPECT_GE(run, 24) << "H between cells " << c << "," << r << " and " << c + 1 << " seed " << seed
                             << ": " << names[r][c] << " | " << names[r][c + 1];
        }
        if (r + 1 < 4 && attr[r + 1][c] >= 0 && (attr[r][c] & 2) && (attr[r + 1][c] & 4)) {
          int run = longest_open_run(false, 128 * (r + 1), 160 * c, 160 * c + 160);
          EXPECT_GE(run, 16) << "U/D between cells " << c << "," << r << " and up, seed " << seed << ": "
                             << names[r][c] << " | " << names[r + 1][c];
        }
      }
  }
}

// Level 0 (the test level), the first level, ordinary levels of each zone, the boss
// levels of each zone, and levels beyond the second zone.
INSTANTIATE_TEST_SUITE_P(GenAllKinds, GenLevels, ::testing::Values(0, 1, 2, 4, 5, 6, 9, 10, 11, 14, 15, 16));

TEST(GenLevelCalls, FirstLevelComposition) {
  use_game_tiles();
  cur_level = 1;
  game_rnd_seed = 99991;
  clear_module_calls();
  generate_level();
  // start1 at (10, 0), an exit in column 6, the right ends at x = 70.
  EXPECT_STREQ(strchr(level_placements[0].tmpl->name, '.'), ".start1");
  EXPECT_EQ(level_placements[0].tileX, 10);
  bool exit_found = false, right_end = false;
  for (const LevelGenPlacement& p : level_placements) {
    if (strstr(p.tmpl->name, ".exit1")) {
      exit_found = true;
      EXPECT_EQ(p.tileX + p.tmpl->tilesWide, 70);
    }
    right_end = right_end || (strstr(p.tmpl->name, ".rightEnd1") && p.tileX == 70);
  }
  EXPECT_TRUE(exit_found);
  EXPECT_TRUE(right_end);
  // Backgrounds: the zone's eight layers, then a lower and an upper pillar per column.
  int backgrounds = 0, pillars = 0, marks = 0, enemies = 0;
  for (const ModuleCall& c : module_calls) {
    backgrounds += c.kind == ModuleCallKind::Background;
    pillars += c.kind == ModuleCallKind::Background && c.name == "bg1/pillar1v";
    marks += c.kind == ModuleCallKind::MarkTiles;
    enemies += c.kind == ModuleCallKind::Enemy && c.i[0] != 31 && c.i[0] != 41;
  }
  EXPECT_EQ(backgrounds, 8 + 14);
  EXPECT_EQ(pillars, 14);
  EXPECT_EQ(marks, 1);
  EXPECT_GE(enemies, 1);
  EXPECT_LE(enemies, 7 + 15 + 11);
  // The machine strip over slots 9..70 of slot row 32.
  EXPECT_TRUE(slot_solid(9, 32));
  EXPECT_TRUE(slot_solid(70, 32));
  EXPECT_FALSE(slot_solid(71, 32));
}

TEST(GenLevelCalls, SecondZoneBossIsTheBossRoomAlone) {
  use_game_tiles();
  cur_level = 10;
  game_rnd_seed = 5;
  clear_module_calls();
  generate_level();
  ASSERT_GE(level_placements.size(), 1);
  EXPECT_STREQ(level_placements[0].tmpl->name, "_1098_zone2_ls .boss2");
  for (int i = 1; i < level_placements.size(); i++)
    EXPECT_STREQ(strchr(level_placements[i].tmpl->name, '.'), ".boss2Lift");
  int ships = 0, upper_pillars = 0, enemies = 0;
  for (const ModuleCall& c : module_calls) {
    ships += c.kind == ModuleCallKind::BackgroundShip;
    upper_pillars += c.kind == ModuleCallKind::Background && c.name == "bg1/pillar1v" && c.f[5] > 0;
    enemies += c.kind == ModuleCallKind::Enemy;
  }
  EXPECT_EQ(ships, 9);
  EXPECT_EQ(upper_pillars, 0);
  EXPECT_EQ(enemies, 1);  // the boss
  EXPECT_FALSE(slot_solid(20, 32));  // no machine strip
}

TEST(GenLevelCalls, ExitChoiceSurvivesATileReload) {
  use_game_tiles();
  cur_level = 5;
  game_rnd_seed = 77;
  generate_level();
  // Reload the library between the choice and the stamping.
  free_level_tiles();
  load_level_tiles();
  clear_module_calls();
  float r[4];
  _mm_storeu_ps(r, put_exit_tile());
  EXPECT_EQ(level_data[int(r[1]) + 8][int(r[0]) + 8].collision, 3);
  // A new level forgets the choice.
  cur_level = 1;
  generate_level();
  clear_module_calls();
  _mm_storeu_ps(r, put_exit_tile());
  EXPECT_EQ(r[0], 0.0f);
  EXPECT_TRUE(invalidated_rects.empty());
}

}  // namespace

namespace {

// The level_dump tool: the hash line, the slot flags, the calls, and a map picture of
// one pixel per cell whose pixels follow the cell map.
TEST(GenLevelDump, WritesTheMapPictureAndTheHash) {
  const char* bin = getenv("TORVANE_BIN_DIR");
  if (!bin)
    bin = GEN_TEST_BIN_DIR;
  std::string tool = std::string(bin) + "/level_dump";
  if (access(tool.c_str(), X_OK) != 0)
    GTEST_SKIP() << "level_dump not built";
  TempDir dir;
  std::string cmd = tool + " --seed 4242 --level 1 --out " + dir.file("map.png") + " > " + dir.file("out.txt");
  ASSERT_EQ(system(cmd.c_str()), 0);
  std::ifstream in(dir.file("out.txt"));
  std::string text((std::istreambuf_iterator<char>(in)), {});
  // The same level generated here gives the same hash.
  use_game_tiles();
  cur_level = 1;
  game_rnd_seed = 4242;
  generate_level();
  char line[64];
  snprintf(line, sizeof(line), "hash %016llx\n", (unsigned long long)level_map_hash());
  EXPECT_NE(text.find(line), std::string::npos) << text.substr(0, 200);
  EXPECT_NE(text.find("slot flags"), std::string::npos);
  EXPECT_NE(text.find("reset_hero "), std::string::npos);
  mount_only(dir.path);
  int w = 0, h = 0;
  DynArray<uint32_t> px;
  ASSERT_TRUE(load_png("map.png", &w, &h, px));
  EXPECT_EQ(w, LEVEL_WIDTH);
  EXPECT_EQ(h, LEVEL_HEIGHT);
  // Bottom row first after loading: an empty cell is the dark filler, a foreground
  // cell its palette colour (untinted for collision class 1).
  int checked = 0;
  for (int i = 0; i < 2000 && checked < 50; i++) {
    int x = (i * 7919) % LEVEL_WIDTH, y = (i * 104729) % LEVEL_HEIGHT;
    const LevelCell& c = level_data[y][x];
    if (c.foreground && c.collision <= 1) {
      EXPECT_EQ(px[y * LEVEL_WIDTH + x] & 0xFFFFFF, main_palette[c.foreground] & 0xFFFFFF);
      checked++;
    } else if (!c.foreground && !c.background && !c.collision) {
      EXPECT_EQ(px[y * LEVEL_WIDTH + x] & 0xFFFFFF, 0x101018u);
    }
  }
  EXPECT_GT(checked, 10);
  px.clearAndFree();
  unmount_all();
}

}  // namespace
