#include "hero_model.h"

#include <algorithm>
#include <cmath>

#include "engine/world/collision.h"
#include "engine/world/level_sweep.h"
#include "gameobj/hero.h"

namespace play {

namespace {

constexpr float DT = 0.05f;

float approach(float v, float target, float step) {
  return v < target ? std::fmin(v + step, target) : std::fmax(v - step, target);
}

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}

}  // namespace

bool read_hero_body(HeroBody& body) {
  if (Hero_list.isEmpty())
    return false;
  Hero* hero = Hero_list[0];
  // The box the engine keeps for the object, around the position the module reports.
  GameObj* obj = reinterpret_cast<GameObj*>(hero);
  float x, y;
  read_hero_pos(x, y);
  body.ext[0] = lane(obj->bbox, 0) - x;
  body.ext[1] = lane(obj->bbox, 1) - y;
  body.ext[2] = lane(obj->bbox, 2) - x;
  body.ext[3] = lane(obj->bbox, 3) - y;
  body.jump = hero->stats.jump;
  return true;
}

void read_hero_pos(float& x, float& y) {
  __m128 p = gameobj_func_table.get_hero_pos();
  x = lane(p, 0);
  y = lane(p, 1);
}

void hero_step(HeroState& s, const HeroInput& in, const HeroBody& body) {
  using namespace hero_tuning;
  s.vx = approach(s.vx, float(in.dir) * RUN_SPEED, (s.onGround ? GROUND_ACCEL : AIR_ACCEL) * DT);
  s.coyote = s.onGround ? COYOTE_TIME : s.coyote - DT;
  s.jumpBuffer = in.jumpPressed ? JUMP_BUFFER : s.jumpBuffer - DT;
  if (s.jumpBuffer > 0 && s.coyote > 0) {
    s.vy = JUMP_SPEED * std::sqrt(body.jump > 0.1f ? body.jump : 0.1f);
    s.jumping = true;
    s.coyote = s.jumpBuffer = 0;
    s.onGround = false;
  }
  if (s.jumping && s.vy > 0 && !in.jumpHeld) {
    s.vy *= JUMP_CUT;
    s.jumping = false;
  }
  if (s.vy <= 0)
    s.jumping = false;
  s.vy = std::fmax(s.vy - GRAVITY * DT, -MAX_FALL);
  __m128 pos = _mm_setr_ps(s.x, s.y, 0, 1);
  __m128 target = _mm_setr_ps(s.x + s.vx * DT, s.y + s.vy * DT, 0, 1);
  __m128 ext = _mm_setr_ps(body.ext[0], body.ext[1], body.ext[2], body.ext[3]);
  float ground[2] = {0, 0};
  bool wasOnGround = s.onGround;
  int hit = collide_moving_box(pos, target, ext, nullptr, ground, s.onGround || s.vy <= 0 ? STEP_HEIGHT : 0);
  s.x = lane(pos, 0);
  s.y = lane(pos, 1);
  s.onGround = (hit & HIT_DOWN) != 0;
  // The hero keeps its feet on a slope it walks down.
  if (wasOnGround && s.vy <= 0) {
    int down = 0;
    float box[4];
    hero_box(s, body, box);
    float dy = collide_box_y(_mm_setr_ps(box[0], box[1], box[2], box[3]), -STEP_HEIGHT, down, nullptr, ground);
    if ((down & HIT_DOWN) && !(down & HIT_UP) && dy < 0) {
      s.y += dy;
      s.onGround = true;
    }
  }
  if ((hit & HIT_UP) && s.vy > 0)
    s.vy = 0;
  if (hit & (HIT_LEFT | HIT_RIGHT))
    s.vx = 0;
  if (s.onGround && s.vy < 0)
    s.vy = 0;
}

void hero_box(const HeroState& s, const HeroBody& body, float box[4]) {
  box[0] = s.x + body.ext[0];
  box[1] = s.y + body.ext[1];
  box[2] = s.x + body.ext[2];
  box[3] = s.y + body.ext[3];
}

}  // namespace play
