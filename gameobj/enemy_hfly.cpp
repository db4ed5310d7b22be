// The horizontal flyer: to and fro with a bob, turning at walls. Passing over the
// hero it blinks for a moment, then drops a burst of three shots.
/*
import enemies
import bullet
import hero
import sound
import sprites
*/
#include "gameobj/bullet.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
constexpr float SPEED = 30, BURST_RELOAD = 2.5f, SHOT_SPEED = 120, AIM_TIME = 0.4f;
}

EnemyHFly::EnemyHFly() {
  setShape(-5, 0, 5, 7, 6);
}

void EnemyHFly::update(float dt) {
  tick(dt);
  if (recoiling(dt, true))
    return;
  shootTimer -= dt;
  vx = (faceRight ? 1.0f : -1.0f) * SPEED;
  float ty = homeY + std::sin(age * 3.0f) * BOB;
  int hit = moveTo(x + vx * dt, ty, 0);
  if (hit & (HIT_LEFT | HIT_RIGHT)) {
    faceRight = !faceRight;
    play_event_at(SND_ENEMY_FLYER_CHANGE_DIR, x, y);
  }
  Hero* hero = the_hero();
  if (warn > 0) {
    warn -= dt;
    if (warn <= 0) {
      for (float sx : {-40.0f, 0.0f, 40.0f})
        fire_bullet(BULLET_ENEMY, x, y, sx, -SHOT_SPEED, 8);
      play_event_at(SND_ENEMY_SHOOT_BURST, x, y);
      shootTimer = BURST_RELOAD;
    }
  } else if (shootTimer <= 0 && hero && std::fabs(hero->x - x) < 24 && hero->y < y && seesHero(120)) {
    startWarning(AIM_TIME, SND_ENEMY_CHARGE_GUN);
  }
}

void EnemyHFly::render(float t) {
  draw_sprite(sprite_frame("enemy/hfly", int(age * 12)), drawX(t), drawY(t), -1, !faceRight, SPRITE_PLAIN, glow());
}
