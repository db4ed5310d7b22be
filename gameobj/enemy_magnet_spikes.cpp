// The ceiling dropper: climbs to the ceiling above its spot and clings there;
// when the hero passes below it shakes (and blinks) for a moment, drops, waits,
// and climbs back up.
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
constexpr float CEILING_SEARCH = 120, CLIMB_SPEED = 45, DROP_GRAVITY = 600, WAIT = 1.0f, SHAKE_TIME = 0.35f;
enum { FIND_CEILING, CLINGING, DROPPING, WAITING, CLIMBING, GROUNDED, SHAKING };
}  // namespace

EnemyMagnetSpikes::EnemyMagnetSpikes() {
  setShape(-5, 0, 5, 7, 10);
  contact = 15;
}

void EnemyMagnetSpikes::update(float dt) {
  tick(dt);
  Hero* hero = the_hero();
  switch (state) {
    case FIND_CEILING: {
      int hit = 0;
      float top = scan_level_y(x + ext[0], x + ext[2], y + ext[3], y + ext[3] + CEILING_SEARCH, hit, nullptr);
      if (hit & HIT_UP) {
        ceilingY = top - ext[3];
        state = CLIMBING;
      } else {
        state = GROUNDED;
      }
      break;
    }
    case CLINGING:
      if (hero && !hero->dead && std::fabs(hero->x - x) < 20 && hero->y < y && seesHero(130)) {
        state = SHAKING;
        startWarning(SHAKE_TIME, SND_ENEMY_SPOTS_HERO);
      }
      break;
    case SHAKING:
      warn -= dt;
      if (warn <= 0) {
        state = DROPPING;
        vy = -20;
        play_event_at(SND_ENEMY_MAGNET_JUMP, x, y);
      }
      break;
    case DROPPING:
      vy = std::fmax(vy - DROP_GRAVITY * dt, -320.0f);
      moveTo(x, y + vy * dt, 0);
      if (onGround) {
        vy = 0;
        state = WAITING;
        timer = WAIT;
      }
      break;
    case WAITING:
      timer -= dt;
      if (timer <= 0)
        state = CLIMBING;
      break;
    case CLIMBING: {
      int hit = moveTo(x, std::fmin(y + CLIMB_SPEED * dt, ceilingY), 0);
      if (y >= ceilingY - 0.05f || (hit & HIT_UP))
        state = CLINGING;
      break;
    }
    default:
      vx = 0;
      walk(dt, false);
      break;
  }
}

void EnemyMagnetSpikes::render(float t) {
  float shake = state == SHAKING ? std::sin(age * 90) * 0.6f : 0;
  draw_sprite(sprite_frame("enemy/magnet", int(age * 6)), drawX(t) + shake, drawY(t), -1, !faceRight, SPRITE_PLAIN,
              glow());
}
