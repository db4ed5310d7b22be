#pragma once
// The proximity hash: three levels of square cells (16, 32 and 64 world units, each
// grid 4096 units wide and repeating) plus one bucket for boxes too large for any
// level. Objects sit in the bucket of the first level on which their box fits in
// one cell; a query lists the non-empty buckets a box covers.
#include <xmmintrin.h>

#include "engine/core/dynarray.h"

struct GameObj;

constexpr int PROXIMITY_BUCKETS = 86017;
constexpr int PROXIMITY_OVERSIZE = 86016;

struct ProximityBin : DynArray<GameObj*> {};

extern ProximityBin proximity[PROXIMITY_BUCKETS];

struct ProximityQuery {
  DynArray<int> bucketList;
  int listPos = 0;
  int itemIndex = -1;

  void proximityQuery(__m128 box, bool skipOversize);
};

void update_proximity(GameObj* obj, __m128 box);
void remove_proximity_object(GameObj* obj);
void get_proximity_stats(int& level0, int& level1, int& level2, int& oversize);
// The bucket a box goes to.
int proximity_key(__m128 box);
// Frees every bucket's storage (shut-down).
void free_proximity();
