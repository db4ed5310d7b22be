// What the hero holds: following the hand and pulling the trigger.
/*
import weapons
import hero
*/
#include "gameobj/hero.h"
#include "gameobj/weapons.h"

void WieldedItem::follow() {
  Hero* hero = owner.get();
  if (!hero)
    return;
  x = hero->gunX();
  y = hero->gunY();
  faceRight = hero->faceRight;
  moved();
}

void WieldedItem::update(float dt) {
  cooldown = std::fmax(cooldown - dt, 0.0f);
  flashTime = std::fmax(flashTime - dt, 0.0f);
  if (!owner)
    destroy();
  else
    follow();
}

void WieldedItem::aimDir(float& dx, float& dy) const {
  Hero* hero = owner.get();
  float fx = faceRight ? 1.0f : -1.0f;
  if (!hero) {
    dx = fx, dy = 0;
    return;
  }
  dx = hero->aimX - hero->gunX();
  dy = hero->aimY - hero->gunY();
  float len = std::sqrt(dx * dx + dy * dy);
  if (len < 0.5f) {
    dx = fx, dy = 0;
    return;
  }
  dx /= len, dy /= len;
}

float WieldedItem::ratedInterval(float base) const {
  Hero* hero = owner.get();
  float rate = hero ? hero->stats.fireRate : 1.0f;
  return base / (rate > 0.1f ? rate : 0.1f);
}

int WieldedItem::ratedDamage(int base) const {
  Hero* hero = owner.get();
  return int(base * (hero ? hero->stats.damage : 1.0f) + 0.5f);
}

void WieldedItem::trigger(bool held, float dt) {
  bool pressedNow = held && !wasHeld;
  wasHeld = held;
  if (!held)
    return;
  if (cooldown > 0) {
    if (pressedNow)
      misfire();
    return;
  }
  if (!automatic() && !pressedNow)
    return;
  follow();
  fire();
  cooldown = interval();
  flashTime = 0.06f;
  if (Hero* hero = owner.get())
    hero->shotFlash = 0.25f;
}
