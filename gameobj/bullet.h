#pragma once
// Shots: fly straight, stop at the first solid cell or target on their way. The
// hero's shots hit enemies, the enemies' shots hit the hero; plasma breaks walls.
/*
import actor
*/
#include "gameobj/actor.h"

enum BulletKind : int32_t {
  BULLET_PISTOL = 0,
  BULLET_PLASMA = 1,
  BULLET_ENEMY = 2,
  BULLET_BOSS = 3,
};

class Bullet : public Actor {
  ACTOR_CLASS(Bullet)
  int32_t fromHero = 0;  // 1: the hero's shot, 0: an enemy's
  int32_t damage = 1;
  int32_t blast = 0;     // radius of destructible cells broken where it hits
  float life = 1;

  void update(float dt) override;
  void render(float t) override;

 private:
  void impact(float hx, float hy, bool wall);
};

// Fires a shot from (x, y) with velocity (vx, vy).
Bullet* fire_bullet(int kind, float x, float y, float vx, float vy, int damage);
