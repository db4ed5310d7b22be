#pragma once
// The HUD: health, points, level, weapon and the boss's health during play, the
// victory screen after the last boss, the crosshair and tooltips.
#include <xmmintrin.h>

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
// The exit marker's box (x0, y0, x1, y1) on a w x h screen, for an exit seen at
// (px, py) off the screen and a text text_w wide, at the interface's scale s.
__m128 exit_marker_box(float w, float h, float px, float py, float text_w, float s);
// The tooltip the GUI asked for, over the menu.
void draw_tooltip();
