// Boss parts: Boss1's gun pods ride at fixed offsets; Boss2's plates are carried
// by their joints. Each takes damage of its own and blows off when spent.
/*
import bosses
import effects
import sound
import sprites
*/
#include "gameobj/bosses.h"
#include "gameobj/effects.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

BossPart::BossPart() {
  category = CAT_ENEMY;
  contact = 15;
  ext[0] = -5, ext[1] = -4, ext[2] = 5, ext[3] = 4;
}

void BossPart::update(float dt) {
  tick(dt);
  Boss* owner = boss.get();
  if (!owner || owner->dyingTime >= 0) {
    destroy();
    if (owner)
      spawn_explosion(x, y, 1, SND_BOSS_PART_EXPLODE);
    return;
  }
  if (slot < 100) {
    x = owner->x + offsetX;
    y = owner->y + offsetY;
    moved();
  }
}

bool BossPart::hurt(int damage, float, float) {
  if (!alive() || damage <= 0)
    return false;
  health -= damage;
  flash = 0.1f;
  if (Boss* owner = boss.get())
    owner->activate();
  if (health > 0) {
    play_event_at(SND_BOSS_PART_DAMAGED, x, y);
    return true;
  }
  destroy();
  spawn_explosion(x, y, 1.5f, SND_BOSS_PART_EXPLODE);
  throw_debris(x, y, 12, 0xFF5A6988, 60);
  return true;
}

// A part blinks with its boss before a volley: the pods are the guns.
void BossPart::render(float t) {
  Boss* owner = boss.get();
  draw_sprite(sprite_named(slot < 100 ? "boss1/pod" : "boss2/plate"), drawX(t), drawY(t), -2, false,
              SPRITE_PLAIN, owner ? owner->warningGlow(flash) : hit_flash(flash));
}
