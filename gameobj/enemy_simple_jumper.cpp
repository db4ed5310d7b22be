// The jumper: hops about where it stands; when it sees the hero it crouches (and
// blinks) for a moment, then leaps at it.
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
constexpr float SIGHT = 100, LEAP_X = 50, LEAP_Y = 150, HOP_X = 15, HOP_Y = 80, CROUCH_TIME = 0.4f;
}

EnemySimpleJumper::EnemySimpleJumper() {
  setShape(-4, 0, 4, 7, 8);
  contact = 8;
  timer = 1;
}

void EnemySimpleJumper::update(float dt) {
  tick(dt);
  if (recoiling(dt, false))
    return;
  Hero* hero = the_hero();
  if (warn > 0) {
    // Crouched: the leap goes off when the warning ends.
    vx = 0;
    warn -= dt;
    if (warn <= 0 && onGround) {
      if (hero)
        faceRight = hero->x >= x;
      vx = faceRight ? LEAP_X : -LEAP_X;
      vy = LEAP_Y;
      onGround = false;
      play_event_at(SND_ENEMY_JUMP, x, y);
      timer = game_randf(0.8f, 1.6f);
    }
  } else if (onGround) {
    vx = approach(vx, 0, 400 * dt);
    timer -= dt;
    if (timer <= 0) {
      if (hero && seesHero(SIGHT)) {
        faceRight = hero->x >= x;
        startWarning(CROUCH_TIME, SND_ENEMY_SPOTS_HERO);
      } else {
        vx = (game_rand() & 1) ? HOP_X : -HOP_X;
        vy = HOP_Y;
        onGround = false;
        timer = game_randf(0.8f, 1.6f);
      }
    }
  }
  float face = faceRight;
  walk(dt, false);
  faceRight = face;
}

void EnemySimpleJumper::render(float t) {
  draw_sprite(sprite_frame("enemy/jumper", onGround ? 0 : 1), drawX(t), drawY(t), -1, !faceRight, SPRITE_PLAIN,
              glow());
}
