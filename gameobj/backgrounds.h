#pragma once
// Background layers and ships: pictures far behind the level that scroll slower
// than it (parallax), repeated across and, for some, downwards or upwards.
/*
import actor
*/
#include "gameobj/actor.h"

class BackgroundTile : public Actor {
  ACTOR_CLASS(BackgroundTile)
  char name[48] = {};
  float parallax = 1;  // 1 moves with the level, 0.1 barely moves
  float depth = 0;     // z behind the level
  int32_t repeatX = 0; // tiled across the view
  int32_t fillY = 0;   // -1 repeated below, 1 repeated above, 0 once
  BackgroundTile();
  void render(float t) override;
};

class BackgroundShip : public Actor {
  ACTOR_CLASS(BackgroundShip)
  char name[48] = {};
  float speed = 0.1f;  // parallax, and how fast it drifts
  BackgroundShip();
  void update(float dt) override;
  void render(float t) override;
};

// Where a layer's picture stands for a camera at (cx, cy).
float background_offset(float base, float cam, float parallax);
