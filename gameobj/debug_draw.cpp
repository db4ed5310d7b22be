// Debug drawing for the developer keys and the level viewer: every object's box
// coloured by what it is, the hero's aim and the exit; the objects on the viewer's
// level map; and a description of what stands at the viewed spot.
/*
import actor
import hero
import effects
*/
#include <cstdio>
#include <cstring>

#include "engine/gui/sys_font.h"
#include "engine/render/debug_vis.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"

namespace {

uint32_t category_color(int category) {
  switch (category) {
    case CAT_HERO: return 0xFF2CE8F5;
    case CAT_ENEMY: return 0xFFFF0044;
    case CAT_SOLID: return 0xFFF77622;
    case CAT_PICKUP: return 0xFFFEE761;
    case CAT_PLATFORM: return 0xFFFFFFFF;
    case CAT_SHOT: return 0xFFB55088;
    default: return 0xFF8B9BB4;
  }
}

// Every live object of the lists but the background layers.
template <class F>
void for_each_object(F&& fn) {
#define VISIT(name)                                                       \
  for (int i = 0; i < name##_list.size(); i++) {                          \
    Actor* a = reinterpret_cast<Actor*>(name##_list[i]);                  \
    if (a->alive() && a->category != CAT_SCENERY && a->category != CAT_NONE) \
      fn(a);                                                              \
  }
  GAMEOBJ_LIST_NAMES(VISIT)
#undef VISIT
}

void append(DynArray<char>* text, const char* s) {
  for (; *s; s++)
    text->push(s);
}

}  // namespace

void render_gameobj_debug(float t) {
  start_draw_debug_vis();
  for_each_object([&](Actor* a) {
    float dx = a->drawX(t) - a->x, dy = a->drawY(t) - a->y;
    __m128 b = v_add(a->bbox, _mm_setr_ps(dx, dy, dx, dy));
    draw_debug_vis_wire_box(_mm_setr_ps(v_x(b), v_y(b), -8, 1), _mm_setr_ps(v_z(b), v_w(b), -8, 1),
                            category_color(a->category));
  });
  if (Hero* hero = the_hero())
    if (!hero->dead)
      draw_debug_vis_line(_mm_setr_ps(hero->gunX(), hero->gunY(), -8, 1), _mm_setr_ps(hero->aimX, hero->aimY, -8, 1),
                          0xFF2CE8F5, 0x402CE8F5);
  if (ExitFx* exit = the_exit())
    draw_debug_vis_wire_box(_mm_setr_ps(exit->exitBox[0], exit->exitBox[1], -8, 1),
                            _mm_setr_ps(exit->exitBox[2], exit->exitBox[3], -8, 1), 0xFF63C74D);
  end_draw_debug_vis();
}

// Called inside the viewer's text drawing: map pixels are `cells` level cells, the
// map's origin at the bottom left.
void render_gameobj_map(int cells) {
  if (cells <= 0)
    return;
  for_each_object([&](Actor* a) {
    int x0 = int(v_x(a->bbox)) / cells, y0 = int(v_y(a->bbox)) / cells;
    int x1 = int(v_z(a->bbox)) / cells, y1 = int(v_w(a->bbox)) / cells;
    draw_rect(x0, y0, x1 + 1, y1 + 1, category_color(a->category));
  });
  if (ExitFx* exit = the_exit())
    draw_rect(int(exit->exitBox[0]) / cells, int(exit->exitBox[1]) / cells, int(exit->exitBox[2]) / cells + 1,
              int(exit->exitBox[3]) / cells + 1, 0xFF63C74D);
}

// What stands within a tile of the viewed spot: one line per object.
void view_mode_gameobj_debug(DynArray<char>* text, __m128 view_pos) {
  float x = v_x(view_pos), y = v_y(view_pos);
  constexpr float REACH = 16;
  int lines = 0;
  for_each_object([&](Actor* a) {
    if (lines >= 8 || std::fabs(a->x - x) > REACH || std::fabs(a->centreY() - y) > REACH)
      return;
    char line[128];
    snprintf(line, sizeof(line), "%s%s %.0f,%.0f hp %d", lines ? "\n" : "", a->className(), a->x, a->y, a->health);
    append(text, line);
    lines++;
  });
}
