// The spiked turret: fixed to its floor, it fires a fan of three shots at the hero it
// sees, raising its spikes and blinking just before; touching its spikes hurts more.
/*
import enemies
import bullet
import sound
import sprites
*/
#include "gameobj/bullet.h"
#include "gameobj/enemies.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
constexpr float SIGHT = 140, RELOAD = 2.2f, SHOT_SPEED = 110, FAN = 0.25f, AIM_TIME = 0.5f;
}

EnemySimpleSpike::EnemySimpleSpike() {
  setShape(-5, 0, 5, 8, 18);
  contact = 15;
  shootTimer = 1;
}

void EnemySimpleSpike::update(float dt) {
  tick(dt);
  shootTimer -= dt;
  vx = 0;
  walk(dt, false);
  if (warn > 0) {
    warn -= dt;
    if (warn <= 0) {
      for (float a : {-FAN, 0.0f, FAN})
        shootAtHero(BULLET_ENEMY, SHOT_SPEED, a);
      play_event_at(SND_ENEMY_SHOOT, x, y);
      shootTimer = RELOAD;
    }
  } else if (shootTimer <= 0 && seesHero(SIGHT)) {
    startWarning(AIM_TIME, SND_ENEMY_CHARGE_GUN);
  }
}

void EnemySimpleSpike::render(float t) {
  draw_sprite(sprite_frame("enemy/spike", warn > 0 ? 1 : 0), drawX(t), drawY(t), -1, !faceRight, SPRITE_PLAIN, glow());
}
