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

void Lift::setup(int tx, int ty, int size, int dir) {
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
  if ((endY - startY) * direction < 8)
    endY = startY;  // no room to travel: it stays put
  place(cx, startY);
  state = WAIT_AT_START;
  timer = WAIT;
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

void Lift::render(float t) { draw_sprite(sprite_named("lift/platform"), drawX(t), drawY(t), -0.5f, false); }
