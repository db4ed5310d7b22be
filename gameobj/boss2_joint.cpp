// The joint that carries a Boss2 plate round its orbit.
/*
import bosses
*/
#include "gameobj/bosses.h"

Boss2Joint::Boss2Joint() { category = CAT_NONE; }

void Boss2Joint::update(float dt) {
  Boss2* owner = boss.get();
  BossPart* plate = part.get();
  if (!owner || !plate || !plate->alive()) {
    destroy();
    return;
  }
  // A flat orbit around the core's upper half, so that no plate sinks into the floor.
  float a = angle + owner->spin;
  x = owner->x + std::cos(a) * radius;
  y = owner->y + ORBIT_HEIGHT + std::sin(a) * radius * ORBIT_FLATNESS;
  plate->x = x, plate->y = y;
  if (dt == 0)
    plate->prevX = x, plate->prevY = y;  // just mounted: no motion to show
  plate->moved();
}
