// What the engine's sweeps and box collision ask of the objects: lifts and solid
// objects stop moving boxes; overlaps with enemies, solid objects and the hero.
/*
import actor
import hero
import lift
import bosses
import effects
*/
#include "gameobj/bosses.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"
#include "gameobj/lift.h"

namespace {

// Solid objects (Boss2's core, barrels) stop the hero, bonuses and each other; the
// enemies pass them, so that one put beside a barrel is never pushed into a wall.
bool solid_for(const Actor* a, const GameObj* self) {
  return a->category == CAT_SOLID && !(self && static_cast<const Actor*>(self)->category == CAT_ENEMY);
}
bool blocks_sideways(const Actor* a, const GameObj* self) { return solid_for(a, self); }
// Lifts carry from above only: a box passes them going up.
bool blocks_falling(const Actor* a, const GameObj* self) {
  return solid_for(a, self) || a->category == CAT_PLATFORM;
}
bool blocks_rising(const Actor* a, const GameObj* self) { return solid_for(a, self); }

// Few objects ever block a moving box (lifts, Boss2's core, barrels), and every move
// sweeps several times: walking their lists beats asking the hash each time.
template <class T, class F>
void visit_live(DynArray<T*>& list, __m128 box, F& fn) {
  for (int i = 0; i < list.size(); i++)
    if (list[i]->alive() && boxes_touch(list[i]->bbox, box))
      fn(list[i]);
}

template <class F>
void for_each_blocker(__m128 box, F&& fn) {
  visit_live(Lift_list, box, fn);
  visit_live(Boss2_list, box, fn);
  visit_live(ExplBarrel_list, box, fn);
}

// Largest overlap of the box (lo, hi) with the live objects of a category.
__m128 overlaps(GameObj* self, __m128 lo, __m128 hi, int category) {
  __m128 result = _mm_setzero_ps();
  __m128 box = _mm_movelh_ps(lo, hi);
  for_each_near(box, [&](Actor* a) {
    if (a != self && a->category == category)
      result = _mm_max_ps(result, box_overlap(lo, hi, a->bbox));
  });
  return result;
}

}  // namespace

float scan_objects_x(int& hit, GameObj* self, float from, float to, float y0, float y1) {
  float result = to;
  bool right = to >= from;
  __m128 swept = _mm_setr_ps(std::fmin(from, to), y0, std::fmax(from, to), y1);
  for_each_blocker(swept, [&](Actor* a) {
    if (a == self || !blocks_sideways(a, self))
      return;
    float ax0 = v_x(a->bbox), ax1 = v_z(a->bbox);
    if (right && ax0 >= from && ax0 - 0.01f < result) {
      result = ax0 - 0.01f;
      hit |= HIT_RIGHT;
    } else if (!right && ax1 <= from && ax1 + 0.01f > result) {
      result = ax1 + 0.01f;
      hit |= HIT_LEFT;
    }
  });
  return result;
}

float scan_objects_y(int& hit, GameObj* self, float x0, float x1, float from, float to, float* out) {
  float result = to;
  bool up = to >= from;
  __m128 swept = _mm_setr_ps(x0, std::fmin(from, to), x1, std::fmax(from, to));
  for_each_blocker(swept, [&](Actor* a) {
    if (a == self)
      return;
    float ay0 = v_y(a->bbox), ay1 = v_w(a->bbox);
    if (up && blocks_rising(a, self) && ay0 >= from && ay0 - 0.01f < result) {
      result = ay0 - 0.01f;
      hit |= HIT_UP;
    } else if (!up && blocks_falling(a, self) && ay1 <= from && ay1 + 0.01f > result) {
      result = ay1 + 0.01f;
      hit |= HIT_DOWN;
      if (out)
        out[0] = a->vx, out[1] = a->vy;
    }
  });
  return result;
}

__m128 collide_box_enemies(GameObj* self, int, __m128 lo, __m128 hi) { return overlaps(self, lo, hi, CAT_ENEMY); }
__m128 collide_box_neutral(GameObj* self, __m128 lo, __m128 hi) {
  __m128 result = _mm_setzero_ps();
  for_each_blocker(_mm_movelh_ps(lo, hi), [&](Actor* a) {
    if (a != self && solid_for(a, self))
      result = _mm_max_ps(result, box_overlap(lo, hi, a->bbox));
  });
  return result;
}

// How far the box reaches into the hero's box on each side; zeros when apart.
__m128 collide_box_hero(GameObj* self, __m128 lo, __m128 hi) {
  Hero* hero = the_hero();
  if (!hero || hero == self || hero->dead)
    return _mm_setzero_ps();
  return box_overlap(lo, hi, hero->bbox);
}
