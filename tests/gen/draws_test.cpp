// The game's random generator and the forms of draw, and the two exported map
// functions.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/shared/level_map.h"

namespace {

TEST(GenDraws, SequenceFromTheInitialStateMatchesReference) {
  // Reference values computed independently from the xorshift64* definition.
  uint64_t s = 12345;
  const uint64_t expect64[] = {0x9857fb32c9efb5e4ull, 0xc0ceba4b4a71bce4ull, 0x1399ce5b8adb52c4ull};
  for (uint64_t e : expect64)
    EXPECT_EQ(rnd_u64(s), e);
  s = 12345;
  const uint32_t expect32[] = {0xc9efb5e4u, 0x4a71bce4u, 0x8adb52c4u, 0xe045b705u, 0x59e76b4fu};
  for (uint32_t e : expect32)
    EXPECT_EQ(rnd_u32(s), e);
}

TEST(GenDraws, U32IsLowWordOfStateTimesLowConstant) {
  uint64_t a = 987654321, b = a;
  for (int i = 0; i < 100; i++) {
    uint32_t d = rnd_u32(a);
    rnd_raw_step(b);
    EXPECT_EQ(d, uint32_t(uint32_t(b) * 0x4F6CDD1Du));
    EXPECT_EQ(a, b);
  }
}

TEST(GenDraws, FloatStaysBelowOne) {
  // A state whose draw has all 23 low bits set gives the largest value, 1 - 2^-23.
  uint64_t s = 1;
  float largest = 0;
  for (int i = 0; i < 200000; i++) {
    float f = rnd_float(s);
    ASSERT_GE(f, 0.0f);
    ASSERT_LT(f, 1.0f);
    largest = f > largest ? f : largest;
  }
  EXPECT_GT(largest, 0.999f);
  uint64_t t = 12345;
  EXPECT_FLOAT_EQ(rnd_float(t), float(0xc9efb5e4u & 0x7FFFFF) / float(1 << 23));
}

TEST(GenDraws, RangeCoversEndsAndAlwaysSteps) {
  game_rnd_seed = 4242;
  bool seen[3] = {};
  for (int i = 0; i < 300; i++) {
    int v = rnd_range(5, 7);
    ASSERT_GE(v, 5);
    ASSERT_LE(v, 7);
    seen[v - 5] = true;
    EXPECT_GE(rnd_range(7, 5), 5);
  }
  EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
  uint64_t before = game_rnd_seed;
  EXPECT_EQ(rnd_range(9, 9), 9);
  EXPECT_NE(game_rnd_seed, before);
  // The value is min + ((span * draw) >> 32).
  game_rnd_seed = 12345;
  EXPECT_EQ(rnd_range(0, 99), int((100ull * 0xc9efb5e4u) >> 32));
}

TEST(GenDraws, CellFloorKeepsWholeNumbers) {
  // Odd and even whole numbers, small and near the far end of the map.
  const float whole[] = {0, 1, 2, 3, 15, 16, 17, 255, 256, 527, 4095, 4096, 65535, 1048575};
  for (float v : whole)
    EXPECT_EQ(cell_floor(v), int(v)) << v;
  EXPECT_EQ(cell_floor(254.999f), 254);
  EXPECT_EQ(cell_floor(3.5f), 3);
  EXPECT_EQ(cell_floor(-0.5f), -1);
  EXPECT_EQ(cell_floor(-1.0f), -1);
}

struct GenMap : ::testing::Test {
  void SetUp() override {
    memset(level_data, 0, sizeof(level_data));
    memset(level_tile_map, 0, sizeof(level_tile_map));
  }
  static int count_flags() {
    int n = 0;
    for (auto& row : level_tile_map)
      for (uint16_t f : row)
        n += f != 0;
    return n;
  }
};

TEST_F(GenMap, MarkTilesInBoxCases) {
  struct Case {
    float x0, y0, x1, y1;
    int expected_slots;
  } cases[] = {
      {0, 0, 15.9f, 15.9f, 1},
      {-100, -100, 100000, 100000, SLOTS_X * SLOTS_Y},
      {50, 0, 10, 20, 0},                 // x1 < x0
      {16 * 255, 0, 16 * 255, 0, 1},      // odd slot number, whole coordinate
      {16 * 254, 16, 16 * 255, 32, 2 * 2},
      {0, 0, 1e30f, 1e30f, SLOTS_X * SLOTS_Y},
      {-1e30f, -1e30f, -1e29f, -1e29f, 0},  // wholly left of and below the map
  };
  for (const Case& c : cases) {
    memset(level_tile_map, 0, sizeof(level_tile_map));
    mark_tiles_in_box(_mm_setr_ps(c.x0, c.y0, c.x1, c.y1), 8, 0xFFFF);
    EXPECT_EQ(count_flags(), c.expected_slots) << c.x0 << "," << c.y0 << "," << c.x1 << "," << c.y1;
  }
  memset(level_tile_map, 0, sizeof(level_tile_map));
  mark_tiles_in_box(_mm_setr_ps(16 * 255, 16 * 3, 16 * 255, 16 * 3), 8, 0xFFFF);
  EXPECT_EQ(level_tile_map[3][255], 8);
  // andMask clears, orBits sets.
  level_tile_map[0][0] = 0x1FF;
  mark_tiles_in_box(_mm_setr_ps(0, 0, 1, 1), 16, ~1);
  EXPECT_EQ(level_tile_map[0][0], (0x1FF & ~1) | 16);
}

TEST_F(GenMap, MarkSolidTilesFlagsNeighbours) {
  mark_solid_tiles();
  EXPECT_EQ(count_flags(), 0);
  level_data[16][16].collision = 1;
  mark_solid_tiles();
  EXPECT_EQ(level_tile_map[1][1], TILE_SOLID);
  EXPECT_EQ(level_tile_map[2][1], TILE_FLOOR);
  EXPECT_EQ(level_tile_map[1][2], TILE_WALL_LEFT);
  EXPECT_EQ(level_tile_map[0][1], 0);
  EXPECT_EQ(level_tile_map[1][0], 0);
  EXPECT_EQ(level_tile_map[1][1] | level_tile_map[2][1] | level_tile_map[1][2], 1 | 32 | 128);
}

}  // namespace
