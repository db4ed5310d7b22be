// The proximity hash: bucket choice, moves and removal, and queries checked against
// a brute-force walk over every object.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "engine/world/proximity.h"
#include "engine/world/gameobj_api.h"
#include "world_test_util.h"

namespace {

__m128 box(float x0, float y0, float x1, float y1) { return _mm_setr_ps(x0, y0, x1, y1); }

class ProximityTest : public ::testing::Test {
 protected:
  std::vector<GameObj*> objects;

  GameObj* make() {
    objects.push_back(new GameObj());
    return objects.back();
  }
  void TearDown() override {
    for (GameObj* o : objects) {
      remove_proximity_object(o);
      delete o;
    }
    for (ProximityBin& b : proximity)
      EXPECT_TRUE(b.isEmpty());
  }
};

TEST_F(ProximityTest, BoxGoesToTheFirstLevelThatHoldsIt) {
  EXPECT_EQ(proximity_key(box(0, 0, 15.9f, 15.9f)), 0);
  EXPECT_EQ(proximity_key(box(15, 0, 17, 1)), 65536) << "crosses a level-0 border";
  EXPECT_EQ(proximity_key(box(0, 0, 100, 10)), PROXIMITY_OVERSIZE);
  EXPECT_EQ(proximity_key(box(4096 + 3, 5, 4096 + 4, 6)), proximity_key(box(3, 5, 4, 6))) << "cells wrap";
  EXPECT_EQ(proximity_key(box(-13, -13, -12, -12)), (255 << 8) + 255) << "negative cells wrap too";
  EXPECT_EQ(proximity_key(box(20, 40, 21, 41)), (2 << 8) + 1);
  // Level 2: cells of 64 with offset 24; (45, 45)-(100, 100) crosses level-0 and
  // level-1 borders but lies in level-2 cell (1, 1).
  EXPECT_EQ(proximity_key(box(45, 45, 100, 100)), 81920 + (1 << 6) + 1);
  // A whole cell number is its own cell on every level, also far from the origin.
  EXPECT_EQ(proximity_key(box(48, 0, 49, 1)), 3);
  EXPECT_EQ(proximity_key(box(4080, 16 * 201, 4081, 16 * 201 + 1)), (201 << 8) + 255);
  EXPECT_EQ(proximity_key(box(88, 0.2f, 100, 0.7f)), 65536 + 3) << "level 1: (88 + 8) / 32 = 3";
  EXPECT_EQ(proximity_key(box(47.99f, 0, 48.5f, 1)), 65536 + 1) << "just below a border stays below it";
}

TEST_F(ProximityTest, MovesKeepEachObjectInOneBucket) {
  GameObj* a = make();
  GameObj* b = make();
  GameObj* c = make();
  for (GameObj* o : {a, b, c})
    update_proximity(o, box(1, 1, 2, 2));
  ASSERT_EQ(proximity[0].size(), 3);
  update_proximity(a, box(1, 1, 2, 2));
  EXPECT_EQ(proximity[0].size(), 3) << "the same box changes nothing";
  EXPECT_EQ(lane(a->bbox, 2), 2);
  // Removing the first of three leaves (third, second).
  remove_proximity_object(a);
  ASSERT_EQ(proximity[0].size(), 2);
  EXPECT_EQ(proximity[0][0], c);
  EXPECT_EQ(proximity[0][1], b);
  EXPECT_EQ(a->proximityBucket, -1);
  remove_proximity_object(a);  // not in any bucket: nothing
  remove_proximity_object(nullptr);
  EXPECT_EQ(proximity[0].size(), 2);
  // A bucket field naming a bucket the object is not in is still reset.
  a->proximityBucket = 17;
  remove_proximity_object(a);
  EXPECT_EQ(a->proximityBucket, -1);
  update_proximity(b, box(100, 100, 101, 101));
  EXPECT_EQ(b->proximityBucket, proximity_key(box(100, 100, 101, 101)));
  EXPECT_EQ(proximity[0].size(), 1);
  int l0, l1, l2, over;
  update_proximity(a, box(0, 0, 200, 1));
  get_proximity_stats(l0, l1, l2, over);
  EXPECT_EQ(l0, 2);
  EXPECT_EQ(l1, 0);
  EXPECT_EQ(l2, 0);
  EXPECT_EQ(over, 1);
}

TEST_F(ProximityTest, BucketFieldNamingNoBucketIsLeftAlone) {
  // A field beyond the last bucket (a module's stale or foreign value) is never
  // used as an index: the object is simply placed.
  GameObj* a = make();
  for (int stale : {PROXIMITY_BUCKETS, 1 << 30, -2}) {
    a->proximityBucket = stale;
    update_proximity(a, box(1, 1, 2, 2));
    EXPECT_EQ(a->proximityBucket, 0) << stale;
    ASSERT_EQ(proximity[0].size(), 1);
    remove_proximity_object(a);
    EXPECT_TRUE(proximity[0].isEmpty());
  }
  a->proximityBucket = PROXIMITY_BUCKETS;
  remove_proximity_object(a);
  EXPECT_EQ(a->proximityBucket, PROXIMITY_BUCKETS) << "outside 0..86016 nothing changes";
  a->proximityBucket = -1;
}

TEST_F(ProximityTest, QueryListsNonEmptyBucketsOnceInOrder) {
  ProximityQuery q;
  q.proximityQuery(box(0, 0, 100, 100), false);
  EXPECT_TRUE(q.bucketList.isEmpty());
  EXPECT_EQ(q.listPos, 0);
  EXPECT_EQ(q.itemIndex, -1);
  GameObj* big = make();
  GameObj* small = make();
  update_proximity(big, box(0, 0, 500, 500));
  update_proximity(small, box(40, 20, 41, 21));
  q.proximityQuery(box(0, 0, 100, 100), true);
  ASSERT_EQ(q.bucketList.size(), 1);
  EXPECT_EQ(q.bucketList[0], small->proximityBucket);
  q.proximityQuery(box(0, 0, 100, 100), false);
  ASSERT_EQ(q.bucketList.size(), 2);
  EXPECT_EQ(q.bucketList[1], PROXIMITY_OVERSIZE);
  // A box wider than the grid lists each bucket once, however wide.
  q.proximityQuery(box(-1e7f, -1e7f, 1e7f, 1e7f), true);
  EXPECT_EQ(q.bucketList.size(), 1);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  q.proximityQuery(box(nan, nan, nan, nan), false);
  q.proximityQuery(box(50, 50, 10, 10), true);
  EXPECT_TRUE(q.bucketList.isEmpty()) << "an inverted box lists nothing";
}

TEST_F(ProximityTest, QueriesFindEveryOverlappingObject) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> pos(-100, 4200), size(0.2f, 90);
  for (int i = 0; i < 2000; i++) {
    float x = pos(rng), y = pos(rng) / 8, w = size(rng) * (i % 7 == 0 ? 3 : 0.3f), h = size(rng) * 0.2f;
    update_proximity(make(), box(x, y, x + w, y + h));
  }
  for (int i = 0; i < 300; i++)  // some moves
    update_proximity(objects[i * 5], box(i * 13.0f, 7, i * 13.0f + 2, 9));
  ProximityQuery q;
  for (int k = 0; k < 200; k++) {
    float x = pos(rng), y = pos(rng) / 8, w = size(rng), h = size(rng);
    __m128 qb = box(x, y, x + w, y + h);
    q.proximityQuery(qb, false);
    std::set<GameObj*> found;
    std::set<int> buckets;
    for (int b : q.bucketList) {
      EXPECT_TRUE(buckets.insert(b).second) << "bucket " << b << " listed twice";
      for (GameObj* o : proximity[b])
        found.insert(o);
    }
    for (GameObj* o : objects) {
      bool overlaps = lane(o->bbox, 0) <= x + w && lane(o->bbox, 2) >= x && lane(o->bbox, 1) <= y + h &&
                      lane(o->bbox, 3) >= y;
      if (overlaps)
        EXPECT_TRUE(found.count(o)) << "query " << k << " misses an overlapping object";
    }
  }
}

}  // namespace
