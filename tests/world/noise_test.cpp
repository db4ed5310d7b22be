// Noise values worked out from the definitions (in double precision, away from
// cell borders) and the tables' properties.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/shared/level_map.h"
#include "engine/world/noise.h"

namespace {

TEST(Noise, OneDimensionalValues) {
  // noise1(0.5): gradients of perm[0] = 66 (+3) and perm[1] = 17 (+2).
  EXPECT_NEAR(noise1(0.5f), 0.06328125, 1e-6);
  EXPECT_NEAR(noise1(1.25f), 0.220440674, 1e-6);
  // -0.5 lies in cell -1, hashed through entry 255 (43: gradient -4).
  EXPECT_NEAR(noise1(-0.5f), -0.44296875, 1e-6);
  EXPECT_NEAR(noise1(7.3f), 0.50025942, 1e-5);
  for (int i = -300; i <= 300; i += 7)
    EXPECT_EQ(noise1(float(i)), 0.0f) << i;
  EXPECT_EQ(noise1(1e30f), 0.0f);
  EXPECT_EQ(noise1(-3e9f), 0.0f);
  noise1(NAN);
}

TEST(Noise, FourDimensionalAndTiledValues) {
  EXPECT_NEAR(noise4(0.3f, 1.7f, 2.2f, -0.6f), 0.0013251643, 2e-6);
  EXPECT_NEAR(noise4(10.1f, 0.4f, 5.5f, 3.3f), -0.0092684220, 2e-6);
  EXPECT_NEAR(old_tiled_noise2(0.5f, 0.5f, 8), -0.0859375, 1e-6);
  EXPECT_NEAR(old_tiled_noise2(2.25f, 3.75f, 8), -0.32142639, 1e-6);
  for (float x : {0.3f, 1.7f, 5.25f})
    for (float y : {0.9f, 3.1f}) {
      EXPECT_NEAR(old_tiled_noise2(x, y, 8), old_tiled_noise2(x + 8, y, 8), 1e-5);
      EXPECT_NEAR(old_tiled_noise2(x, y, 8), old_tiled_noise2(x, y + 16, 8), 1e-5);
      EXPECT_NEAR(tiled_noise2(x, y, 10.0f), tiled_noise2(x + 10.0f, y, 10.0f), 1e-4);
      EXPECT_NEAR(tiled_noise2(x, y, 10.0f), tiled_noise2(x, y + 10.0f, 10.0f), 1e-4);
    }
  EXPECT_EQ(old_tiled_noise2(3, 5, 8), 0.0f) << "zero at lattice points";
}

TEST(Noise, FourDimensionalTakesAnyFloat) {
  // The lattice cells sum past the int range here (the clamp at +-2^30, or four
  // cells near 6.7e8 that need no clamp): the sum must still be well defined.
  const float big[][4] = {
      {1e30f, 1e30f, 1e30f, 1e30f},     {-1e30f, -1e30f, -1e30f, -1e30f}, {3e8f, 3e8f, 3e8f, 3e8f},
      {-3e8f, -3e8f, -3e8f, -3e8f},     {1e30f, 0.5f, -2.0f, 7.0f},       {INFINITY, 1, 2, 3},
      {-INFINITY, -INFINITY, 0, 0},
  };
  for (const auto& v : big) {
    float n = noise4(v[0], v[1], v[2], v[3]);
    EXPECT_FALSE(std::fabs(n) > 30.0f) << v[0] << " " << v[1] << " " << v[2] << " " << v[3] << ": " << n;
  }
  // Far from every corner nothing contributes.
  EXPECT_EQ(noise4(1e30f, 1e30f, 1e30f, 1e30f), 0.0f);
  EXPECT_EQ(noise4(-1e30f, -1e30f, -1e30f, -1e30f), 0.0f);
  EXPECT_TRUE(std::isnan(noise4(NAN, 0, 0, 0)));
  EXPECT_TRUE(std::isnan(noise4(NAN, NAN, NAN, NAN)));
  EXPECT_TRUE(std::isnan(tiled_noise2(1.0f, 2.0f, NAN)));
}

TEST(Noise, VoronoiPeriodOutsideTheIntRangeIsClamped) {
  // A period of 2^n only exists for n in 0..30; other n take the nearest end.
  struct Row {
    int n, same_as;
  };
  const Row rows[] = {{-1, 0}, {-40, 0}, {31, 30}, {32, 30}, {99, 30}, {0x7fffffff, 30}};
  for (const Row& r : rows)
    for (float x : {0.5f, -3.25f, 1e9f}) {
      int ids[9], want_ids[9];
      Point2 points[9], want_points[9];
      tiled_voronoi_noise2_all9(x, 0.75f, r.n, points, ids);
      tiled_voronoi_noise2_all9(x, 0.75f, r.same_as, want_points, want_ids);
      for (int k = 0; k < 9; k++) {
        EXPECT_EQ(ids[k], want_ids[k]) << r.n << " " << x << " " << k;
        EXPECT_EQ(points[k].x, want_points[k].x) << r.n << " " << x << " " << k;
      }
      float d[4], want_d[4];
      int near_ids[4], want_near[4];
      tiled_voronoi_noise2_near4(x, 0.75f, r.n, d, near_ids, nullptr);
      tiled_voronoi_noise2_near4(x, 0.75f, r.same_as, want_d, want_near, nullptr);
      for (int k = 0; k < 4; k++) {
        EXPECT_EQ(near_ids[k], want_near[k]) << r.n << " " << x << " " << k;
        EXPECT_EQ(d[k], want_d[k]) << r.n << " " << x << " " << k;
      }
    }
  // n = 0: one cell, every id 0. n = 30: the cell left of 0 wraps to 2^30 - 1,
  // the cell below 0 too, packed in the high half of the id.
  int ids[9];
  tiled_voronoi_noise2_all9(0.5f, 0.5f, -7, nullptr, ids);
  for (int id : ids)
    EXPECT_EQ(id, 0);
  tiled_voronoi_noise2_all9(0.5f, 0.5f, 30, nullptr, ids);
  EXPECT_EQ(ids[3], 0x3fffffff);
  EXPECT_EQ(ids[4], 0);
  EXPECT_EQ(ids[1], int(0xffff0000u)) << "row bits beyond the 16 high ones fall off";
}

TEST(Noise, VoronoiCellsWrapAndSortByDistance) {
  int ids[9];
  Point2 points[9];
  tiled_voronoi_noise2_all9(0.5f, 0.5f, 2, points, ids);
  const int expect[9] = {0x30003, 0x30000, 0x30001, 3, 0, 1, 0x10003, 0x10000, 0x10001};
  for (int k = 0; k < 9; k++)
    EXPECT_EQ(ids[k], expect[k]) << k;
  // The centre cell's vector is its feature point minus (0.5, 0.5).
  int h = noise_perm[noise_perm[0] + 0];
  EXPECT_FLOAT_EQ(points[4].x, noise_points[2 * h] - 0.5f);
  EXPECT_FLOAT_EQ(points[4].y, noise_points[2 * h + 1] - 0.5f);
  tiled_voronoi_noise2_all9(0.5f, 0.5f, 2, nullptr, nullptr);

  float d[4];
  int near_ids[4];
  Point2 near_points[4];
  tiled_voronoi_noise2_near4(2.3f, 1.6f, 3, d, near_ids, near_points);
  for (int k = 0; k < 3; k++)
    EXPECT_LE(d[k], d[k + 1]);
  for (int k = 0; k < 4; k++)
    EXPECT_FLOAT_EQ(d[k], near_points[k].x * near_points[k].x + near_points[k].y * near_points[k].y);
  // Equal distances keep the order met: make every feature point the cell centre.
  float saved[512];
  memcpy(saved, noise_points, sizeof(saved));
  for (float& p : noise_points)
    p = 0.5f;
  tiled_voronoi_noise2_near4(0.5f, 0.5f, 3, d, near_ids, nullptr);
  EXPECT_EQ(d[0], 0.0f);
  EXPECT_EQ(near_ids[0], 0);
  EXPECT_EQ(d[1], 1.0f);
  EXPECT_EQ(near_ids[1], 0x70000) << "below first (lower dy)";
  EXPECT_EQ(near_ids[2], 7) << "then left";
  EXPECT_EQ(near_ids[3], 1);
  memcpy(noise_points, saved, sizeof(saved));
}

TEST(Noise, ReseedIsRepeatableAndAdvancesTheGenerator) {
  uint8_t perm0[512];
  float points0[512];
  memcpy(perm0, noise_perm, sizeof(perm0));
  memcpy(points0, noise_points, sizeof(points0));
  EXPECT_FLOAT_EQ(noise_points[0], 0.118245f);
  EXPECT_FLOAT_EQ(noise_points[3], 0.372283f);
  for (int i = 0; i < 512; i++)
    EXPECT_TRUE(noise_points[i] >= 0 && noise_points[i] < 1) << i;

  uint64_t saved_seed = game_rnd_seed;
  game_rnd_seed = 0x1234567;
  reseed_noise();
  uint8_t perm1[512];
  memcpy(perm1, noise_perm, sizeof(perm1));
  float first = noise_points[0];
  uint64_t after = game_rnd_seed;
  uint64_t expect = 0x1234567;
  for (int i = 0; i < 1536; i++)
    rnd_u64(expect);
  EXPECT_EQ(after, expect) << "1536 draws";
  bool seen[256] = {};
  for (int i = 0; i < 256; i++) {
    seen[noise_perm[i]] = true;
    EXPECT_EQ(noise_perm[i], noise_perm[i + 256]);
  }
  for (bool s : seen)
    EXPECT_TRUE(s);
  game_rnd_seed = 0x1234567;
  reseed_noise();
  EXPECT_EQ(memcmp(perm1, noise_perm, 512), 0);
  EXPECT_EQ(first, noise_points[0]);

  game_rnd_seed = saved_seed;
  memcpy(noise_perm, perm0, sizeof(perm0));
  memcpy(noise_points, points0, sizeof(points0));
}

}  // namespace
