// The plasma gun: a slow heavy ball that breaks walls; pulling the trigger
// before it has recharged misfires.
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

float PlasmaGun::interval() const { return ratedInterval(PLASMA_INTERVAL); }

void PlasmaGun::fire() {
  float dx, dy;
  aimDir(dx, dy);
  int damage = ratedDamage(PLASMA_DAMAGE);
  fire_bullet(BULLET_PLASMA, x, y, dx * PLASMA_SPEED, dy * PLASMA_SPEED, damage);
  shell::shake(1.5f, 1.5f);
  play_event_at(SND_PLASMA_SHOT, x, y);
}

void PlasmaGun::misfire() { play_event_at(SND_PLASMA_MISFIRE, x, y); }

void draw_wielded(WieldedItem* item, const char* picture, const char* flash_picture, float reach, float t);

void PlasmaGun::render(float t) { draw_wielded(this, "weapon/plasma", "fx/plasma_muzzle", 12, t); }
