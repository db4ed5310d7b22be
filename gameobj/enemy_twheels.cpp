// The wheeled gun: rolls slowly; when it sees the hero it stops, charges its gun
// (it blinks, the warning) and fires an aimed shot.
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
constexpr float ROLL_SPEED = 12, SIGHT = 120, CHARGE_TIME = 0.6f, RELOAD = 1.8f, SHOT_SPEED = 130;
enum { ROLLING, CHARGING };
}  // namespace

EnemyTWheels::EnemyTWheels() {
  setShape(-5, 0, 5, 10, 16);
}

void EnemyTWheels::update(float dt) {
  tick(dt);
  if (recoiling(dt, false))
    return;
  shootTimer -= dt;
  warn = std::fmax(warn - dt, 0.0f);
  if (state == ROLLING) {
    vx = (faceRight ? 1.0f : -1.0f) * ROLL_SPEED;
    if (shootTimer <= 0 && seesHero(SIGHT)) {
      state = CHARGING;
      timer = CHARGE_TIME;
      faceRight = the_hero()->x >= x;
      startWarning(CHARGE_TIME, SND_ENEMY_CHARGE_GUN);
    }
  } else {
    vx = 0;
    timer -= dt;
    if (timer <= 0) {
      shootAtHero(BULLET_ENEMY, SHOT_SPEED, 0);
      play_event_at(SND_ENEMY_SHOOT, x, y);
      shootTimer = RELOAD;
      state = ROLLING;
    }
  }
  bool face = faceRight;
  walk(dt, true);
  if (state == CHARGING)
    faceRight = face;
}

void EnemyTWheels::render(float t) {
  draw_sprite(sprite_frame("enemy/twheels", vx != 0 ? int(age * 8) : 0), drawX(t), drawY(t), -1, !faceRight,
              SPRITE_PLAIN, glow());
}
