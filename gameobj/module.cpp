// The module's exports: the entry points the engine links by name, and link_gui.
/*
import actor
import menus
import hud
import sound
*/
#include <cstring>

#include "engine/gui/bitmap_font.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/gui_behaviors.h"
#include "engine/gui/ui_draw.h"
#include "engine/world/gameobj_api.h"
#include "gameobj/sound.h"

// Entry points defined by the files of their kind.
void update_gameobj(float dt);
void render_gameobj(float t);
void render_boss(float t);
void render_gameobj_debug(float t);
void view_mode_gameobj_debug(DynArray<char>* text, __m128 view_pos);
void render_gameobj_map(int blink);
void remove_all_gameobj();
void init_gameobj();
void close_gameobj();
void set_game_ui_screen(BaseGuiScreen* screen);
void open_game_menu();
void open_main_menu();
void open_upgrade_screen();
void close_game_menu();
void update_game_menu(float dt);
void draw_game_menu(float t);
void update_hud();
void draw_hud();
void draw_crosshair(float x, float y);
void show_game_over(bool timer_done);
void open_game_over_screen();
void hide_tooltip();
void show_tooltip(String* text, __m128 box);
void add_background(const char* name, float a, float b, float c, float d, float e, float f);
void add_background_ship(const char* name, float speed);
void reset_background();
void add_lift(int x, int y, int size, int direction);
void reset_lifts();
float scan_objects_x(int& hit, GameObj* self, float from, float to, float y0, float y1);
float scan_objects_y(int& hit, GameObj* self, float x0, float x1, float from, float to, float* out);
void remove_all_bonuses();
void mark_level_tiles();
void update_explosions(float dt);
void reset_explosions();
void reset_bullets();
void remove_all_enemies();
void add_enemy(int kind, float x, float y);
__m128 collide_box_enemies(GameObj* self, int flags, __m128 lo, __m128 hi);
__m128 collide_box_neutral(GameObj* self, __m128 lo, __m128 hi);
__m128 get_hero_pos();
__m128 get_hero_target();
int get_hero_health();
__m128 interp_hero_pos(float t);
void init_hero();
void reset_hero(float x, float y);
void close_hero();
void move_hero(__m128 pos);
__m128 collide_box_hero(GameObj* self, __m128 lo, __m128 hi);
void delete_gameobj();
void bind_gameobj(HSQUIRRELVM vm);
void link_screens();

namespace {

void noop() {}
// Once, when the scene starts (the device exists): the interface's shaders and
// states, and the standard behaviours the screens' elements take by name.
void init_new_gui() {
  init_ui_image_render();
  init_rounded_box_render();
  init_bitmap_fonts();
  init_dist_fonts();
  init_dist_icons();
  register_std_behaviors();
}
void play_sound_event_no_pos(int id) { play_event(id); }
// Play-level set-up of the shots, and its close: nothing beyond the objects.
void init_bullets() {}
void close_bullets() { reset_bullets(); }
// Boss parts are objects of their own; nothing is cached from the tiles.
void reload_boss_parts() {}

struct NamedEntry {
  const char* name;
  void* fn;
};

#define ENTRY(name) {#name, (void*)(name)}
const NamedEntry entries[] = {
    ENTRY(update_gameobj),
    ENTRY(render_gameobj),
    ENTRY(render_boss),
    ENTRY(render_gameobj_debug),
    ENTRY(view_mode_gameobj_debug),
    ENTRY(render_gameobj_map),
    ENTRY(remove_all_gameobj),
    ENTRY(init_gameobj),
    ENTRY(close_gameobj),
    ENTRY(set_game_ui_screen),
    ENTRY(open_game_menu),
    ENTRY(open_main_menu),
    ENTRY(open_upgrade_screen),
    ENTRY(close_game_menu),
    ENTRY(update_game_menu),
    ENTRY(draw_game_menu),
    ENTRY(update_hud),
    ENTRY(draw_hud),
    ENTRY(draw_crosshair),
    ENTRY(show_game_over),
    ENTRY(open_game_over_screen),
    ENTRY(init_new_gui),
    ENTRY(hide_tooltip),
    ENTRY(show_tooltip),
    ENTRY(add_background),
    ENTRY(add_background_ship),
    ENTRY(reset_background),
    ENTRY(add_lift),
    ENTRY(reset_lifts),
    ENTRY(play_sound_event_no_pos),
    ENTRY(reload_boss_parts),
    ENTRY(scan_objects_x),
    ENTRY(scan_objects_y),
    ENTRY(remove_all_bonuses),
    ENTRY(mark_level_tiles),
    ENTRY(update_explosions),
    ENTRY(reset_explosions),
    ENTRY(init_bullets),
    ENTRY(close_bullets),
    ENTRY(reset_bullets),
    ENTRY(remove_all_enemies),
    ENTRY(add_enemy),
    ENTRY(collide_box_enemies),
    ENTRY(collide_box_neutral),
    ENTRY(get_hero_pos),
    ENTRY(get_hero_target),
    ENTRY(get_hero_health),
    ENTRY(interp_hero_pos),
    ENTRY(init_hero),
    ENTRY(reset_hero),
    ENTRY(close_hero),
    ENTRY(move_hero),
    ENTRY(collide_box_hero),
    ENTRY(delete_gameobj),
    ENTRY(bind_gameobj),
    {"link_gui", (void*)link_screens},
};
#undef ENTRY

}  // namespace

extern "C" {

// Entry points the engine never calls answer with a no-op; a name the engine does
// not know answers null.
__attribute__((visibility("default"))) void* get_gameobj_func_by_name(const char* name) {
  if (!name)
    return nullptr;
#ifdef GAMEOBJ_OMIT_ENTRY
  if (strcmp(name, GAMEOBJ_OMIT_ENTRY) == 0)
    return nullptr;
#endif
  for (const NamedEntry& e : entries)
    if (strcmp(e.name, name) == 0)
      return e.fn;
  for (const char* known : gameobj_func_names)
    if (known && strcmp(known, name) == 0)
      return (void*)noop;
  return nullptr;
}

__attribute__((visibility("default"))) void link_gui() { link_screens(); }
}
