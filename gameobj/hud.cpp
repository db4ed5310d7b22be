// The HUD's state each step and its drawing over the play picture.
/*
import hud
import hero
import bosses
import menus
import effects
import shell_api
import ui_draw
import view
*/
#include "gameobj/hud.h"

#include "gameobj/bosses.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"
#include "gameobj/menus.h"
#include "gameobj/shell_api.h"
#include "gameobj/ui_draw.h"
#include "gameobj/view.h"
#include "engine/gui/gui_host.h"
#include "engine/gui/gui_screen.h"

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
  h.exitKnown = exit && exit->victoryTime < 0;
  if (exit) {
    __m128 cam = get_camera_pos();
    h.exitDx = (exit->exitBox[0] + exit->exitBox[2]) * 0.5f - v_x(cam);
    h.exitDy = (exit->exitBox[1] + exit->exitBox[3]) * 0.5f - v_y(cam);
  }
  h.levelTime = hero ? hero->levelTime : 0;
  // The hero's red flash lasts 0.2 seconds after a hit.
  h.hurt = hero && !hero->dead ? clampf(hero->flash / 0.2f, 0, 1) : 0;
}

namespace {

float gui_scale() {
  int w, h;
  gui_get_screen_size(&w, &h);
  return float(gui_layout_scale(h));
}

// A bar of `fraction` filled in `fill`, framed.
void draw_bar(float x, float y, float w, float h, float fraction, uint32_t fill, float s) {
  ui_box(_mm_setr_ps(x, y, x + w, y + h), 0xFF181425, 0xFF8B9BB4, h * 0.5f);
  float inner = (w - 2 * s) * clampf(fraction, 0, 1);
  if (inner >= 1)
    ui_box(_mm_setr_ps(x + s, y + s, x + s + inner, y + h - s), fill, fill, (h - 2 * s) * 0.5f);
}

}  // namespace

// The exit marker's box on a w x h screen for an exit seen at (px, py) off the
// screen: at the screen's edge on the line from the middle towards the exit, wide
// enough for its text, the whole box on the screen.
__m128 exit_marker_box(float w, float h, float px, float py, float text_w, float s) {
  float half_w = std::fmax(24 * s, (text_w + 26 * s) * 0.5f);
  float margin_x = half_w + 4 * s, margin_y = 28 * s;
  float dx = px - w * 0.5f, dy = py - h * 0.5f;
  float reach = std::fmin(dx != 0 ? (w * 0.5f - margin_x) / std::fabs(dx) : 1e9f,
                          dy != 0 ? (h * 0.5f - margin_y) / std::fabs(dy) : 1e9f);
  float mx = w * 0.5f + dx * reach, my = h * 0.5f + dy * reach;
  return _mm_setr_ps(mx - half_w, my - 8 * s, mx + half_w, my + 8 * s);
}

namespace {

// Where the exit lies while it is out of sight, with the distance in tiles.
void draw_exit_marker(const HudState& h, float s) {
  int w, hh;
  gui_get_screen_size(&w, &hh);
  float vs = float(view_scale());
  float px = w * 0.5f + h.exitDx * vs, py = hh * 0.5f - h.exitDy * vs;
  if (px > 0 && px < w && py > 0 && py < hh)
    return;
  TempString<32> text;
  text.format("EXIT %d", int(std::sqrt(h.exitDx * h.exitDx + h.exitDy * h.exitDy) / TILE_SLOT + 0.5f));
  __m128 box = exit_marker_box(float(w), float(hh), px, py, ui_text_width(text.str, 8 * s, UI_BOLD), s);
  float x0 = v_x(box), my = (v_y(box) + v_w(box)) * 0.5f;
  float dx = px - w * 0.5f, dy = py - hh * 0.5f;
  const char* arrow = std::fabs(dx) >= std::fabs(dy) ? (dx > 0 ? "arrow_right" : "arrow_left")
                                                      : (dy > 0 ? "arrow_down" : "arrow_up");
  ui_box(box, 0xC0181425, 0xFF63C74D, 4 * s);
  ui_icon(arrow, x0 + 8 * s, my, 9 * s, 0xFF63C74D);
  ui_text(text.str, x0 + 15 * s, my - 4 * s, 8 * s, 0xFFFFFFFF, UI_LEFT, UI_BOLD);
}

// The first level says how the tower is climbed, for its first seconds.
void draw_first_hint(const HudState& h, float s) {
  constexpr float SHOWN = 10, FADE = 2;
  if (h.level != 1 || h.levelTime >= SHOWN)
    return;
  int w, hh;
  gui_get_screen_size(&w, &hh);
  float alpha = clampf((SHOWN - h.levelTime) / FADE, 0, 1);
  uint32_t a = uint32_t(alpha * 255) << 24;
  float cy = hh * 0.22f;
  ui_box(_mm_setr_ps(w * 0.5f - 120 * s, cy - 4 * s, w * 0.5f + 120 * s, cy + 24 * s), (a / 4 * 3) | 0x181425,
         a | 0x3A4466, 4 * s);
  ui_text("Shots break walls: blast a way to the exit.", w * 0.5f, cy, 8 * s, a | 0xFFFFFF, UI_CENTRE, UI_BOLD);
  ui_text("Aim with the mouse, fire with its buttons.", w * 0.5f, cy + 11 * s, 7 * s, a | 0xC0CBDC, UI_CENTRE,
          UI_REGULAR);
}

// A hit reddens the screen's edges for a moment.
void draw_hurt_frame(float hurt, float s) {
  if (hurt <= 0)
    return;
  int w, hh;
  gui_get_screen_size(&w, &hh);
  uint32_t color = (uint32_t(hurt * 150) << 24) | 0xE43B44;
  float t = 10 * s;
  ui_fill(_mm_setr_ps(0, 0, float(w), t), color);
  ui_fill(_mm_setr_ps(0, hh - t, float(w), float(hh)), color);
  ui_fill(_mm_setr_ps(0, t, t, hh - t), color);
  ui_fill(_mm_setr_ps(w - t, t, float(w), hh - t), color);
}

void draw_victory(float t, float s) {
  int w, h;
  gui_get_screen_size(&w, &h);
  float cx = w * 0.5f, cy = h * 0.4f;
  ui_box(_mm_setr_ps(cx - 110 * s, cy - 30 * s, cx + 110 * s, cy + 36 * s), 0xE0181425, 0xFFFEE761, 6 * s);
  ui_text("VICTORY!", cx, cy - 24 * s, 28 * s, 0xFFFEE761, UI_CENTRE, UI_BOLD);
  ui_text("The core is down. The tower is yours.", cx, cy + 8 * s, 9 * s, 0xFFFFFFFF, UI_CENTRE, UI_REGULAR);
  ui_icon("star", cx - 90 * s, cy - 10 * s, 14 * s, 0xFFFEE761);
  ui_icon("star", cx + 90 * s, cy - 10 * s, 14 * s, 0xFFFEE761);
}

}  // namespace

