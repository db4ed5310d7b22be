// The pistol: quick shots, two at once with the dual-wield upgrade.
/*
import weapons
import bullet
import hero
import sound
import sprites
*/
#include "gameobj/bullet.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/weapons.h"
#include "gameobj/sprites.h"

using namespace weapon_tuning;

float Pistol::interval() const { return ratedInterval(PISTOL_INTERVAL); }

void Pistol::fire() {
  Hero* hero = owner.get();
  float dx, dy;
  aimDir(dx, dy);
  int damage = ratedDamage(PISTOL_DAMAGE);
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

namespace {
constexpr float GUN_Z = -4;
}

// The gun in the hero's hand, turned towards the crosshair, with its flash.
void draw_wielded(WieldedItem* item, const char* picture, const char* flash_picture, float reach, float t) {
  Hero* hero = item->owner.get();
  if (!hero || hero->dead || (hero->invulnerable > 0 && int(hero->invulnerable * 12) % 2))
    return;
  float dx, dy;
  item->aimDir(dx, dy);
  float x = item->drawX(t), y = item->drawY(t);
  draw_sprite_turned(sprite_named(picture), x, y, GUN_Z, dx, dy);
  if (item->flashTime > 0 && flash_picture)
    draw_sprite_turned(sprite_frame(flash_picture, int(item->flashTime * 40)), x + dx * reach, y + dy * reach,
                       GUN_Z - 0.5f, dx, dy);
}

void Pistol::render(float t) { draw_wielded(this, "weapon/pistol", "fx/muzzle", 10, t); }
