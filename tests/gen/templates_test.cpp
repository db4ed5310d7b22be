// The room template table: the catalogue against the pictures, the template records,
// and what running a template does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/gen/room_templates.h"
#include "engine/shared/level_map.h"
#include "gen_test_util.h"
#include "tests/support/stand_in_module.h"

namespace {

TEST(GenTemplates, TableTotals) {
  init_room_templates();
  int groups = 0, spots = 0, with_pattern = 0;
  for (int i = 0; i < ROOM_TEMPLATE_COUNT; i++) {
    const RoomProgram& p = room_program(i);
    groups += p.numGroups;
    for (int g = 0; g < p.numGroups; g++)
      spots += p.groups[g].numSpots;
    with_pattern += i > 0 && catalogue_template(i).pattern != nullptr;
  }
  EXPECT_EQ(groups, 677);
  EXPECT_EQ(spots, 9724);
  EXPECT_EQ(with_pattern, 82);
  EXPECT_EQ(templates_of_class(find_template_class("zone1")).count, 30);
  EXPECT_EQ(templates_of_class(find_template_class("zone2")).count, 35);
  EXPECT_EQ(templates_of_class(find_template_class("subG2")).count, 11);
  EXPECT_EQ(templates_of_class(find_template_class("subA2")).count, 9);
  EXPECT_EQ(templates_of_class(find_template_class("subG1")).count, 8);
  EXPECT_EQ(templates_of_class(find_template_class("subA1")).count, 4);
  EXPECT_EQ(templates_of_class(find_template_class("well2Mid")).count, 6);
  EXPECT_EQ(templates_of_class(find_template_class("boss2Lift")).count, 4);
  EXPECT_STREQ(level_templates[77].name, "_1098_zone2_ls .boss2");
  EXPECT_STREQ(level_templates[78].name, "_70_zone1_ls .rightEnd1");
  EXPECT_STREQ(level_test_template.name, "_23_gen_levels_ls .test");
}

// Every picture: spots inside the template, listed top row first and left to right,
// no slot twice, the catalogue's count per group, and the covering rule.
TEST(GenTemplates, EveryPictureMatchesItsCatalogueEntry) {
  init_room_templates();
  for (int i = 0; i < ROOM_TEMPLATE_COUNT; i++) {
    const LevelGenTemplate& t = catalogue_template(i);
    const RoomProgram& p = room_program(i);
    std::vector<int> cover(size_t(t.tilesWide * t.tilesHigh), 0);
    int total = 0;
    for (int g = 0; g < p.numGroups; g++) {
      const RoomGroup& group = p.groups[g];
      int prev = -1;
      for (int s = 0; s < group.numSpots; s++) {
        int dx = group.spots[2 * s], dy = group.spots[2 * s + 1];
        ASSERT_LT(dx, t.tilesWide) << t.name;
        ASSERT_LT(dy, t.tilesHigh) << t.name;
        int order = (t.tilesHigh - 1 - dy) * t.tilesWide + dx;
        EXPECT_GT(order, prev) << t.name << " group " << g;
        prev = order;
        cover[size_t(dy * t.tilesWide + dx)]++;
      }
      total += group.numSpots;
    }
    bool left_end = strstr(t.name, "leftEnd") != nullptr;
    for (int dy = 0; dy < t.tilesHigh; dy++)
      for (int dx = 0; dx < t.tilesWide; dx++) {
        int expected = left_end && dx < t.tilesWide - 2 ? 0 : 1;
        EXPECT_EQ(cover[size_t(dy * t.tilesWide + dx)], expected) << t.name << " slot " << dx << "," << dy;
      }
    EXPECT_EQ(total, left_end ? 16 : t.tilesWide * t.tilesHigh) << t.name;
  }
}

TEST(GenTemplates, BrokenPicturesAreRefusedWithTheReason) {
  // The root of the air pieces "_175_zone2_ls .subA2" is catalogue entry 14.
  ASSERT_STREQ(room_catalogue[14].name, "_175_zone2_ls .subA2");
  struct Case {
    const char* picture;
    const char* reason;
  } cases[] = {
      {"keys: LBP\nBLBLP\nBLPLB\nPBBBB\n", nullptr},
      {"keys: LB\nBLBLP\nBLPLB\nPBBBB\n", "2 keys for 3 statement groups"},
      {"keys: LBP\nBLBLP\nBLPLB\nPBBB\n", "row 2 is 4 wide, expected 5"},
      {"keys: LBP\nBLBLP\nBLPLB\n", "2 rows, expected 3"},
      {"keys: LBP\nBLBLP\nBLPLB\nPBBBL\n", "key 'L' marks 5 spots, statement group 1 has 4"},
      {"keys: LBP\nBLBLP\nBLPLB\nPBBBx\n", "character 'x' at row 2 column 4 is not a key"},
      {"keys: LBP\nBLBLP\nBLPLB\nPBBB.\n", "key 'B' marks 7 spots"},
      {"keys: LLP\nBLBLP\nBLPLB\nPBBBB\n", "key 'L' is used twice"},
      {"BLBLP\nBLPLB\nPBBBB\n", "no \"keys:\" line"},
  };
  for (const Case& c : cases) {
    const char* err = check_room_picture(14, c.picture);
    if (!c.reason) {
      EXPECT_EQ(err, nullptr) << err;
      continue;
    }
    ASSERT_NE(err, nullptr) << c.picture;
    EXPECT_NE(std::string(err).find(c.reason), std::string::npos) << err;
  }
}

struct GenRunTemplate : ::testing::Test {
  void SetUp() override {
    use_game_tiles();
    init_room_templates();
    memset(level_data, 0, sizeof(level_data));
    clear_global_coord_lists();
    level_placements.clear();
  }
  static std::vector<std::pair<int, int>> list(int k) {
    std::vector<std::pair<int, int>> v;
    for (int i = 0; i < level_coord_lists[k].numCoords(); i++)
      v.push_back({level_coord_lists[k].coord(i).x, level_coord_lists[k].coord(i).y});
    return v;
  }
};

using Pairs = std::vector<std::pair<int, int>>;

TEST_F(GenRunTemplate, AirPieceSpotsPlainAndMirrored) {
  const LevelGenTemplate& t = level_templates[13];
  ASSERT_STREQ(t.name, "_175_zone2_ls .subA2");
  t.function(40, 8, false);
  EXPECT_EQ(list(COORDS_WINDOW), (Pairs{{41, 10}, {43, 10}, {41, 9}, {43, 9}}));
  clear_global_coord_lists();
  memset(level_data, 0, sizeof(level_data));
  t.function(40, 8, true);
  EXPECT_EQ(list(COORDS_WINDOW), (Pairs{{43, 10}, {41, 10}, {43, 9}, {41, 9}}));
  // The planks (collision) land on the mirrored plat spots.
  const int plat_slots[3][2] = {{40, 10}, {42, 9}, {44, 8}};
  for (const auto& s : plat_slots) {
    bool solid = false;
    for (int y = 16 * s[1]; y < 16 * s[1] + 16; y++)
      for (int x = 16 * s[0]; x < 16 * s[0] + 16; x++)
        solid = solid || level_data[y][x].collision;
    EXPECT_TRUE(solid) << s[0] << "," << s[1];
  }
}

TEST_F(GenRunTemplate, RightEndDrawsOncePerSlotPlusTilePicks) {
  const LevelGenTemplate& t = level_templates[0];
  ASSERT_STREQ(t.name, "_43_zone2_ls .rightEnd2");
  game_rnd_seed = 2024;
  uint64_t s = game_rnd_seed;
  // Replay: column 0 top to bottom, 10/11 wall with a floor spot (a pick of 4) else a
  // machine (a pick of 7); then column 1, half the slots walled (a pick of 4).
  int walls0 = 0;
  for (int i = 0; i < 8; i++) {
    bool wall = rnd_u32(s) < 0xE8BA2E8Cu;
    rnd_u32(s);
    walls0 += wall;
  }
  for (int i = 0; i < 8; i++)
    if (rnd_u32(s) >= 0x80000000u)
      rnd_u32(s);
  t.function(100, 0, false);
  EXPECT_EQ(game_rnd_seed, s);
  EXPECT_EQ(level_coord_lists[COORDS_FLOOR].numCoords(), walls0);
  for (int i = 0; i < level_coord_lists[COORDS_FLOOR].numCoords(); i++)
    EXPECT_EQ(level_coord_lists[COORDS_FLOOR].coord(i).x, 100);
}

TEST_F(GenRunTemplate, RootTemplateRunsItsPicture) {
  level_test_template.function(20, 8, false);
  EXPECT_EQ(level_coord_lists[COORDS_LIFT_DOWN].numCoords(), 1);
  EXPECT_EQ(level_coord_lists[COORDS_LIFT_UP].numCoords(), 2);
  int floors = level_coord_lists[COORDS_FLOOR].numCoords();
  EXPECT_GE(floors, 2);
  EXPECT_LE(floors, 2 + 11);
  for (int i = 0; i < level_coord_lists[COORDS_LIFT_UP].numCoords(); i++) {
    LevelCoord c = level_coord_lists[COORDS_LIFT_UP].coord(i);
    EXPECT_GE(c.x, 20);
    EXPECT_LT(c.x, 40);
    EXPECT_GE(c.y, 8);
    EXPECT_LT(c.y, 24);
    EXPECT_EQ(level_data[16 * c.y + 8][16 * c.x + 8].collision, 3);  // the lift tile
  }
}

TEST_F(GenRunTemplate, TileAndListGroupsDrawOnlyForMultiTileSets) {
  // "_817_zone2_ls .well2Mid": 52 window spots (no draw) and 8 z2wall spots (a pick
  // of 4 each).
  const LevelGenTemplate& t = level_templates[61];
  ASSERT_STREQ(t.name, "_817_zone2_ls .well2Mid");
  uint64_t s0 = game_rnd_seed;
  t.function(0, 0, false);
  EXPECT_EQ(draws_between(s0, game_rnd_seed), 8);
  EXPECT_EQ(level_coord_lists[COORDS_WINDOW].numCoords(), 52);
  EXPECT_EQ(level_coord_lists[COORDS_FLOOR].numCoords(), 8);
}

}  // namespace
