// What every enemy shares: damage, death, sight, walking and shooting.
/*
import enemies
import bonuses
import bullet
import effects
import hero
import sound
*/
#include "gameobj/bonuses.h"
#include "gameobj/bullet.h"
#include "gameobj/effects.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"

namespace {
constexpr float HEART_DROP_CHANCE = 0.12f;
// Enemies take no notice of a hero that has just arrived.
constexpr float ARRIVAL_GRACE = 2.0f;
constexpr float GRAVITY = 480;
}  // namespace

Enemy::Enemy() {
  category = CAT_ENEMY;
  contact = 10;
}

bool Enemy::hurt(int damage, float fromX, float fromY) {
  if (!alive() || damage <= 0)
    return false;
  health -= damage;
  flash = 0.12f;
  spotted = 1;
  if (health <= 0) {
    die();
    return true;
  }
  play_event_at(SND_ENEMY_HURT, x, y);
  return true;
}

void Enemy::die() {
  destroy();
  float cy = centreY();
  spawn_explosion(x, cy, 1, SND_ENEMY_DEAD);
  throw_debris(x, cy, 10, debrisColor(), 50);
  if (game_randf(0, 1) < HEART_DROP_CHANCE)
    spawn(HeartBonus_list, x, y);
}

bool Enemy::seesHero(float range) const {
  Hero* hero = the_hero();
  if (!hero || hero->dead || hero->levelTime < ARRIVAL_GRACE)
    return false;
  float dx = hero->x - x, dy = hero->centreY() - centreY();
  if (dx * dx + dy * dy > range * range)
    return false;
  return !trace_level(_mm_setr_ps(x, centreY(), 0, 1), _mm_setr_ps(hero->x, hero->centreY(), 0, 1), 0, nullptr,
                      nullptr, nullptr);
}

void Enemy::walk(float dt, bool careful) {
  vy = std::fmax(vy - GRAVITY * dt, -300.0f);
  int hit = moveTo(x + vx * dt, y + vy * dt, 2.5f);
  if (onGround)
    vy = 0;
  if (hit & (HIT_LEFT | HIT_RIGHT)) {
    vx = -vx;
  } else if (careful && onGround && vx != 0) {
    // No floor under the front edge: turn before falling off.
    float front = vx > 0 ? x + ext[2] + 1 : x + ext[0] - 1;
    int probe = 0;
    scan_level_y(front - 0.5f, front + 0.5f, y, y - 6, probe, nullptr);
    if (!(probe & HIT_DOWN))
      vx = -vx;
  }
  if (vx != 0)
    faceRight = vx > 0;
}

void Enemy::shootAtHero(int bulletKind, float speed, float spread) {
  Hero* hero = the_hero();
  if (!hero)
    return;
  float cy = centreY();
  float a = std::atan2(hero->centreY() - cy, hero->x - x) + spread;
  fire_bullet(bulletKind, x, cy, std::cos(a) * speed, std::sin(a) * speed, 8);
  faceRight = hero->x >= x;
}

// ---- making enemies by the generator's kind numbers ---------------------------------

namespace {
template <class T>
T* spawn_enemy(DynArray<T*>& list, float x, float y) {
  T* e = spawn(list, x, y);
  e->homeX = x, e->homeY = y;
  e->faceRight = game_rand() & 1;
  return e;
}
}  // namespace

void spawn_boss(int kind, float x, float y);

Actor* spawn_enemy_kind(int kind, float x, float y) {
  switch (kind) {
    case KIND_BOSS1:
    case KIND_BOSS2:
      spawn_boss(kind, x, y);
      return nullptr;
    case KIND_HWHEELS: return spawn_enemy(EnemyHWheels_list, x, y);
    case KIND_TWHEELS: return spawn_enemy(EnemyTWheels_list, x, y);
    case KIND_HFLY: return spawn_enemy(EnemyHFly_list, x, y + 24);
    case KIND_SIMPLE_SPIKE: return spawn_enemy(EnemySimpleSpike_list, x, y);
    case KIND_SIMPLE_JUMPER: return spawn_enemy(EnemySimpleJumper_list, x, y);
    case KIND_MAGNET_SPIKES: return spawn_enemy(EnemyMagnetSpikes_list, x, y);
    case KIND_VFLY: return spawn_enemy(EnemyVFly_list, x, y + 20);
    case KIND_HEART_BONUS: return spawn(HeartBonus_list, x, y);
    case KIND_UP_BONUS: return spawn(UpBonus_list, x, y);
    default: return nullptr;
  }
}
