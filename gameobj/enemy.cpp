// What every enemy shares: damage, death, sight, walking and shooting.
/*
import enemies
import bonuses
import bullet
import effects
import hero
import sound
import sprites
*/
#include "gameobj/bonuses.h"
#include "gameobj/bullet.h"
#include "gameobj/effects.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
constexpr float HEART_DROP_CHANCE = 0.12f;
constexpr float POINT_DROP_CHANCE = 0.12f;
// Enemies take no notice of a hero that has just arrived.
constexpr float ARRIVAL_GRACE = 3.0f;
constexpr float GRAVITY = 480;
constexpr float RECOIL_TIME = 0.6f, RECOIL_SPEED = 70;
// The warning blinks in amber.
constexpr uint32_t WARNING_FLASH = 0xA0FEAE34;
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
  float roll = game_randf(0, 1);
  if (roll < HEART_DROP_CHANCE)
    spawn(HeartBonus_list, x, y);
  else if (roll < HEART_DROP_CHANCE + POINT_DROP_CHANCE)
    spawn(UpBonus_list, x, y);
}

void Enemy::bounceFrom(float hx, float hy) {
  recoil = RECOIL_TIME;
  warn = 0;
  vx = (x >= hx ? 1.0f : -1.0f) * RECOIL_SPEED;
  vy = centreY() >= hy ? 50.0f : -30.0f;
}

bool Enemy::recoiling(float dt, bool flying) {
  if (recoil <= 0)
    return false;
  recoil -= dt;
  if (flying) {
    vx = approach(vx, 0, 100 * dt);
    vy = approach(vy, 0, 100 * dt);
    int hit = moveTo(x + vx * dt, y + vy * dt, 0);
    if (hit & (HIT_LEFT | HIT_RIGHT))
      vx = -vx;
    if (recoil <= 0)
      homeY = y;  // it hovers where it came to rest
  } else {
    float face = faceRight;
    walk(dt, false);
    faceRight = face;
  }
  return true;
}

void Enemy::startWarning(float time, int sound) {
  warn = time;
  play_event_at(sound, x, centreY());
}

uint32_t Enemy::glow() const {
  if (warn > 0)
    return int(warn * 16) % 2 ? WARNING_FLASH : NO_FLASH;
  return hit_flash(flash);
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
// Where a flyer put on a floor spot hovers: `height` over it, or lower under a low
// ceiling, with room left to bob.
float hover_y(float x, float y, float height, const float ext[4], float bob) {
  int hit = 0;
  float reach = y + height + ext[3] + bob;
  float ceiling = scan_level_y(x + ext[0], x + ext[2], y + 1, reach, hit, nullptr);
  float top = (hit & HIT_UP) ? ceiling : reach;
  float with_bob = top - ext[3] - bob - 1;
  return with_bob >= y ? std::fmin(y + height, with_bob) : std::fmax(y, top - ext[3] - 0.5f);
}

// True when the object's box overlaps a solid cell.
bool walled_in(const Actor* a) {
  int hit = 0;
  __m128 b = a->box();
  __m128 push = collide_box_level(_mm_movelh_ps(b, b), _mm_movehl_ps(b, b), hit);
  return _mm_movemask_ps(_mm_cmpgt_ps(push, _mm_setzero_ps())) != 0;
}

template <class T>
T* spawn_enemy(DynArray<T*>& list, float x, float y) {
  T* e = spawn(list, x, y);
  e->homeX = x, e->homeY = y;
  e->faceRight = game_rand() & 1;
  return e;
}
}  // namespace

void spawn_boss(int kind, float x, float y);

namespace {
// A flyer put on a floor spot rises to its height over it.
template <class T>
T* spawn_flyer(DynArray<T*>& list, float x, float y, float height) {
  T* e = spawn_enemy(list, x, y);
  e->homeY = hover_y(x, y, height, e->ext, T::BOB);
  e->place(x, e->homeY);
  return e;
}

Actor* make_kind(int kind, float x, float y) {
  switch (kind) {
    case KIND_BOSS1:
    case KIND_BOSS2:
      spawn_boss(kind, x, y);
      return nullptr;
    case KIND_HWHEELS: return spawn_enemy(EnemyHWheels_list, x, y);
    case KIND_TWHEELS: return spawn_enemy(EnemyTWheels_list, x, y);
    case KIND_HFLY: return spawn_flyer(EnemyHFly_list, x, y, 24);
    case KIND_SIMPLE_SPIKE: return spawn_enemy(EnemySimpleSpike_list, x, y);
    case KIND_SIMPLE_JUMPER: return spawn_enemy(EnemySimpleJumper_list, x, y);
    case KIND_MAGNET_SPIKES: return spawn_enemy(EnemyMagnetSpikes_list, x, y);
    case KIND_VFLY: return spawn_flyer(EnemyVFly_list, x, y, 20);
    case KIND_BARREL: return spawn(ExplBarrel_list, x, y);
    case KIND_HEART_BONUS: return spawn(HeartBonus_list, x, y);
    case KIND_UP_BONUS: return spawn(UpBonus_list, x, y);
    default: return nullptr;
  }
}
}  // namespace

// A spot with no room for the object's box (a low ceiling over the floor it was
// given) gets none: it could neither move nor be reached.
Actor* spawn_enemy_kind(int kind, float x, float y) {
  Actor* a = make_kind(kind, x, y);
  if (a && walled_in(a)) {
    delete_actor(a);
    return nullptr;
  }
  return a;
}
