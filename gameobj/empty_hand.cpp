// The bare hand: a short punch in front of the hero.
/*
import weapons
import hero
import sound
import sprites
*/
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/weapons.h"
#include "gameobj/sprites.h"

using namespace weapon_tuning;

void EmptyHand::update(float dt) {
  swing = std::fmax(swing - dt, 0.0f);
  WieldedItem::update(dt);
}

void EmptyHand::fire() {
  swing = 0.12f;
  float dir = faceRight ? 1.0f : -1.0f;
  float x0 = dir > 0 ? x : x - PUNCH_REACH, x1 = dir > 0 ? x + PUNCH_REACH : x;
  __m128 reach = _mm_setr_ps(x0, y - 4, x1, y + 4);
  int damage = ratedDamage(PUNCH_DAMAGE);
  bool landed = false;
  for_each_near(reach, [&](Actor* a) {
    if (a->category != CAT_ENEMY && a->category != CAT_SOLID)
      return;
    if (a->hurt(damage, x, y)) {
      landed = true;
      a->vx += dir * 60;
    }
  });
  play_event_at(landed ? SND_PUNCH_HIT : SND_PUNCH_SWING, x, y);
}

void draw_wielded(WieldedItem* item, const char* picture, const char* flash_picture, float reach, float t);

// The fist shows only while it punches.
void EmptyHand::render(float t) {
  if (swing > 0)
    draw_wielded(this, "weapon/fist", nullptr, 0, t);
}
