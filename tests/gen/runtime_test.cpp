// The generator runtime: stamping, placement, the cell-grid fill and connection, the
// statements with their draws, and the exit.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/gen/gen_runtime.h"
#include "engine/shared/level_map.h"
#include "gen_test_util.h"
#include "tests/support/stand_in_module.h"

namespace {

struct GenRuntime : ::testing::Test {
  void SetUp() override {
    memset(level_data, 0, sizeof(level_data));
    memset(level_tile_map, 0, sizeof(level_tile_map));
    memset(level_cells, CELL_OPEN, sizeof(level_cells));
    level_placements.clear();
    clear_global_coord_lists();
    reset_exit();
    install_stand_in_module(STAND_IN_LEVEL);
  }
};

TEST_F(GenRuntime, StampWritesNonZeroBytesPerLayerAndClips) {
  // 2 x 2 tile: background only in the bottom-left cell, foreground in the top row.
  TestTile t("t", 2, 2, {7, 0, 0, 0}, {0, 0, 5, 6}, {0, 0, 1, 1}, 1, 0);
  level_data[10][11].background = 9;
  level_data[10][12].background = 9;
  stamp_level_tile(&t.tile, 10, 10);
  EXPECT_EQ(level_data[10][11].background, 7);  // dx = 1
  EXPECT_EQ(level_data[10][12].background, 9);  // zero byte leaves the map
  EXPECT_EQ(level_data[11][11].foreground, 5);
  EXPECT_EQ(level_data[11][12].foreground, 6);
  EXPECT_EQ(level_data[11][12].collision, 1);
  EXPECT_EQ(level_data[10][11].collision, 0);
  // Clipped at every border; a tile wholly outside changes nothing.
  stamp_level_tile(&t.tile, -2, -1);
  EXPECT_EQ(level_data[0][0].foreground, 6);
  stamp_level_tile(&t.tile, LEVEL_WIDTH - 2, LEVEL_HEIGHT - 2);
  EXPECT_EQ(level_data[LEVEL_HEIGHT - 1][LEVEL_WIDTH - 1].foreground, 5);
  stamp_level_tile(&t.tile, LEVEL_WIDTH + 5, 0);
  stamp_level_tile(nullptr, 0, 0);
}

TEST_F(GenRuntime, RandomTilesUseTheMirrorTwinOnFlippedSets) {
  TestTile right("r", 1, 1, {}, {1}, {}), left("l", 1, 1, {}, {2}, {});
  right.tile.flipped = &left.tile;
  LevelGenTile* tiles[1] = {&right.tile};
  TileSet set{tiles, 1};
  const uint8_t spot[] = {0, 0};
  uint64_t before = game_rnd_seed;
  place_random_tiles(set, LevelGenCoordList(spot, 1, 2, 0, 0));
  place_random_tiles(set, LevelGenCoordList(spot, 1, 4, 0, 3));
  EXPECT_EQ(game_rnd_seed, before);  // a one-tile set takes no draw
  EXPECT_EQ(level_data[0][32].foreground, 1);
  EXPECT_EQ(level_data[0][16 * (4 + 2)].foreground, 2);  // mirrored spot 0 -> column 6
}

LevelGenTemplate make_template(int cw, int ch, int tw, int th, const uint8_t* pattern, int no_mirror) {
  static const int32_t no_class[] = {-1};
  return LevelGenTemplate{nullptr, cw, ch, tw, th, pattern, "fixture", no_class, no_mirror};
}

TEST_F(GenRuntime, MirrorDrawsOnlyForOneCellWideTemplates) {
  const uint8_t one[] = {1}, two[] = {1, 1};
  LevelGenTemplate narrow = make_template(1, 1, 10, 8, one, 0);
  LevelGenTemplate wide = make_template(2, 1, 20, 8, two, 0);
  LevelGenTemplate fixed = make_template(1, 1, 10, 8, one, 1);
  struct Case {
    const LevelGenTemplate* t;
    int draws_placed, draws_at_coord;
  } cases[] = {{&narrow, 1, 1}, {&wide, 0, 1}, {&fixed, 0, 0}};
  LevelGenGlobalCoordList one_spot;
  one_spot.add({3, 3});
  for (const Case& c : cases) {
    uint64_t s0 = game_rnd_seed;
    place_template(c.t, 10, 0);
    EXPECT_EQ(draws_between(s0, game_rnd_seed), c.draws_placed);
    s0 = game_rnd_seed;
    place_template_at_random_coord(c.t, one_spot);
    EXPECT_EQ(draws_between(s0, game_rnd_seed), c.draws_at_coord);
  }
  // The mirror is bit 15 of the draw.
  game_rnd_seed = 12345;
  place_template(&narrow, 10, 0);
  EXPECT_EQ(level_placements.last().flipped, int((0xc9efb5e4u >> 15) & 1));
  one_spot.coords.clearAndFree();
}

TEST_F(GenRuntime, PlaceTemplateWritesThePatternTopRowFirstAndAligns) {
  const uint8_t pattern[] = {0, 1, 5, 7};  // top row 0 1, bottom row 5 7
  LevelGenTemplate t = make_template(2, 2, 20, 16, pattern, 1);
  place_template(&t, 30, 8);
  EXPECT_EQ(level_cells[2 * 25 + 3], 0);
  EXPECT_EQ(level_cells[2 * 25 + 4], 1);
  EXPECT_EQ(level_cells[1 * 25 + 3], 5);
  EXPECT_EQ(level_cells[1 * 25 + 4], 7);
  place_template(&t, -1, -1);  // right- and top-aligned
  EXPECT_EQ(level_placements.last().tileX, 230);
  EXPECT_EQ(level_placements.last().tileY, 16);
  EXPECT_EQ(place_template(nullptr, 0, 0), nullptr);
}

TEST_F(GenRuntime, SubPieceOnAFlippedSpotIsAnchoredFromTheMirroredSide) {
  LevelGenTemplate piece = make_template(0, 0, 5, 3, nullptr, 1);
  const uint8_t spot[] = {2, 10};
  // A 30-wide mirrored template at origin 0: spot dx 2 lands on column 27.
  LevelGenCoordList list(spot, 1, 0, 0, 30);
  LevelGenSingleCoord s(list, 0);
  ASSERT_EQ(s.x, 27);
  place_template_at_random_coord(&piece, s);
  EXPECT_EQ(level_placements.last().tileX, 23);
  EXPECT_EQ(level_placements.last().tileY, 10);
}

TEST_F(GenRuntime, FillAcceptsUpwardConnectionsOnlyForHCells) {
  static const uint8_t p0[] = {0}, p1[] = {1}, p3[] = {3}, p5[] = {5}, p7[] = {7};
  LevelGenTemplate t0 = make_template(1, 1, 10, 8, p0, 1), t1 = make_template(1, 1, 10, 8, p1, 1),
                   t3 = make_template(1, 1, 10, 8, p3, 1), t5 = make_template(1, 1, 10, 8, p5, 1),
                   t7 = make_template(1, 1, 10, 8, p7, 1);
  const LevelGenTemplate* all[] = {&t0, &t1, &t3, &t5, &t7};
  struct Case {
    int attr;
    std::vector<const LevelGenTemplate*> accepted;
  } cases[] = {{1, {&t1, &t3}}, {5, {&t5, &t7}}, {3, {&t3}}, {0, {&t0}}, {7, {&t7}}};
  for (const Case& c : cases) {
    std::vector<const LevelGenTemplate*> seen;
    for (int i = 0; i < 200; i++) {
      memset(level_cells, 0, sizeof(level_cells));
      level_cells[0] = uint8_t(CELL_OPEN | c.attr);
      level_placements.clear();
      fill_cells_with_templates(all, 5);
      ASSERT_EQ(level_placements.size(), 1);
      const LevelGenTemplate* got = level_placements[0].tmpl;
      if (std::find(seen.begin(), seen.end(), got) == seen.end())
        seen.push_back(got);
    }
    std::sort(seen.begin(), seen.end());
    std::vector<const LevelGenTemplate*> expected = c.accepted;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected) << "attr " << c.attr;
  }
}