void draw_hud() {
  HudState& h = hud_state();
  float s = gui_scale();
  float x = 6 * s, y = 6 * s;
  ui_begin();
  draw_hurt_frame(h.hurt, s);
  // Health.
  ui_box(_mm_setr_ps(x, y, x + 118 * s, y + 30 * s), 0xC0181425, 0xFF3A4466, 4 * s);
  ui_icon("heart", x + 9 * s, y + 8 * s, 10 * s, h.health < h.maxHealth * 0.3f ? 0xFFFF0044 : 0xFFE43B44);
  float frac = h.maxHealth > 0 ? h.shownHealth / h.maxHealth : 0;
  draw_bar(x + 17 * s, y + 4 * s, 68 * s, 8 * s, frac,
           frac < 0.3f ? 0xFFFF0044 : (frac < 0.6f ? 0xFFFEAE34 : 0xFF63C74D), s);
  TempString<32> text;
  text.format("%d", int(h.health));
  ui_text(text.str, x + 112 * s, y + 3 * s, 9 * s, 0xFFFFFFFF, UI_RIGHT, UI_BOLD);
  // Points and level.
  ui_icon("point", x + 9 * s, y + 21 * s, 9 * s, 0xFFFEE761);
  text.format("%d", h.points);
  ui_text(text.str, x + 17 * s, y + 16 * s, 9 * s, 0xFFFEE761, UI_LEFT, UI_BOLD);
  text.format("LEVEL %d", h.level);
  ui_text(text.str, x + 112 * s, y + 16 * s, 9 * s, 0xFFC0CBDC, UI_RIGHT, UI_REGULAR);
  // Weapons: the pistol (two with the upgrade) and the secondary.
  int w, hh;
  gui_get_screen_size(&w, &hh);
  float rx = w - 6 * s;
  ui_box(_mm_setr_ps(rx - 64 * s, y, rx, y + 20 * s), 0xC0181425, 0xFF3A4466, 4 * s);
  ui_icon("pistol", rx - 52 * s, y + 10 * s, 11 * s, 0xFFC0CBDC);
  if (h.dualWield)
    ui_text("x2", rx - 42 * s, y + 5 * s, 8 * s, 0xFFFFFFFF, UI_LEFT, UI_BOLD);
  ui_icon(h.weapon ? "plasma" : "cross", rx - 16 * s, y + 10 * s, 11 * s, h.weapon ? 0xFF2CE8F5 : 0xFF8B9BB4);
  // The boss's health while it fights.
  if (h.bossHealth >= 0) {
    float bw = 200 * s, bx = (w - bw) * 0.5f, by = hh - 20 * s;
    ui_text("BOSS", w * 0.5f, by - 12 * s, 9 * s, 0xFFF77622, UI_CENTRE, UI_BOLD);
    draw_bar(bx, by, bw, 8 * s, h.bossHealth, 0xFFF77622, s);
  }
  if (h.exitKnown)
    draw_exit_marker(h, s);
  draw_first_hint(h, s);
  if (h.victoryTime >= 0)
    draw_victory(h.victoryTime, s);
  ui_end();
}

// Over a menu the pointer is an arrow; in play it is the crosshair the hero aims at.
void draw_crosshair(float x, float y) {
  ui_begin();
  ui_sprite(menu_shown() ? "ui/pointer" : "ui/crosshair", _mm_setr_ps(x, y, x, y), 0xFFFFFFFF, int(gui_scale()));
  ui_end();
}

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

// Under the element that asked for it, or above it near the screen's bottom.
void draw_tooltip() {
  if (!tooltip_shown)
    return;
  float s = gui_scale(), size = 7 * s, pad = 4 * s;
  int w, h;
  gui_get_screen_size(&w, &h);
  float tw = ui_text_width(tooltip_text.c_str(), size, UI_REGULAR);
  float x = clampf(v_x(tooltip_box), pad, w - tw - 3 * pad);
  float y = v_w(tooltip_box) + pad;
  if (y + size + 2 * pad > h)
    y = v_y(tooltip_box) - size - 3 * pad;
  ui_begin();
  ui_box(_mm_setr_ps(x, y, x + tw + 2 * pad, y + size + 2 * pad), 0xF0262B44, 0xFF8B9BB4, 3 * s);
  ui_text(tooltip_text.c_str(), x + pad, y + pad, size, 0xFFFFFFFF, UI_LEFT, UI_REGULAR);
  ui_end();
}
