#pragma once
// What the hero holds: the pistol (primary), and as secondary the plasma gun once
// the upgrade is bought, or a bare-handed punch before that.
/*
import actor
*/
#include "gameobj/actor.h"

class Hero;

class WieldedItem : public Actor {
 public:
  WeakPtr<Hero> owner;
  float cooldown = 0;  // until the next shot
  float flashTime = 0; // muzzle flash left
  bool wasHeld = false;

  // Called every step with the trigger's state; fires when it may.
  void trigger(bool held, float dt);
  void update(float dt) override;
  // Follows the owner's hand.
  void follow();
  // The direction of the owner's aim (unit vector).
  void aimDir(float& dx, float& dy) const;
  // A base interval between shots at the owner's fire rate.
  float ratedInterval(float base) const;
  // A base damage at the owner's damage stat.
  int ratedDamage(int base) const;

 protected:
  virtual void fire() = 0;
  virtual float interval() const = 0;
  // Pressed again while it cannot fire yet.
  virtual void misfire() {}
  // Fires as long as the trigger is held (else once per press).
  virtual bool automatic() const { return true; }
};

class Pistol : public WieldedItem {
  ACTOR_CLASS(Pistol)
  bool leftHand = false;  // which gun of a dual pair fires next
  void render(float t) override;

 protected:
  void fire() override;
  float interval() const override;
};

class PlasmaGun : public WieldedItem {
  ACTOR_CLASS(PlasmaGun)
  void render(float t) override;

 protected:
  void fire() override;
  float interval() const override;
  void misfire() override;
  bool automatic() const override { return false; }
};

class EmptyHand : public WieldedItem {
  ACTOR_CLASS(EmptyHand)
  float swing = 0;  // time left of the punch's reach
  void render(float t) override;
  void update(float dt) override;

 protected:
  void fire() override;
  float interval() const override { return 0.35f; }
  bool automatic() const override { return false; }
};

// Weapon tuning.
namespace weapon_tuning {
constexpr float PISTOL_INTERVAL = 0.22f;
constexpr float PISTOL_SPEED = 280;
constexpr int PISTOL_DAMAGE = 4;
constexpr float PLASMA_INTERVAL = 0.9f;
constexpr float PLASMA_SPEED = 190;
constexpr int PLASMA_DAMAGE = 16;
constexpr int PUNCH_DAMAGE = 6;
constexpr float PUNCH_REACH = 9;
}  // namespace weapon_tuning