TEST_F(GenRuntime, FillCoversMultiCellFootprintsOnce) {
  static const uint8_t p2[] = {0, 0};
  LevelGenTemplate wide = make_template(2, 1, 20, 8, p2, 1);
  const LevelGenTemplate* list[] = {&wide};
  memset(level_cells, 0, sizeof(level_cells));
  level_cells[0] = level_cells[1] = level_cells[2] = level_cells[3] = CELL_OPEN;
  fill_cells_with_templates(list, 1);
  EXPECT_EQ(level_placements.size(), 2);
  for (int c = 0; c < 4; c++)
    EXPECT_EQ(level_cells[c], 0);
}

TEST_F(GenRuntime, FillWithoutCandidateIsFatal) {
  static const uint8_t p0[] = {0};
  LevelGenTemplate t0 = make_template(1, 1, 10, 8, p0, 1);
  const LevelGenTemplate* list[] = {&t0};
  memset(level_cells, 0, sizeof(level_cells));
  level_cells[5] = CELL_OPEN | 5;
  EXPECT_EXIT(fill_cells_with_templates(list, 1), ::testing::ExitedWithCode(100),
              "no applicable level generator templates for attr <HD>");
}

TEST_F(GenRuntime, FinishTrimsEmptyColumnsAndConnectsRuns) {
  // Columns 0..14 hold pieces, 15..24 are untouched: they are trimmed.
  memset(level_cells, 0, sizeof(level_cells));
  for (int c = 15; c < 25; c++)
    for (int r = 0; r < 4; r++)
      level_cells[r * 25 + c] = CELL_OPEN;
  for (int r = 0; r < 4; r++)
    level_cells[r * 25 + 2] = CELL_OPEN;  // an open column between two H pieces
  level_cells[0 * 25 + 1] = 1;           // H at row 0 on the left
  level_cells[2 * 25 + 3] = 1;           // H at row 2 on the right
  finish_cell_grid();
  for (int c = 15; c < 25; c++)
    for (int r = 0; r < 4; r++)
      EXPECT_EQ(level_cells[r * 25 + c], 0);
  // Column 2 connects rows 0..2: H+U at the bottom, H+U+D between, H+D at the top.
  EXPECT_EQ(level_cells[0 * 25 + 2], 11);
  EXPECT_EQ(level_cells[1 * 25 + 2], 15);
  EXPECT_EQ(level_cells[2 * 25 + 2], 13);
  EXPECT_EQ(level_cells[3 * 25 + 2], CELL_OPEN);
  EXPECT_EQ(level_tile_map[0][20] & 6, TILE_CONNECTED_CELL);
  EXPECT_EQ(level_tile_map[24][20] & 6, TILE_CLOSED_CELL);
}

