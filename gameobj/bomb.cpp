// Boss1's bombs: fall and explode on the ground or on the hero.
/*
import bosses
import effects
import hero
import sound
import sprites
*/
#include "gameobj/bosses.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
constexpr float FUSE = 4, BLAST_RADIUS = 16;
constexpr int BLAST_DAMAGE = 20;
}

Bomb::Bomb() {
  category = CAT_EFFECT;
  ext[0] = -2, ext[1] = 0, ext[2] = 2, ext[3] = 4;
}

void Bomb::update(float dt) {
  age += dt;
  vy = std::fmax(vy - 360 * dt, -250.0f);
  moveTo(x, y + vy * dt, 0);
  Hero* hero = the_hero();
  bool onHero = hero && !hero->dead && boxes_touch(box(), hero->bbox);
  if (onGround || onHero || age > FUSE)
    explode();
}

void Bomb::explode() {
  destroy();
  float cy = centreY();
  spawn_explosion(x, cy, 1.5f, SND_BARREL_EXPLODE);
  Hero* hero = the_hero();
  if (hero) {
    float dx = hero->x - x, dy = hero->centreY() - cy;
    if (dx * dx + dy * dy < BLAST_RADIUS * BLAST_RADIUS)
      hero->hurt(BLAST_DAMAGE, x, cy);
  }
}

void Bomb::render(float t) {
  draw_sprite(sprite_named("boss1/bomb"), drawX(t), drawY(t), -1, false, SPRITE_PLAIN,
              int(age * 10) % 2 ? 0x60FF0044 : NO_FLASH);
}
