// Box collision against the level cells and the module's objects.
#include "engine/world/collision.h"

#include <algorithm>
#include <cmath>

#include "engine/world/level_sweep.h"
#include "engine/world/gameobj_api.h"

namespace {

struct Box {
  float x0, y0, x1, y1;
};

Box unpack(__m128 v) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return {f[0], f[1], f[2], f[3]};
}

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}

bool any_positive(__m128 v) { return _mm_movemask_ps(_mm_cmpgt_ps(v, _mm_setzero_ps())) != 0; }

// Cell bound of box-against-level overlap: a box reaching less than about 0.01
// into a cell does not touch it.
int overlap_index(double v) {
  if (!(v > -1e6))
    return -1000000;
  if (v > 1e6)
    return 1000000;
  return int(__builtin_nearbyint(v));
}

__m128 box_at(__m128 pos, __m128 ext) {
  Box p = unpack(pos), e = unpack(ext);
  return _mm_setr_ps(p.x0 + e.x0, p.y0 + e.y0, p.x0 + e.x1, p.y0 + e.y1);
}

void add_lane(__m128& v, int i, float d) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  f[i] += d;
  v = _mm_load_ps(f);
}

}  // namespace

__m128 collide_box_level(__m128 lo, __m128 hi, int& hit) {
  float x0 = lane(lo, 0), y0 = lane(lo, 1), x1 = lane(hi, 0), y1 = lane(hi, 1);
  const double margin = 0.49f;
  int c0 = std::max(overlap_index(x0 - margin), 0);
  int c1 = std::min(overlap_index(x1 + margin) - 1, LEVEL_WIDTH - 1);
  int r0 = std::max(overlap_index(y0 - margin), 0);
  int r1 = std::min(overlap_index(y1 + margin) - 1, LEVEL_HEIGHT - 1);
  float r[4] = {0, 0, 0, 0};
  if (r0 > r1)
    return _mm_setzero_ps();
  float hw = (x1 - x0) * 0.5f, hh = (y1 - y0) * 0.5f;
  for (int y = r0; y <= r1; y++)
    for (int x = c0; x <= c1; x++) {
      uint8_t cls = level_data[y][x].collision;
      if (!cls)
        continue;
      if (cls == 3)
        hit |= HIT_CLASS3;
      // How far the box must move right, up, left or down to leave the cell; only
      // the near sides (within half the box) count.
      float cand[4] = {float(x + 1) - x0, float(y + 1) - y0, x1 - float(x), y1 - float(y)};
      const float half[4] = {hw, hh, hw, hh};
      for (int k = 0; k < 4; k++)
        if (cand[k] <= half[k])
          r[k] = std::max(r[k], cand[k]);
    }
  return _mm_setr_ps(r[0], r[1], r[2], r[3]);
}

__m128 collide_box_objs(__m128 lo, __m128 hi, GameObj* self, int& hit) {
  __m128 e = gameobj_func_table.collide_box_enemies(self, 0, lo, hi);
  if (any_positive(e))
    hit |= HIT_ENEMY;
  __m128 n = gameobj_func_table.collide_box_neutral(self, lo, hi);
  __m128 h = gameobj_func_table.collide_box_hero(self, lo, hi);
  if (any_positive(h))
    hit |= HIT_HERO;
  return _mm_max_ps(_mm_max_ps(e, n), h);
}

float collide_box_x(__m128 box, float dx, int& hit, GameObj* self) {
  Box b = unpack(box);
  float cx = (b.x0 + b.x1) * 0.5f;
  float lead = dx >= 0 ? b.x1 : b.x0;
  float r1 = scan_all_x(cx, lead + dx, b.y0, b.y1, hit, self);
  float w = 2 * (lead - cx);
  float margin_w = w >= 0 ? w + 0.02f : w - 0.02f;
  // The trailing edge swept back from r1; a move that met nothing is taken whole
  // (the margin would otherwise pull a free box back by 0.01 every step).
  int trail_hit = 0;
  float r2 = scan_all_x(r1, r1 - margin_w, b.y0, b.y1, trail_hit, self);
  bool lead_stopped = r1 != lead + dx;
  if (!lead_stopped && !trail_hit)
    return dx;
  hit |= trail_hit;
  if (std::fabs(margin_w) > std::fabs(r2 - r1))
    r1 = scan_all_x(r2, r2 + margin_w, b.y0, b.y1, hit, self);
  return (r1 + r2) * 0.5f - cx;
}

float collide_box_y(__m128 box, float dy, int& hit, GameObj* self, float* ground) {
  Box b = unpack(box);
  float cy = (b.y0 + b.y1) * 0.5f;
  float lead = dy >= 0 ? b.y1 : b.y0;
  float r1 = scan_all_y(b.x0, b.x1, cy, lead + dy, hit, self, ground);
  float h = 2 * (lead - cy);
  float r2 = scan_all_y(b.x0, b.x1, r1, r1 - h, hit, self, ground);
  return (r1 + r2) * 0.5f - cy;
}

int collide_moving_box(__m128& pos, __m128 target, __m128 ext, GameObj* self, float* ground, float step) {
  __m128 raised = ext;
  add_lane(raised, 1, step);
  int settle_flags = 0, move_flags = 0;
  add_lane(pos, 0, collide_box_x(box_at(pos, raised), 0.0f, settle_flags, self));
  add_lane(pos, 1, collide_box_y(box_at(pos, ext), 0.0f, settle_flags, self, ground));
  float dy = lane(target, 1) - lane(pos, 1);
  add_lane(pos, 1, collide_box_y(box_at(pos, ext), dy, move_flags, self, ground));
  __m128 p4 = pos;
  float dx = lane(target, 0) - lane(pos, 0);
  add_lane(pos, 0, collide_box_x(box_at(pos, raised), dx, move_flags, self));
  if (step > 0) {
    int probe_flags = 0;
    float ry = collide_box_y(box_at(pos, ext), -1.0f, probe_flags, self, ground);
    if (probe_flags & HIT_UP) {
      // Brought down onto its floor the box does not fit under the ceiling: the
      // step blocks the move, made again with the full box.
      pos = p4;
      add_lane(pos, 0, collide_box_x(box_at(p4, ext), dx, move_flags, self));
    } else if (ry > 0) {
      add_lane(pos, 1, ry);
    }
  }
  return move_flags;
}
