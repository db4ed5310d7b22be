// The walker: rolls along its floor and turns at walls and ledges; a hero ahead
// on its level makes it charge.
/*
import enemies
import hero
import sprites
*/
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/sprites.h"

namespace {
constexpr float PATROL_SPEED = 22, CHARGE_SPEED = 48, CHARGE_RANGE = 70;
}

EnemyHWheels::EnemyHWheels() {
  setShape(-5, 0, 5, 8, 12);
}

void EnemyHWheels::update(float dt) {
  tick(dt);
  float dir = faceRight ? 1.0f : -1.0f;
  float speed = PATROL_SPEED;
  Hero* hero = the_hero();
  if (hero && seesHero(CHARGE_RANGE) && (hero->x - x) * dir > 0 && std::fabs(hero->y - y) < 12)
    speed = CHARGE_SPEED;
  vx = dir * speed;
  walk(dt, true);
}

void EnemyHWheels::render(float t) {
  draw_sprite(sprite_frame("enemy/hwheels", int(age * 8)), drawX(t), drawY(t), -1, !faceRight, SPRITE_PLAIN, hit_flash(flash));
}
