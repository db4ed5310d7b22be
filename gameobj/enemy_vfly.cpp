// The hovering flyer: bobs up and down until it sees the hero, then follows it
// through the air.
/*
import enemies
import hero
import sound
import sprites
*/
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
constexpr float SIGHT = 100, ACCEL = 90, MAX_SPEED = 38, BOB = 10;
}

EnemyVFly::EnemyVFly() {
  setShape(-4, 0, 4, 8, 6);
  contact = 6;
}

void EnemyVFly::update(float dt) {
  tick(dt);
  Hero* hero = the_hero();
  if (seesHero(SIGHT)) {
    if (!spotted)
      play_event_at(SND_ENEMY_SPOTS_HERO, x, y);
    spotted = 1;
  }
  if (spotted && hero && !hero->dead) {
    float dx = hero->x - x, dy = hero->centreY() + 4 - centreY();
    vx = clampf(vx + (dx > 0 ? ACCEL : -ACCEL) * dt, -MAX_SPEED, MAX_SPEED);
    vy = clampf(vy + (dy > 0 ? ACCEL : -ACCEL) * dt, -MAX_SPEED, MAX_SPEED);
    int hit = moveTo(x + vx * dt, y + vy * dt, 0);
    if (hit & (HIT_LEFT | HIT_RIGHT))
      vx = 0;
    if (hit & (HIT_UP | HIT_DOWN))
      vy = 0;
    faceRight = dx >= 0;
  } else {
    moveTo(x, homeY + std::sin(age * 2.0f) * BOB, 0);
  }
}

void EnemyVFly::render(float t) {
  draw_sprite(sprite_frame("enemy/vfly", int(age * 16)), drawX(t), drawY(t), -1, !faceRight, SPRITE_PLAIN, hit_flash(flash));
}
