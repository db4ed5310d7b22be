#pragma once
// The module's object base: every game object is an Actor of one of the 27 listed
// classes and stands in its class list, so a module reload re-points it. An actor
// keeps everything it needs in itself (a reload keeps objects, not module globals)
// and never points into the module's image.
/*
import shell_api
*/
#include <cmath>
#include <cstdint>

#include "engine/core/geometry.h"
#include "engine/world/gameobj_api.h"
#include "gameobj/shell_api.h"

#ifndef GAMEOBJ_GENERATION
#define GAMEOBJ_GENERATION 1
#endif

// What an object is to the others: who it hurts, what blocks and what picks up.
enum Category : int32_t {
  CAT_NONE = 0,
  CAT_HERO,
  CAT_ENEMY,     // hurts the hero, is hit by the hero's shots
  CAT_SOLID,     // blocks moving boxes: Boss2's core and barrels (the sweeps walk their lists)
  CAT_PICKUP,
  CAT_PLATFORM,  // carries what stands on it: lifts
  CAT_SHOT,
  CAT_EFFECT,
  CAT_SCENERY,
};

class Actor : public GameObj {
 public:
  float x = 0, y = 0;          // position: the centre of the feet
  float prevX = 0, prevY = 0;  // position at the start of the step, for drawing
  float vx = 0, vy = 0;        // units per second
  float homeX = 0, homeY = 0;  // where it was put
  float ext[4] = {-1, 0, 1, 2};  // box edges relative to the position
  int32_t health = 1, maxHealth = 1;
  int32_t category = CAT_NONE;
  int32_t state = 0;
  int32_t kind = 0;
  int32_t contact = 0;  // damage done to the hero by touching it
  float age = 0;    // seconds since made
  float timer = 0;  // time left in the current state
  float flash = 0;  // hit flash time left
  float groundVx = 0, groundVy = 0;  // velocity of what it stands on
  bool faceRight = true;
  bool onGround = false;

  int handleRequest(int request) override;
  // Takes the object out of its class list (before it is deleted).
  virtual void unlist() = 0;
  virtual void update(float dt) {}
  // Sprite pass; t is the time since the step.
  virtual void render(float t) {}
  // Hit by the hero's shot or punch (or by the enemies' shots, for the hero);
  // true when it took the damage.
  virtual bool hurt(int damage, float fromX, float fromY) { return false; }

  // The box's edges around the position, and the health it starts with.
  void setShape(float x0, float y0, float x1, float y1, int hp) {
    ext[0] = x0, ext[1] = y0, ext[2] = x1, ext[3] = y1;
    health = maxHealth = hp;
  }
  // Age and hit flash move on with the step.
  void tick(float dt) {
    age += dt;
    flash = flash > dt ? flash - dt : 0;
  }
  __m128 box() const { return _mm_setr_ps(x + ext[0], y + ext[1], x + ext[2], y + ext[3]); }
  __m128 extents() const { return _mm_setr_ps(ext[0], ext[1], ext[2], ext[3]); }
  float centreY() const { return y + (ext[1] + ext[3]) * 0.5f; }
  bool alive() const { return flags == OBJ_LIVE; }
  // Moves to (x, y) without interpolating from the old place.
  void place(float nx, float ny);
  // Tells the proximity hash where the box is now.
  void moved() { update_proximity(this, box()); }
  // The position for a frame drawn t seconds after the step.
  float drawX(float t) const { return prevX + (x - prevX) * step_fraction(t); }
  float drawY(float t) const { return prevY + (y - prevY) * step_fraction(t); }
  static float step_fraction(float t) { return t <= 0 ? 0 : (t >= 0.05f ? 1 : t * 20); }
  // Moves the box towards (tx, ty) through the level and the objects in the way;
  // sets onGround and the ground's velocity. Returns the hit flags.
  int moveTo(float tx, float ty, float step);
  // Puts the feet back on ground that fell away under them by at most `depth` (a
  // slope walked down, a low step); true when it stands again.
  bool stepDown(float depth);
};

// Everything about a class's list: its name, unlisting and making.
#define ACTOR_CLASS(Name)                                  \
 public:                                                   \
  const char* className() override { return #Name; }       \
  void unlist() override { unlist_actor(Name##_list, this); }

template <class T>
void unlist_actor(DynArray<T*>& list, Actor* a) {
  for (int i = list.size() - 1; i >= 0; i--)
    if (list[i] == a)
      list.remove(i, 1);
}

// Makes an object of class T, listed and placed in the proximity hash.
template <class T>
T* spawn(DynArray<T*>& list, float x, float y) {
  T* obj = new T();
  list.push(&obj);
  obj->place(x, y);
  return obj;
}

// Weak pointers link a node into the target's circular node list; deleting the
// target zeroes the node.
void weak_ref_link(WeakRefNode* n, BaseObject* target);
void weak_ref_unlink(WeakRefNode* n);

// A weak pointer: reads null once the target is deleted. Its node lives inside
// the holder (an object, so it survives a reload).
template <class T>
struct WeakPtr {
  WeakRefNode node{nullptr, nullptr, nullptr};

  WeakPtr() = default;
  WeakPtr(const WeakPtr&) = delete;
  WeakPtr& operator=(const WeakPtr&) = delete;
  ~WeakPtr() { reset(); }

  T* get() const { return static_cast<T*>(static_cast<BaseObject*>(node.target)); }
  T* operator->() const { return get(); }
  explicit operator bool() const { return node.target != nullptr; }
  void set(T* target) {
    reset();
    if (target)
      weak_ref_link(&node, target);
  }
  void reset() { weak_ref_unlink(&node); }
};

// Deletes an object now: out of its list, out of the hash, freed.
void delete_actor(Actor* a);

// Calls fn(Actor*) for every live object whose box overlaps `box`, found through
// the proximity hash.
template <class F>
void for_each_near(__m128 box, F&& fn);

// ---- small helpers ---------------------------------------------------------------

inline float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline float approach(float v, float target, float step) {
  return v < target ? std::fmin(v + step, target) : std::fmax(v - step, target);
}
// How far box a reaches into box b on each side ((a.x1 - b.x0), (a.y1 - b.y0),
// (b.x1 - a.x0), (b.y1 - a.y0)); zeros when they do not overlap.
__m128 box_overlap(__m128 a_lo, __m128 a_hi, __m128 b);
bool boxes_touch(__m128 a, __m128 b);
// The module's own random numbers.
uint32_t game_rand();
float game_randf(float lo, float hi);
void seed_game_rand(uint64_t seed);

// ---- for_each_near ---------------------------------------------------------------------

// Walks nest (an object's update asks while another walk runs): each level takes
// its own query object; null when nested too deep.
ProximityQuery* take_proximity_query();
void give_back_proximity_query();

template <class F>
void for_each_near(__m128 box, F&& fn) {
  ProximityQuery* q = take_proximity_query();
  if (!q)
    return;
  q->proximityQuery(box, false);
  for (int b = 0; b < q->bucketList.size(); b++) {
    ProximityBin& bin = proximity[q->bucketList[b]];
    // An object that moves meanwhile may change the bucket: read its size anew.
    for (int i = 0; i < bin.size(); i++) {
      Actor* a = static_cast<Actor*>(bin[i]);
      if (a->alive() && boxes_touch(a->bbox, box))
        fn(a);
    }
  }
  give_back_proximity_query();
}
