// The HUD's state each step and its drawing over the play picture.
/*
import hud
import hero
import bosses
import effects
import shell_api
import ui_draw
import view
*/
#include "gameobj/hud.h"

#include "gameobj/bosses.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"
#include "gameobj/shell_api.h"
#include "gameobj/ui_draw.h"
#include "gameobj/view.h"

HudState& hud_state() {
  static HudState state;
  return state;
}

void update_hud() {
  HudState& h = hud_state();
  Hero* hero = the_hero();
  h.health = hero ? float(std::max(hero->health, 0)) : 0;
  h.maxHealth = hero ? float(hero->maxHealth) : 100;
  h.shownHealth += (h.health - h.shownHealth) * 0.35f;
  if (std::fabs(h.health - h.shownHealth) < 0.5f)
    h.shownHealth = h.health;
  h.points = shell::points();
  h.level = shell::level();
  h.weapon = hero && hero->stats.plasmaGun ? 1 : 0;
  h.dualWield = hero && hero->stats.dualWield;
  Boss* boss = the_boss();
  h.bossHealth = boss && boss->activated ? float(boss->health) / float(boss->maxHealth) : -1;
  ExitFx* exit = the_exit();
  h.victoryTime = exit ? exit->victoryTime : -1;
}

void draw_hud() {}
void draw_crosshair(float x, float y) {}

// ---- tooltips ----------------------------------------------------------------------

namespace {
String tooltip_text;
__m128 tooltip_box;
bool tooltip_shown = false;
}  // namespace

void show_tooltip(String* text, __m128 box) {
  tooltip_text = text ? *text : String();
  tooltip_box = box;
  tooltip_shown = tooltip_text.len() > 0;
}

void hide_tooltip() { tooltip_shown = false; }
