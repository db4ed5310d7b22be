#pragma once
// Lifts: a platform on a lift tile that travels along its direction until the
// shaft ends, waits, and comes back. What stands on it rides along: the object
// sweeps report the lift's velocity as the ground of whoever lands on it.
/*
import actor
*/
#include "gameobj/actor.h"

class Lift : public Actor {
  ACTOR_CLASS(Lift)
  float startY = 0, endY = 0;  // the platform's top at both ends of its run
  int32_t direction = 1;

  static constexpr float WIDTH = 16;
  static constexpr float THICKNESS = 3;
  static constexpr float SPEED = 28;
  static constexpr float WAIT = 1.5f;
  static constexpr float HEADROOM = 16;  // kept free above a rising lift's top stop

  Lift();
  void update(float dt) override;
  void render(float t) override;
  // Finds the run from the tile at (tx, ty) in the direction given.
  void setup(int tx, int ty, int size, int dir);
};
