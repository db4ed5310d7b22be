// Coordinate sets and the global coordinate lists.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/gen/coords.h"
#include "engine/shared/level_map.h"
#include "gen_test_util.h"

namespace {

std::vector<std::pair<int, int>> all(const ILevelGenCoords& s) {
  std::vector<std::pair<int, int>> v;
  for (int i = 0; i < s.numCoords(); i++)
    v.push_back({s.coord(i).x, s.coord(i).y});
  return v;
}

using Pairs = std::vector<std::pair<int, int>>;

TEST(GenCoords, StaticListMirrorsAcrossTheTemplateWidth) {
  const uint8_t pairs[] = {0, 0, 9, 7};
  LevelGenCoordList mirrored(pairs, 2, 20, 8, 10);
  EXPECT_EQ(all(mirrored), (Pairs{{29, 8}, {20, 15}}));
  EXPECT_TRUE(mirrored.isFlipped());
  LevelGenCoordList plain(pairs, 2, 20, 8, 0);
  EXPECT_EQ(all(plain), (Pairs{{20, 8}, {29, 15}}));
  EXPECT_FALSE(plain.isFlipped());
}

TEST(GenCoords, RectangleRowsFromTheBottomAndEmptyWhenInverted) {
  LevelGenCoordRect r(5, 3, 7, 5);
  EXPECT_EQ(all(r), (Pairs{{5, 3}, {6, 3}, {5, 4}, {6, 4}}));
  LevelGenCoordRect empty(5, 3, 2, 9);
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.numCoords(), 0);
}

TEST(GenCoords, GlobalListAddsOnceAndRemovesByMovingTheLast) {
  LevelGenGlobalCoordList list;
  list.add({3, 4});
  list.add({3, 4});
  EXPECT_EQ(list.numCoords(), 1);
  list.coords.clear();
  list.add({1, 1});
  list.add({3, 4});
  list.add({7, 7});
  list.remove({3, 4});
  EXPECT_EQ(all(list), (Pairs{{1, 1}, {7, 7}}));
  list.remove({42, 42});  // absent: ignored
  EXPECT_EQ(list.numCoords(), 2);
  // Packing keeps x unsigned and y signed.
  list.add({-1, -2});
  EXPECT_EQ(list.coord(2).x, 0xFFFF);
  EXPECT_EQ(list.coord(2).y, -2);
  list.coords.clearAndFree();
}

TEST(GenCoords, RandomCoordDrawsOnlyForMoreThanOne) {
  LevelGenGlobalCoordList list;
  list.add({1, 2});
  game_rnd_seed = 777;
  EXPECT_EQ(random_coord(list).x, 1);
  EXPECT_EQ(game_rnd_seed, 777u);
  list.add({5, 6});
  uint64_t s = 777;
  uint32_t d = rnd_u32(s);
  LevelCoord c = random_coord(list);
  EXPECT_EQ(game_rnd_seed, s);
  EXPECT_EQ(c.x, d % 2 ? 5 : 1);
  list.coords.clearAndFree();
}

TEST(GenCoords, SingleCoordCopiesTheMirroredFlag) {
  const uint8_t pairs[] = {1, 2};
  LevelGenCoordList l(pairs, 1, 10, 10, 5);
  LevelGenSingleCoord s(l, 0);
  EXPECT_EQ(s.x, 10 - 1 + 5 - 1);
  EXPECT_EQ(s.y, 12);
  EXPECT_TRUE(s.isFlipped());
}

TEST(GenCoords, LayerTestsClipToTheMap) {
  memset(level_data, 0, sizeof(level_data));
  LevelGenGlobalCoordList list;
  list.add({0, 0});
  EXPECT_TRUE(is_background_clear(list, 0, 0, 16, 16));
  EXPECT_TRUE(is_collision_clear(list, -100, -100, 10, 10));  // wholly outside
  level_data[15][15].background = 3;
  EXPECT_FALSE(is_background_clear(list, 0, 0, 16, 16));
  EXPECT_TRUE(is_collision_clear(list, 0, 0, 16, 16));
  EXPECT_TRUE(is_background_clear(list, 0, 16, 16, 1));
  level_data[16][0].collision = 1;
  EXPECT_FALSE(is_collision_clear(list, 0, 16, 16, 1));
  LevelGenGlobalCoordList none;
  EXPECT_TRUE(is_collision_clear(none, 0, 0, 16, 16));
  list.coords.clearAndFree();
}

TEST(GenCoords, CollectAndRemoveByFlags) {
  memset(level_tile_map, 0, sizeof(level_tile_map));
  level_tile_map[1][2] = 32 | 2;
  level_tile_map[1][3] = 32;
  level_tile_map[2][2] = 32 | 4;
  LevelGenGlobalCoordList list;
  collect_slots_by_tile_flags(list, 32, 32);
  EXPECT_EQ(all(list), (Pairs{{2, 1}, {3, 1}, {2, 2}}));
  list.add({300, 1});  // outside the slot grid: stays
  remove_coords_by_tile_flags(list, 6, 0);
  EXPECT_EQ(all(list), (Pairs{{2, 1}, {300, 1}, {2, 2}}));
  list.coords.clearAndFree();
}

TEST(GenCoordsDeath, BadIndexAndMultiCoordLookupsAreFatal) {
  const uint8_t pairs[] = {0, 0};
  LevelGenCoordList l(pairs, 1, 0, 0, 0);
  EXPECT_EXIT(l.coord(1), ::testing::ExitedWithCode(100), "failed ASSERT\\(i>=0 && i<num\\)");
  LevelGenGlobalCoordList list;
  EXPECT_EXIT(list.coord(0), ::testing::ExitedWithCode(100), "failed ASSERT\\(i>=0 && i<coords.size\\(\\)\\)");
  LevelGenCoordRect r(0, 0, 2, 1);
  EXPECT_EXIT(coord_in_list(r, list, 0, 0), ::testing::ExitedWithCode(100),
              "failed ASSERT\\(coords.numCoords\\(\\)==1\\)");
}

}  // namespace