TEST_F(GenRuntime, EnemiesDrawUntilDistinctAndStopAtTheSetSize) {
  LevelGenGlobalCoordList set;
  for (int i = 0; i < 3; i++)
    set.add({i, 1});
  game_rnd_seed = 99;
  uint64_t s0 = game_rnd_seed;
  add_enemies_at_random_coords(7, 10, set);
  ASSERT_EQ(module_calls.size(), 3u);
  std::vector<int> xs;
  for (const ModuleCall& c : module_calls) {
    EXPECT_EQ(c.i[0], 7);
    EXPECT_EQ(int(c.f[1]), 16);
    xs.push_back(int(c.f[0]));
  }
  std::sort(xs.begin(), xs.end());
  EXPECT_EQ(xs, (std::vector<int>{8, 24, 40}));
  // Replay the draws: one per try, repeats drawn again.
  uint64_t s = s0;
  int draws = 0;
  bool chosen[3] = {};
  for (int found = 0; found < 3; draws++) {
    int i = int(rnd_u32(s) % 3);
    if (!chosen[i]) {
      chosen[i] = true;
      found++;
    }
  }
  EXPECT_EQ(draws_between(s0, game_rnd_seed), draws);
  // A set of one still draws once.
  LevelGenGlobalCoordList one;
  one.add({4, 4});
  s0 = game_rnd_seed;
  add_enemies_at_random_coords(1, 1, one);
  EXPECT_EQ(draws_between(s0, game_rnd_seed), 1);
  set.coords.clearAndFree();
  one.coords.clearAndFree();
}

