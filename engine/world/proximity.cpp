// The proximity hash over the module's objects.
#include "engine/world/proximity.h"

#include "engine/world/gameobj_api.h"

ProximityBin proximity[PROXIMITY_BUCKETS];

namespace {

struct HashLevel {
  float size;
  float offset;
  int mask;   // cells per grid side - 1
  int shift;  // log2 of cells per side
  int base;   // first bucket
};

constexpr HashLevel hash_levels[3] = {
    {16, 0, 255, 8, 0},
    {32, 8, 127, 7, 65536},
    {64, 24, 63, 6, 81920},
};

// Nearest integer to ((v + o) / s - 0.49999991), ties to even; NaN and far-away
// values are clamped so that the cell arithmetic cannot overflow. The subtraction
// is made in double: in float, n - 0.49999991 rounds to n - 0.5 for most whole
// n, and the tie would send half of the cell borders to the cell below.
int cell_of(float v, const HashLevel& l) {
  double q = double((v + l.offset) / l.size) - 0.49999991;
  if (!(q > -1e8))
    q = -1e8;
  else if (q > 1e8)
    q = 1e8;
  return int(__builtin_nearbyint(q));
}

int key_of(const HashLevel& l, int cx, int cy) { return l.base + ((cy & l.mask) << l.shift) + (cx & l.mask); }

// A bucket field that names no bucket (-1, or a value the module never got from
// here) leaves every bucket alone.
bool is_bucket(int key) { return unsigned(key) <= unsigned(PROXIMITY_OVERSIZE); }

void remove_from_bucket(GameObj* obj, int key) {
  if (!is_bucket(key))
    return;
  ProximityBin& bin = proximity[key];
  for (int i = 0; i < bin.size(); i++)
    if (bin[i] == obj) {
      bin.removeUnordered(i, 1);  // the last entry fills the hole
      return;
    }
}

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}

}  // namespace

int proximity_key(__m128 box) {
  float x0 = lane(box, 0), y0 = lane(box, 1), x1 = lane(box, 2), y1 = lane(box, 3);
  for (const HashLevel& l : hash_levels) {
    int cx0 = cell_of(x0, l), cy0 = cell_of(y0, l);
    if (cx0 == cell_of(x1, l) && cy0 == cell_of(y1, l))
      return key_of(l, cx0, cy0);
  }
  return PROXIMITY_OVERSIZE;
}

void update_proximity(GameObj* obj, __m128 box) {
  obj->bbox = box;
  int key = proximity_key(box);
  if (key == obj->proximityBucket)
    return;
  remove_from_bucket(obj, obj->proximityBucket);
  proximity[key].push(&obj);
  obj->proximityBucket = key;
}

void remove_proximity_object(GameObj* obj) {
  if (!obj || !is_bucket(obj->proximityBucket))
    return;
  remove_from_bucket(obj, obj->proximityBucket);
  obj->proximityBucket = -1;
}

void ProximityQuery::proximityQuery(__m128 box, bool skipOversize) {
  bucketList.clear();
  float x0 = lane(box, 0), y0 = lane(box, 1), x1 = lane(box, 2), y1 = lane(box, 3);
  for (const HashLevel& l : hash_levels) {
    int cx0 = cell_of(x0, l), cy0 = cell_of(y0, l);
    int cx1 = cell_of(x1, l), cy1 = cell_of(y1, l);
    // One period of the grid covers every bucket of the level once: a wider box
    // lists each bucket a single time.
    int period = l.mask + 1;
    if (cx1 - cx0 >= period)
      cx1 = cx0 + period - 1;
    if (cy1 - cy0 >= period)
      cy1 = cy0 + period - 1;
    for (int cy = cy0; cy <= cy1; cy++)
      for (int cx = cx0; cx <= cx1; cx++) {
        int key = key_of(l, cx, cy);
        if (!proximity[key].isEmpty())
          bucketList.push(&key);
      }
  }
  if (!skipOversize && !proximity[PROXIMITY_OVERSIZE].isEmpty()) {
    int key = PROXIMITY_OVERSIZE;
    bucketList.push(&key);
  }
  listPos = 0;
  itemIndex = -1;
}

void get_proximity_stats(int& level0, int& level1, int& level2, int& oversize) {
  level0 = level1 = level2 = oversize = 0;
  for (int i = 0; i < 65536; i++)
    level0 += proximity[i].size();
  for (int i = 65536; i < 81920; i++)
    level1 += proximity[i].size();
  for (int i = 81920; i < PROXIMITY_OVERSIZE; i++)
    level2 += proximity[i].size();
  oversize = proximity[PROXIMITY_OVERSIZE].size();
}

void free_proximity() {
  for (ProximityBin& bin : proximity)
    bin.clearAndFree();
}
