#pragma once
// The two bosses. Boss1 (level 5) is a gunship with two gun pods that must fall
// before its core can be hurt; it shoots and drops bombs. Boss2 (level 10) is a
// turret core drawn as a mesh, shielded by four armour plates that orbit it and
// reassemble once; it fires fans of shots. Beating a boss opens the exit; beating
// Boss2 wins the game.
/*
import actor
*/
#include "gameobj/actor.h"

// Boss2's level: the game has no level after it.
constexpr int LAST_LEVEL = 10;

class Boss : public Actor {
 public:
  int32_t activated = 0;
  float dyingTime = -1;   // counting up while it blows apart; -1 while alive
  float shootTimer = 0;
  float bombTimer = 0;
  Boss();
  bool hurt(int damage, float fromX, float fromY) override;
  // True when its parts protect it.
  virtual bool shielded() const = 0;
  // Wakes up (its alarm sounds) when it comes into the hero's view or is hurt.
  void activate();
  // The hero is near enough that the boss is on the screen.
  bool heroInView() const;
  // Beaten: it starts blowing apart.
  void fall();
  // The blink of a boss (and its parts) about to fire, else the hit flash.
  uint32_t warningGlow(float flash_time) const;
  virtual int activationSound() const = 0;

 protected:
  void activateWhenInView();
  // Explodes bit by bit, then opens the exit.
  void updateDying(float dt, int dying_sound);
};

class Boss1 : public Boss {
  ACTOR_CLASS(Boss1)
  float patrolDir = 1;
  Boss1();
  // Takes its hovering height and mounts its gun pods.
  void setup();
  void update(float dt) override;
  void render(float t) override;
  bool shielded() const override;
  int activationSound() const override;

 private:
  // Its own fan of three, once the pods are gone.
  void shootAtHero(float speed);
};

class Boss2 : public Boss {
  ACTOR_CLASS(Boss2)
  float spin = 0;            // angle of the plates' orbit
  float volleyTimer = 0;     // between the aimed volleys
  int32_t reassembled = 0;   // the plates came back once
  float reassembleTimer = -1;
  Boss2();
  // Mounts its armour plates.
  void setup();
  void update(float dt) override;
  void render(float t) override;
  bool shielded() const override;
  int activationSound() const override;
  // Draws the core's mesh (inside the level pass).
  void renderMesh(float t);
};

// The last level is left only by its boss's fall: an exit reached there (the
// developer's key to finish a level) brings the boss down, and the game is won as
// ever, never ridden on to a level the game does not have.
void end_last_level_by_its_boss();

// A part of a boss: a gun pod of Boss1 or an armour plate of Boss2.
class BossPart : public Actor {
  ACTOR_CLASS(BossPart)
  WeakPtr<Boss> boss;
  float offsetX = 0, offsetY = 0;  // where it sits on its boss
  int32_t slot = 0;
  BossPart();
  void update(float dt) override;
  void render(float t) override;
  bool hurt(int damage, float fromX, float fromY) override;
};

// The joint that holds a Boss2 plate on its orbit.
class Boss2Joint : public Actor {
  ACTOR_CLASS(Boss2Joint)
  static constexpr float ORBIT_HEIGHT = 24, ORBIT_FLATNESS = 0.6f;
  WeakPtr<Boss2> boss;
  WeakPtr<BossPart> part;
  float angle = 0;
  float radius = 30;
  Boss2Joint();
  void update(float dt) override;
};

// Kept for the class order: a joint fixed to a position.
class BossPosJoint : public Actor {
  ACTOR_CLASS(BossPosJoint)
};

// Kept for the class order: holds a part still.
class LockSubpartBehavior : public Actor {
  ACTOR_CLASS(LockSubpartBehavior)
};

// A bomb dropped by Boss1: falls, and explodes on the ground.
class Bomb : public Actor {
  ACTOR_CLASS(Bomb)
  Bomb();
  void update(float dt) override;
  void render(float t) override;
  void explode();
};

Boss* the_boss();
void spawn_boss(int kind, float x, float y);
void render_boss_mesh(float t);
// Lets go of the core's mesh (the play level closes).
void forget_boss_mesh();
