// The horizontal flyer: to and fro with a bob, turning at walls; passing over the
// hero it drops a burst of three shots.
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
constexpr float SPEED = 30, BOB = 4, BURST_RELOAD = 2.5f, SHOT_SPEED = 120;
}

EnemyHFly::EnemyHFly() {
  setShape(-5, 0, 5, 7, 6);
}

void EnemyHFly::update(float dt) {
  tick(dt);
  shootTimer -= dt;
  vx = (faceRight ? 1.0f : -1.0f) * SPEED;
  float ty = homeY + std::sin(age * 3.0f) * BOB;
  int hit = moveTo(x + vx * dt, ty, 0);
  if (hit & (HIT_LEFT | HIT_RIGHT)) {
    faceRight = !faceRight;
    play_event_at(SND_ENEMY_FLYER_CHANGE_DIR, x, y);
  }
  Hero* hero = the_hero();
  if (shootTimer <= 0 && hero && std::fabs(hero->x - x) < 10 && hero->y < y && seesHero(120)) {
    for (float sx : {-40.0f, 0.0f, 40.0f})
      fire_bullet(BULLET_ENEMY, x, y, sx, -SHOT_SPEED, 8);
    play_event_at(SND_ENEMY_SHOOT_BURST, x, y);
    shootTimer = BURST_RELOAD;
  }
}

void EnemyHFly::render(float t) {
  draw_sprite(sprite_frame("enemy/hfly", int(age * 12)), drawX(t), drawY(t), -1, !faceRight, SPRITE_PLAIN, hit_flash(flash));
}
