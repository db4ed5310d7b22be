// The pistol: quick shots, two at once with the dual-wield upgrade.
/*
import weapons
import bullet
import hero
import sound
*/
#include "gameobj/bullet.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/weapons.h"

using namespace weapon_tuning;

float Pistol::interval() const {
  Hero* hero = owner.get();
  float rate = hero ? hero->stats.fireRate : 1.0f;
  return PISTOL_INTERVAL / (rate > 0.1f ? rate : 0.1f);
}

void Pistol::fire() {
  Hero* hero = owner.get();
  float dx, dy;
  aimDir(dx, dy);
  int damage = int(PISTOL_DAMAGE * (hero ? hero->stats.damage : 1.0f) + 0.5f);
  if (hero && hero->stats.dualWield) {
    // Two guns side by side: the shots leave a little apart.
    for (float side : {-1.5f, 1.5f})
      fire_bullet(BULLET_PISTOL, x - dy * side, y + dx * side, dx * PISTOL_SPEED, dy * PISTOL_SPEED, damage);
    leftHand = !leftHand;
  } else {
    fire_bullet(BULLET_PISTOL, x, y, dx * PISTOL_SPEED, dy * PISTOL_SPEED, damage);
  }
  play_event_at(SND_PISTOL_SHOT, x, y);
}
