#pragma once
// Lifts: a platform on a lift tile that travels along its direction until the
// shaft ends, waits, and comes back. What stands on it rides along: the lift moves
// its riders with it (the object sweeps also report its velocity as their ground).
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
  static constexpr float SPEED = 64;  // a well's whole height in about 7 seconds
  static constexpr float WAIT = 1.2f;
  static constexpr float HEADROOM = 16;  // kept free above a rising lift's top stop

  Lift();
  void update(float dt) override;
  void render(float t) override;
  void carryRiders(float dy);
  // Finds the run from the tile at (tx, ty) in the direction given; false when
  // there is none (no room to travel, or no room for the platform at all).
  bool setup(int tx, int ty, int size, int dir);
};
