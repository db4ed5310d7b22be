#pragma once
// The HUD: health, points, level, weapon and the boss's health during play, the
// victory screen after the last boss, the crosshair and tooltips.
/*
import gameobj_api
*/

// What the HUD shows, gathered once per play step.
struct HudState {
  float health = 0, maxHealth = 100;
  float shownHealth = 0;   // eases towards health
  int points = 0, level = 1;
  int weapon = 0;          // 0 punch, 1 plasma gun
  bool dualWield = false;
  float bossHealth = -1;   // fraction, -1 without an awake boss
  float victoryTime = -1;
  bool exitKnown = false;  // the level's exit, from the camera, in world units
  float exitDx = 0, exitDy = 0;
  float levelTime = 0;     // the hero's time on this level
  float hurt = 0;          // 1 as the hero is hit, fading to 0
};

HudState& hud_state();
// The tooltip the GUI asked for, over the menu.
void draw_tooltip();
