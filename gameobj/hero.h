#pragma once
// The hero: runs and jumps with the controls, aims at the crosshair, fires two
// weapons, rides lifts, takes damage and dies.
/*
import actor
import weapons
*/
#include "gameobj/actor.h"
#include "gameobj/weapons.h"

// The hero's stats, as the game script's upgrade tree computes them.
struct HeroStats {
  float maxHealth = 100;
  float damage = 1;
  float fireRate = 1;
  float jump = 1;
  bool dualWield = false;
  bool plasmaGun = false;
};

// Movement tuning, in world units and seconds.
namespace hero_tuning {
constexpr float RUN_SPEED = 72;
constexpr float GROUND_ACCEL = 900;
constexpr float AIR_ACCEL = 520;
// The rooms stand on a 16-cell grid: a full jump clears two slots with room to
// spare (about 40 cells high, 50 long at a run).
constexpr float GRAVITY = 560;
constexpr float MAX_FALL = 320;
constexpr float JUMP_SPEED = 212;
constexpr float JUMP_CUT = 0.5f;      // vertical speed kept when jump is let go early
constexpr float COYOTE_TIME = 0.1f;   // a jump still starts this long after leaving a ledge
constexpr float JUMP_BUFFER = 0.12f;  // a jump pressed this long before landing still happens
constexpr float STEP_HEIGHT = 4.5f;
constexpr float HEIGHT = 11.9f;
constexpr float HURT_TIME = 1.0f;     // no damage for this long after a hit
constexpr float ARRIVAL_SHIELD = 1.5f;  // nor for this long at the start of a level
constexpr float FALL_DEATH_Y = -40;
}  // namespace hero_tuning

class Hero : public Actor {
  ACTOR_CLASS(Hero)

  HeroStats stats;
  float aimX = 0, aimY = 0;     // the crosshair in the world
  float coyote = 0, jumpBuffer = 0;
  float invulnerable = 0;
  float deadTime = 0;
  float levelTime = 0;          // since the level started (enemies give it a moment)
  float runPhase = 0;           // animation clock of the run
  float shotFlash = 0;          // time left of the shooting pose
  bool jumping = false;         // rising from a jump (the cut applies once)
  bool dead = false;
  WeakPtr<WieldedItem> primary;
  WeakPtr<WieldedItem> secondary;

  Hero();
  void update(float dt) override;
  void render(float t) override;
  bool hurt(int damage, float fromX, float fromY) override;
  void onDestroy() override;

  // Stats from the script; keeps the health's share of the maximum.
  void applyStats(const HeroStats& s);
  // Gives the hero the weapons its stats allow.
  void arm();
  // Back to a standing start at a new place, full health, no velocity.
  void respawn(float nx, float ny);
  // Where the shots come from.
  float gunX() const { return x + (faceRight ? 3.0f : -3.0f); }
  float gunY() const { return y + 7.5f; }

 private:
  void updateAim();
  void updateMovement(float dt);
  void touchObjects();
  void die();
};

// The hero, or null.
Hero* the_hero();
// The last stats the script handed over (the hero takes them when made).
HeroStats& current_hero_stats();
