#pragma once
// Enemies: what they share (health, hurting the hero on contact, dying in an
// explosion) and the seven kinds the level generator places by number.
/*
import actor
*/
#include "gameobj/actor.h"

class Enemy : public Actor {
 public:
  int32_t spotted = 0;      // has seen the hero (the sound plays once)
  float shootTimer = 0;
  float recoil = 0;         // time left backing off after touching the hero
  float warn = 0;           // time left of the warning before an attack

  Enemy();
  bool hurt(int damage, float fromX, float fromY) override;
  // Explodes into debris and maybe leaves a heart.
  virtual void die();
  // Touched the hero at (hx, hy): backs off for a moment instead of staying on it.
  void bounceFrom(float hx, float hy);

 protected:
  // Backing off after a touch: moves away and does nothing else; true while it lasts.
  bool recoiling(float dt, bool flying);
  // Starts the warning before an attack: it flashes for `time`, with a sound.
  void startWarning(float time, int sound);
  // The flash of the warning while it lasts, else the hit flash.
  uint32_t glow() const;
  // True when the hero is alive, within range and no solid cell stands between.
  bool seesHero(float range) const;
  // Falls with gravity and walks at vx; turns at walls and, when careful, at ledges.
  void walk(float dt, bool careful);
  // Aimed shot at the hero.
  void shootAtHero(int kind, float speed, float spread);
  // The colour of its debris.
  virtual uint32_t debrisColor() const { return 0xFFBE4A2F; }
};

// Rolls along the floor, turning at walls and ledges; charges a hero in front.
class EnemyHWheels : public Enemy {
  ACTOR_CLASS(EnemyHWheels)
  EnemyHWheels();
  void update(float dt) override;
  void render(float t) override;
};

// A gun on wheels: stops when it sees the hero, charges and fires aimed shots.
class EnemyTWheels : public Enemy {
  ACTOR_CLASS(EnemyTWheels)
  EnemyTWheels();
  void update(float dt) override;
  void render(float t) override;
};

// Flies to and fro; drops a burst of shots when it passes over the hero.
class EnemyHFly : public Enemy {
  ACTOR_CLASS(EnemyHFly)
  static constexpr float BOB = 4;  // up and down around its height
  EnemyHFly();
  void update(float dt) override;
  void render(float t) override;
};

// Hovers up and down; chases the hero once it has seen it.
class EnemyVFly : public Enemy {
  ACTOR_CLASS(EnemyVFly)
  static constexpr float BOB = 10;  // up and down around its height
  float aimX = 0, aimY = 0;         // where its dive goes
  EnemyVFly();
  void update(float dt) override;
  void render(float t) override;
};

// Hops about, leaps at the hero.
class EnemySimpleJumper : public Enemy {
  ACTOR_CLASS(EnemySimpleJumper)
  EnemySimpleJumper();
  void update(float dt) override;
  void render(float t) override;
};

// A spiked turret fixed to the floor: fires a fan of shots at the hero.
class EnemySimpleSpike : public Enemy {
  ACTOR_CLASS(EnemySimpleSpike)
  EnemySimpleSpike();
  void update(float dt) override;
  void render(float t) override;
};

// Clings to the ceiling, drops on the hero passing below, climbs back up.
class EnemyMagnetSpikes : public Enemy {
  ACTOR_CLASS(EnemyMagnetSpikes)
  float ceilingY = 0;
  EnemyMagnetSpikes();
  void update(float dt) override;
  void render(float t) override;
};

// The generator's enemy kinds (and the barrels and two bonus kinds it places the
// same way).
enum EnemyKind : int {
  KIND_BOSS1 = 8,
  KIND_BOSS2 = 9,
  KIND_HWHEELS = 19,
  KIND_TWHEELS = 20,
  KIND_HFLY = 21,
  KIND_SIMPLE_SPIKE = 22,
  KIND_SIMPLE_JUMPER = 23,
  KIND_MAGNET_SPIKES = 24,
  KIND_VFLY = 25,
  KIND_BARREL = 27,
  KIND_HEART_BONUS = 31,
  KIND_UP_BONUS = 41,
};

// Makes the object of a generator kind at (x, y); unknown kinds make nothing.
Actor* spawn_enemy_kind(int kind, float x, float y);