TEST_F(GenRuntime, SpreadPickDrawCounts) {
  LevelGenGlobalCoordList set, out;
  for (int i = 0; i < 40; i++)
    set.add({i % 20, i / 20});
  // n = 1: one initial draw, then 10 attempts of two draws, the last candidate wins.
  uint64_t s0 = game_rnd_seed;
  pick_spread_coords(1, set, out);
  EXPECT_EQ(draws_between(s0, game_rnd_seed), 1 + 10 * 2);
  ASSERT_EQ(out.numCoords(), 1);
  uint64_t s = s0;
  for (int i = 0; i < 20; i++)
    rnd_u32(s);
  uint32_t last = rnd_u32(s);
  int expected = int((40ull * last) >> 32);
  EXPECT_EQ(out.coord(0).x, set.coord(expected).x);
  EXPECT_EQ(out.coord(0).y, set.coord(expected).y);
  // n = 4: four initial draws and 40 attempts of two draws each.
  out.coords.clear();
  s0 = game_rnd_seed;
  pick_spread_coords(4, set, out);
  EXPECT_EQ(draws_between(s0, game_rnd_seed), 4 + 40 * 2);
  EXPECT_LE(out.numCoords(), 4);
  // More wanted than the set holds: k is the set size.
  LevelGenGlobalCoordList two;
  two.add({0, 0});
  two.add({5, 0});
  out.coords.clear();
  s0 = game_rnd_seed;
  pick_spread_coords(9, two, out);
  EXPECT_EQ(draws_between(s0, game_rnd_seed), 2 + 20 * 2);
  // An empty set takes no draw.
  LevelGenGlobalCoordList none;
  s0 = game_rnd_seed;
  pick_spread_coords(3, none, out);
  EXPECT_EQ(game_rnd_seed, s0);
  set.coords.clearAndFree();
  out.coords.clearAndFree();
  two.coords.clearAndFree();
}

TEST_F(GenRuntime, LiftsAndHeroGoToTheModule) {
  LevelGenGlobalCoordList set;
  set.add({2, 3});
  add_lifts_at(+1, set);
  add_lifts_at(-1, set);
  place_hero_start(set);
  ASSERT_EQ(module_calls.size(), 3u);
  EXPECT_EQ(module_calls[0].i[1], 64);
  EXPECT_EQ(module_calls[0].i[3], 1);
  EXPECT_EQ(module_calls[1].i[1], 48);
  EXPECT_EQ(module_calls[1].i[2], 16);
  EXPECT_EQ(module_calls[2].f[0], 40.0f);
  EXPECT_EQ(module_calls[2].f[1], 48.0f);
  set.coords.clearAndFree();
}

TEST_F(GenRuntime, ExitBeforeAnyChoiceStampsNothing) {
  float r[4];
  _mm_storeu_ps(r, put_exit_tile());
  EXPECT_EQ(r[0], 0.0f);
  EXPECT_EQ(r[1], 0.0f);
  EXPECT_EQ(r[2], 0.0f);
  EXPECT_EQ(r[3], 1.0f);
  EXPECT_TRUE(invalidated_rects.empty());
  for (int x = 0; x < 32; x++)
    EXPECT_EQ(level_data[0][x].collision, 0);
}

}  // namespace
