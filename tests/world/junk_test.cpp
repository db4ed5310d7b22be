// Debris: ageing, removal during the update and the packed vertex format.
#include <gtest/gtest.h>

#include "engine/world/junk.h"
#include "world_test_util.h"

namespace {

class JunkTest : public ::testing::Test {
 protected:
  void SetUp() override { clear_junk(); }
  void TearDown() override { clear_junk(); }
};

TEST_F(JunkTest, UpdateMovesAgesAndRemovesEachRecordOnce) {
  add_junk(_mm_setr_ps(1, 2, 0, 0), _mm_setr_ps(10, 0, 0, 0), 0xFF0000FF, 0.05f, 0);   // dies now
  add_junk(_mm_setr_ps(5, 5, 0, 0), _mm_setr_ps(0, 0, 0, 0), 0xFF00FF00, 1.0f, 20);    // falls
  add_junk(_mm_setr_ps(7, 7, 0, 0), _mm_setr_ps(0, 0, 0, 0), 0xFFFF0000, 0.01f, 0);    // dies now
  add_junk(_mm_setr_ps(9, 9, 0, 0), _mm_setr_ps(2, 0, 0, 0), 0xFFFFFFFF, 1.0f, 0);     // moved into a hole
  update_junk(0.05f);
  ASSERT_EQ(junk_records.size(), 2);
  // Record 3 filled the slot of record 0 and was updated exactly once.
  EXPECT_NEAR(lane(junk_records[0].pos, 0), 9.1f, 1e-5);
  EXPECT_NEAR(junk_records[0].life, 0.95f, 1e-5);
  // Gravity changes the velocity first, then the position moves with it.
  EXPECT_NEAR(lane(junk_records[1].vel, 1), -1.0f, 1e-5);
  EXPECT_NEAR(lane(junk_records[1].pos, 1), 4.95f, 1e-5);
  for (int i = 0; i < 19; i++)
    update_junk(0.05f);
  EXPECT_EQ(junk_records.size(), 0);
}

TEST_F(JunkTest, VertexPacksTheHighPartOfX) {
  JunkVertex v = junk_vertex(48008, 100, -3, 0x12345678);
  EXPECT_EQ(v.s0, 15240);
  EXPECT_EQ(v.s3, 1);
  EXPECT_EQ(v.s1, 100);
  EXPECT_EQ(v.s2, -3);
  EXPECT_EQ(v.color, 0x12345678u);
  JunkVertex n = junk_vertex(-8, 0, 0, 0);
  EXPECT_EQ(n.s0 + 32768 * n.s3, -8) << "x = s0 + 32768 * s3 also left of the map";
  EXPECT_GE(n.s0, 0);
  for (int x : {0, 32767, 32768, 65535, 65544})
    EXPECT_EQ(junk_vertex(x, 0, 0, 0).s0 + 32768 * junk_vertex(x, 0, 0, 0).s3, x);
}

}  // namespace
