// Barrels that blow up when shot, hurting whatever stands near.
/*
import effects
import sound
import sprites
*/
#include "gameobj/effects.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

ExplBarrel::ExplBarrel() {
  category = CAT_SOLID;
  setShape(-4, 0, 4, 10, 8);
}

void ExplBarrel::update(float dt) {
  tick(dt);
  vy = std::fmax(vy - 480 * dt, -300.0f);
  moveTo(x, y + vy * dt, 0);
  if (onGround)
    vy = 0;
}

bool ExplBarrel::hurt(int damage, float, float) {
  if (!alive())
    return false;
  health -= damage;
  flash = 0.1f;
  if (health > 0)
    return true;
  destroy();
  float cy = centreY();
  spawn_explosion(x, cy, 2, SND_BARREL_EXPLODE);
  __m128 blast = _mm_setr_ps(x - 20, cy - 20, x + 20, cy + 20);
  for_each_near(blast, [&](Actor* a) {
    if (a != this && (a->category == CAT_HERO || a->category == CAT_ENEMY || a->category == CAT_SOLID))
      a->hurt(25, x, cy);
  });
  return true;
}

void ExplBarrel::render(float t) {
  draw_sprite(sprite_named("boss1/bomb"), drawX(t), drawY(t), -1, false, SPRITE_PLAIN, hit_flash(flash));
}
