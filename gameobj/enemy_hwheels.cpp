// The walker: rolls along its floor and turns at walls and ledges. A hero ahead on
// its level makes it stop and rev (it shakes and blinks), then charge.
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
constexpr float PATROL_SPEED = 22, CHARGE_SPEED = 64, CHARGE_RANGE = 80;
constexpr float REV_TIME = 0.5f, CHARGE_TIME = 1.2f, COOL_TIME = 1.2f;
enum { PATROL, REV, CHARGE };
}  // namespace

EnemyHWheels::EnemyHWheels() {
  setShape(-5, 0, 5, 8, 12);
}

void EnemyHWheels::update(float dt) {
  tick(dt);
  if (recoiling(dt, false))
    return;
  float dir = faceRight ? 1.0f : -1.0f;
  Hero* hero = the_hero();
  timer -= dt;
  warn = std::fmax(warn - dt, 0.0f);
  switch (state) {
    case PATROL:
      vx = dir * PATROL_SPEED;
      if (timer <= 0 && hero && seesHero(CHARGE_RANGE) && (hero->x - x) * dir > 0 && std::fabs(hero->y - y) < 12) {
        state = REV;
        timer = REV_TIME;
        startWarning(REV_TIME, SND_ENEMY_SPOTS_HERO);
      }
      break;
    case REV:
      vx = 0;
      if (timer <= 0) {
        state = CHARGE;
        timer = CHARGE_TIME;
      }
      break;
    case CHARGE:
      vx = dir * CHARGE_SPEED;
      if (timer <= 0) {
        state = PATROL;
        timer = COOL_TIME;
      }
      break;
  }
  walk(dt, true);
  // Turned by a wall or a ledge, a charge is over.
  if (state == CHARGE && (vx > 0) != (dir > 0)) {
    state = PATROL;
    timer = COOL_TIME;
  }
}

void EnemyHWheels::render(float t) {
  float shake = state == REV ? std::sin(age * 80) * 0.5f : 0;
  draw_sprite(sprite_frame("enemy/hwheels", int(age * (state == CHARGE ? 16 : 8))), drawX(t) + shake, drawY(t), -1,
              !faceRight, SPRITE_PLAIN, glow());
}
