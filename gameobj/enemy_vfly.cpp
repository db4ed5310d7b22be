// The hovering flyer: bobs up and down until it sees the hero, then flies to a spot
// over it, hangs there blinking (the warning), dives at where the hero stood, and
// climbs back to try again.
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
constexpr float SIGHT = 100, ACCEL = 120, MAX_SPEED = 40;
constexpr float HOVER_OVER = 26;  // the spot it dives from, over the hero's head
constexpr float AIM_TIME = 0.5f, DIVE_SPEED = 120, DIVE_TIME = 0.6f, CLIMB_TIME = 0.8f;
enum { HOVER, CLOSE_IN, AIM, DIVE, CLIMB };
}  // namespace

EnemyVFly::EnemyVFly() {
  setShape(-4, 0, 4, 8, 6);
  contact = 6;
}

void EnemyVFly::update(float dt) {
  tick(dt);
  if (recoiling(dt, true)) {
    state = CLIMB;
    timer = CLIMB_TIME;
    return;
  }
  Hero* hero = the_hero();
  bool hunting = hero && !hero->dead;
  timer -= dt;
  warn = std::fmax(warn - dt, 0.0f);
  switch (state) {
    case HOVER:
      moveTo(x, homeY + std::sin(age * 2.0f) * BOB, 0);
      if (seesHero(SIGHT)) {
        play_event_at(SND_ENEMY_SPOTS_HERO, x, y);
        spotted = 1;
        state = CLOSE_IN;
      }
      return;
    case CLOSE_IN: {
      if (!hunting)
        return;
      float dx = hero->x - x, dy = hero->y + HOVER_OVER - y;
      vx = clampf(vx + (dx > 0 ? ACCEL : -ACCEL) * dt, -MAX_SPEED, MAX_SPEED);
      vy = clampf(vy + (dy > 0 ? ACCEL : -ACCEL) * dt, -MAX_SPEED, MAX_SPEED);
      int hit = moveTo(x + vx * dt, y + vy * dt, 0);
      if (hit & (HIT_LEFT | HIT_RIGHT))
        vx = 0;
      if (hit & (HIT_UP | HIT_DOWN))
        vy = 0;
      faceRight = dx >= 0;
      if (std::fabs(dx) < 18 && std::fabs(dy) < 14 && seesHero(SIGHT)) {
        state = AIM;
        timer = AIM_TIME;
        vx = vy = 0;
        aimX = hero->x, aimY = hero->centreY();
        startWarning(AIM_TIME, SND_ENEMY_SPOTS_HERO);
      }
      return;
    }
    case AIM:
      // It keeps its eye on the hero while it winds up.
      if (hunting)
        aimX = hero->x, aimY = hero->centreY();
      if (timer <= 0) {
        float dx = aimX - x, dy = aimY - centreY(), len = std::sqrt(dx * dx + dy * dy) + 0.001f;
        vx = dx / len * DIVE_SPEED, vy = dy / len * DIVE_SPEED;
        state = DIVE;
        timer = DIVE_TIME;
      }
      return;
    case DIVE: {
      int hit = moveTo(x + vx * dt, y + vy * dt, 0);
      if (hit || timer <= 0) {
        state = CLIMB;
        timer = CLIMB_TIME;
      }
      return;
    }
    default:  // CLIMB
      vx = approach(vx, 0, 200 * dt);
      vy = 30;
      moveTo(x + vx * dt, y + vy * dt, 0);
      if (timer <= 0)
        state = CLOSE_IN;
      return;
  }
}

void EnemyVFly::render(float t) {
  draw_sprite(sprite_frame("enemy/vfly", int(age * 16)), drawX(t), drawY(t), -1, !faceRight, SPRITE_PLAIN, glow());
}
