#pragma once
// A model of the hero's movement for planning: its tuning and box come from the
// module's own header and objects, its collision from the engine's level sweeps
// (the level alone: lifts, barrels and enemies are left out, and the driver plans
// again when they get in the way).
#include <cstdint>

namespace play {

struct HeroState {
  float x = 0, y = 0;    // the feet
  float vx = 0, vy = 0;  // units per second
  bool onGround = false;
  float coyote = 0, jumpBuffer = 0;
  bool jumping = false;
  bool atRest() const { return onGround && vx == 0 && vy == 0; }
};

// What the controls say during one update.
struct HeroInput {
  int dir = 0;               // -1 left, 1 right
  bool jumpHeld = false;
  bool jumpPressed = false;  // went down in this update
};

struct HeroBody {
  float ext[4] = {-3, 0, 3, 12};  // box edges around the feet
  float jump = 1;                 // the upgrades' jump factor
};

// The live hero's body, as the module reports it; false while there is no hero.
bool read_hero_body(HeroBody& body);
// The hero's position as the module reports it.
void read_hero_pos(float& x, float& y);

// One update of 1/20 s.
void hero_step(HeroState& s, const HeroInput& in, const HeroBody& body);

// The box of a state: x0, y0, x1, y1.
void hero_box(const HeroState& s, const HeroBody& body, float box[4]);

}  // namespace play
