#pragma once
// Explosions, debris and the exit's glow: what happens where things break.
/*
import actor
*/
#include "gameobj/actor.h"

// One burst of an explosion: an animated flash that fades.
class ExplosionParticle : public Actor {
  ACTOR_CLASS(ExplosionParticle)
  float life = 0.45f;
  float size = 1;  // 1 small, 2 big
  ExplosionParticle();
  void update(float dt) override;
  void render(float t) override;
};

// A barrel that explodes when shot, hurting what stands near.
class ExplBarrel : public Actor {
  ACTOR_CLASS(ExplBarrel)
  ExplBarrel();
  void update(float dt) override;
  void render(float t) override;
  bool hurt(int damage, float fromX, float fromY) override;
};

// The level's exit: its box (the lift cells of the exit tile), a glow over it,
// and after the last boss the victory clock.
class ExitFx : public Actor {
  ACTOR_CLASS(ExitFx)
  float exitBox[4] = {0, 0, 0, 0};
  float victoryTime = -1;  // counting up after the game is won; -1: not won
  ExitFx();
  void update(float dt) override;
  void render(float t) override;
  // True when the box touches the exit.
  bool touches(__m128 box) const;
};

// An explosion of the given size at (x, y): flashes, debris, sound and shake.
void spawn_explosion(float x, float y, float size, int sound_event);
// Debris of one colour thrown from (x, y).
void throw_debris(float x, float y, int count, uint32_t color, float speed);

// The exit of the level, or null before it is known (boss levels until the boss
// falls).
ExitFx* the_exit();
// Finds the exit tile's lift cells where the elevator will: the lift cells near
// the rightmost one. Makes the ExitFx; false when the level has no lift cell.
bool find_level_exit();
// Stamps the boss level's exit tile and makes the ExitFx over it.
void open_boss_exit();
