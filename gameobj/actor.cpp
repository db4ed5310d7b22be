// The object base: placing, moving through the level, weak pointers, deletion.
/*
import actor
*/
#include "gameobj/actor.h"

int Actor::handleRequest(int request) {
  return request == GAMEOBJ_REQUEST_GENERATION ? GAMEOBJ_GENERATION : 0;
}

void Actor::place(float nx, float ny) {
  x = prevX = nx;
  y = prevY = ny;
  moved();
}

int Actor::moveTo(float tx, float ty, float step) {
  __m128 pos = _mm_setr_ps(x, y, 0, 1);
  float ground[2] = {0, 0};
  int hit = collide_moving_box(pos, _mm_setr_ps(tx, ty, 0, 1), extents(), this, ground, step);
  x = v_x(pos);
  y = v_y(pos);
  onGround = (hit & HIT_DOWN) != 0;
  groundVx = onGround ? ground[0] : 0;
  groundVy = onGround ? ground[1] : 0;
  moved();
  return hit;
}

bool Actor::stepDown(float depth) {
  int hit = 0;
  float ground[2] = {0, 0};
  float dy = collide_box_y(box(), -depth, hit, this, ground);
  // A ceiling in the sweep means the box does not fit there.
  if (!(hit & HIT_DOWN) || (hit & HIT_UP) || dy >= 0)
    return false;
  y += dy;
  onGround = true;
  groundVx = ground[0];
  groundVy = ground[1];
  moved();
  return true;
}

void weak_ref_link(WeakRefNode* n, BaseObject* target) {
  n->target = target;
  n->link = target;
  if (!target->weakHead) {
    n->next = n;
    target->weakHead = n;
    return;
  }
  n->next = target->weakHead->next;
  target->weakHead->next = n;
}

void weak_ref_unlink(WeakRefNode* n) {
  BaseObject* target = static_cast<BaseObject*>(n->target);
  if (target) {
    WeakRefNode* head = target->weakHead;
    if (n->next == n) {
      target->weakHead = nullptr;
    } else {
      WeakRefNode* prev = n;
      while (prev->next != n)
        prev = prev->next;
      prev->next = n->next;
      if (head == n)
        target->weakHead = n->next;
    }
  }
  n->target = n->link = nullptr;
  n->next = nullptr;
}

void delete_actor(Actor* a) {
  a->unlist();
  remove_proximity_object(a);
  delete a;
}

bool boxes_touch(__m128 a, __m128 b) {
  // a.x0 < b.x1, a.y0 < b.y1, b.x0 < a.x1, b.y0 < a.y1
  __m128 lo = _mm_movelh_ps(a, b);  // a.x0 a.y0 b.x0 b.y0
  __m128 hi = _mm_movehl_ps(a, b);  // b.x1 b.y1 a.x1 a.y1
  return _mm_movemask_ps(_mm_cmplt_ps(lo, hi)) == 0xF;
}

__m128 box_overlap(__m128 a_lo, __m128 a_hi, __m128 b) {
  float o[4] = {v_x(a_hi) - v_x(b), v_y(a_hi) - v_y(b), v_z(b) - v_x(a_lo), v_w(b) - v_y(a_lo)};
  for (float v : o)
    if (!(v > 0))
      return _mm_setzero_ps();
  return _mm_setr_ps(o[0], o[1], o[2], o[3]);
}

namespace {
uint64_t rand_state = 0x9E3779B97F4A7C15ull;

constexpr int MAX_QUERY_DEPTH = 4;
ProximityQuery proximity_queries[MAX_QUERY_DEPTH];
int proximity_query_depth = 0;
}  // namespace

void seed_game_rand(uint64_t seed) { rand_state = seed ? seed : 0x9E3779B97F4A7C15ull; }
uint32_t game_rand() { return rnd_u32(rand_state); }
float game_randf(float lo, float hi) { return lo + (hi - lo) * float(game_rand() >> 8) * (1.0f / 16777216.0f); }

ProximityQuery* take_proximity_query() {
  if (proximity_query_depth >= MAX_QUERY_DEPTH)
    return nullptr;
  return &proximity_queries[proximity_query_depth++];
}

void give_back_proximity_query() { proximity_query_depth--; }
