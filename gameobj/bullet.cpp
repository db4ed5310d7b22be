// Shots: a straight flight traced through the cells and the targets in its way.
/*
import bullet
import effects
import hero
import sound
import sprites
*/
#include "gameobj/bullet.h"

#include "engine/shared/palette.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {

struct BulletShape {
  float half;  // half the box side
  float life;  // seconds before it fades
  int blast;   // radius of the breakable cells broken where it hits a wall
};
// Every wall but the exit's frame breaks: a pistol shot chips a small crater, so a
// closed room is never the end of the way; a plasma ball blows a hole.
const BulletShape shapes[] = {
    {1.0f, 1.2f, 3},  // pistol
    {2.5f, 2.0f, 6},  // plasma
    {1.5f, 3.0f, 0},  // enemy
    {2.0f, 3.0f, 0},  // boss
};

// Where the segment from (x, y) along (dx, dy) enters the box: the fraction 0..1
// of the segment, or 2 when it misses.
float segment_enters_box(float x, float y, float dx, float dy, __m128 box) {
  float lo[2] = {v_x(box), v_y(box)}, hi[2] = {v_z(box), v_w(box)};
  float p[2] = {x, y}, d[2] = {dx, dy};
  float t0 = 0, t1 = 1;
  for (int k = 0; k < 2; k++) {
    if (std::fabs(d[k]) < 1e-6f) {
      if (p[k] < lo[k] || p[k] > hi[k])
        return 2;
      continue;
    }
    float a = (lo[k] - p[k]) / d[k], b = (hi[k] - p[k]) / d[k];
    if (a > b)
      std::swap(a, b);
    t0 = std::fmax(t0, a);
    t1 = std::fmin(t1, b);
    if (t0 > t1)
      return 2;
  }
  return t0;
}

bool hits_category(const Bullet* b, const Actor* a) {
  if (b->fromHero)
    return a->category == CAT_ENEMY || a->category == CAT_SOLID;
  return a->category == CAT_HERO;
}

}  // namespace

Bullet* fire_bullet(int kind, float x, float y, float vx, float vy, int damage) {
  const BulletShape& shape = shapes[kind >= 0 && kind <= BULLET_BOSS ? kind : BULLET_ENEMY];
  Bullet* b = new Bullet();
  Bullet_list.push(&b);
  b->kind = kind;
  b->category = CAT_SHOT;
  b->fromHero = kind == BULLET_PISTOL || kind == BULLET_PLASMA;
  b->damage = damage;
  b->life = shape.life;
  b->blast = shape.blast;
  b->ext[0] = b->ext[1] = -shape.half;
  b->ext[2] = b->ext[3] = shape.half;
  b->vx = vx, b->vy = vy;
  b->faceRight = vx >= 0;
  b->place(x, y);
  return b;
}

void Bullet::update(float dt) {
  age += dt;
  life -= dt;
  if (life <= 0) {
    destroy();
    return;
  }
  float dx = vx * dt, dy = vy * dt;
  float wall_t = 2;
  __m128 from = _mm_setr_ps(x, y, 0, 1), to = _mm_setr_ps(x + dx, y + dy, 0, 1);
  float t;
  // Traced as thick as the shot, so a shot grazing a wall's edge (a muzzle held
  // against it) hits it; one that starts inside a wall hits it at once.
  int radius = int(std::ceil(ext[2] - 0.5f));
  if (trace_level(from, to, radius, nullptr, nullptr, &t))
    wall_t = t;

  // The nearest target the shot passes through before the wall.
  Actor* target = nullptr;
  float target_t = wall_t;
  __m128 sweep = _mm_setr_ps(std::fmin(x, x + dx) - ext[2], std::fmin(y, y + dy) - ext[3],
                             std::fmax(x, x + dx) + ext[2], std::fmax(y, y + dy) + ext[3]);
  for_each_near(sweep, [&](Actor* a) {
    if (!hits_category(this, a))
      return;
    // The target's box grown by the shot's size.
    __m128 grown = v_add(a->bbox, _mm_setr_ps(-ext[2], -ext[3], ext[2], ext[3]));
    float ta = segment_enters_box(x, y, dx, dy, grown);
    if (ta < target_t)
      target = a, target_t = ta;
  });

  if (target) {
    x += dx * target_t, y += dy * target_t;
    target->hurt(damage, x - dx, y - dy);
    impact(x, y, false);
    return;
  }
  if (wall_t <= 1) {
    impact(x + dx * wall_t, y + dy * wall_t, true);
    return;
  }
  x += dx, y += dy;
  moved();
}

void Bullet::impact(float hx, float hy, bool wall) {
  x = hx, y = hy;
  destroy();
  if (kind == BULLET_PLASMA) {
    spawn_explosion(hx, hy, 1, -1);
  } else {
    throw_debris(hx, hy, 3, fromHero ? 0xFFFEE761 : 0xFFFF0044, 30);
  }
  if (!wall || blast <= 0)
    return;
  // The shot enters the cell it stopped at: break the destructible cells around it.
  int cx = int(std::floor(hx + vx * 0.002f)), cy = int(std::floor(hy + vy * 0.002f));
  int broken = 0;
  for (int yy = cy - blast; yy <= cy + blast; yy++)
    for (int xx = cx - blast; xx <= cx + blast; xx++) {
      if (xx < 0 || yy < 0 || xx >= LEVEL_WIDTH || yy >= LEVEL_HEIGHT)
        continue;
      LevelCell& c = level_data[yy][xx];
      if (c.collision == 1) {
        broken++;
        if (broken % 3 == 0)
          add_junk(_mm_setr_ps(xx + 0.5f, yy + 0.5f, -1, 1),
                   _mm_setr_ps(game_randf(-40, 40), game_randf(10, 70), 0, 0),
                   main_palette[c.foreground ? c.foreground : 23], game_randf(0.5f, 1.2f), 200);
      }
    }
  level_clear_box(cx - blast, cy - blast, cx + blast, cy + blast);
  invalidate_level(cx - blast, cy - blast, cx + blast, cy + blast);
  play_event_at(broken ? SND_BULLET_DESTROYS_WALL : SND_BULLET_HITS_INDESTRUCTIBLE, hx, hy);
}

void Bullet::render(float t) {
  static const char* const pictures[] = {"bullet/pistol", "bullet/plasma", "bullet/enemy", "bullet/boss"};
  const char* name = pictures[kind >= 0 && kind <= BULLET_BOSS ? kind : BULLET_ENEMY];
  float speed = std::sqrt(vx * vx + vy * vy);
  float dx = speed > 0 ? vx / speed : 1, dy = speed > 0 ? vy / speed : 0;
  draw_sprite_turned(sprite_frame(name, int(age * 20)), drawX(t), drawY(t), -5, dx, dy);
}
