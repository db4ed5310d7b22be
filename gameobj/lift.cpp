// Lifts: ping-pong platforms over their shaft, carrying whatever stands on them.
/*
import lift
import sprites
*/
#include "gameobj/lift.h"
#include "gameobj/sprites.h"

namespace {
enum { WAIT_AT_START, GOING, WAIT_AT_END, RETURNING };
}

Lift::Lift() {
  category = CAT_PLATFORM;
  ext[0] = -WIDTH * 0.5f, ext[1] = -THICKNESS, ext[2] = WIDTH * 0.5f, ext[3] = 0;
}

bool Lift::setup(int tx, int ty, int size, int dir) {
  direction = dir >= 0 ? 1 : -1;
  float cx = tx + size * 0.5f;
  float half = WIDTH * 0.5f;
  int hit = 0;
  if (direction > 0) {
    // On top of the lift tile, rising until the shaft ends (headroom kept for a rider).
    startY = float(ty) + THICKNESS;
    float stop = scan_level_y(cx - half, cx + half, startY, startY + 520, hit, nullptr);
    endY = (hit & HIT_UP) ? stop - HEADROOM : startY;
  } else {
    // Under the lift tile, sinking to the floor below.
    startY = float(ty);
    float stop = scan_level_y(cx - half, cx + half, startY - THICKNESS, startY - 520, hit, nullptr);
    endY = (hit & HIT_DOWN) ? stop + THICKNESS : startY;
  }
  place(cx, startY);
  state = WAIT_AT_START;
  timer = WAIT;
  // A platform walled in where it starts, or with no room to travel, would only be a
  // ledge in the way: the lift tile stays a block.
  int inside = 0;
  __m128 pushed = collide_box_level(_mm_setr_ps(cx - half + 0.5f, startY - THICKNESS + 0.5f, 0, 0),
                                    _mm_setr_ps(cx + half - 0.5f, startY - 0.5f, 0, 0), inside);
  bool walled = _mm_movemask_ps(_mm_cmpgt_ps(pushed, _mm_setzero_ps())) != 0;
  return !walled && startY - THICKNESS >= 0 && (endY - startY) * direction >= 8;
}

void Lift::update(float dt) {
  age += dt;
  vy = 0;
  switch (state) {
    case WAIT_AT_START:
    case WAIT_AT_END:
      timer -= dt;
      if (timer <= 0 && endY != startY)
        state = state == WAIT_AT_START ? GOING : RETURNING;
      break;
    case GOING:
    case RETURNING: {
      float goal = state == GOING ? endY : startY;
      float ny = approach(y, goal, SPEED * dt);
      vy = (ny - y) / dt;
      carryRiders(ny - y);
      y = ny;
      if (y == goal) {
        state = state == GOING ? WAIT_AT_END : WAIT_AT_START;
        timer = WAIT;
      }
      moved();
      break;
    }
  }
}

// Whatever stands on the platform moves with it, by exactly as much: riders neither
// sink into a rising lift nor fly off one that stops.
void Lift::carryRiders(float dy) {
  float x0 = x - WIDTH * 0.5f, x1 = x + WIDTH * 0.5f;
  for_each_near(_mm_setr_ps(x0, y - 1, x1, y + 1), [&](Actor* a) {
    bool moves = a->category == CAT_HERO || a->category == CAT_ENEMY || a->category == CAT_PICKUP ||
                 a->category == CAT_SOLID;
    if (a == this || !moves || !a->onGround || std::fabs(a->y - y) > 0.75f || a->x + a->ext[2] <= x0 ||
        a->x + a->ext[0] >= x1)
      return;
    a->y += dy;
    a->moved();
  });
}

void Lift::render(float t) { draw_sprite(sprite_named("lift/platform"), drawX(t), drawY(t), -0.5f, false); }
