// The module's exports: the entry points the engine links by name, and link_gui.
/*
import actor
import menus
import hud
import sound
import ui_draw
*/
#include <cstring>

#include "engine/gui/bitmap_font.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/gui_behaviors.h"
#include "engine/gui/ui_draw.h"
#include "engine/world/gameobj_api.h"
#include "gameobj/sound.h"
#include "gameobj/ui_draw.h"

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
// The screens' factories; on a reload (the interface is set up already) also the
// fonts, at once, while the engine still holds the pages the old module's fonts used.
void link_module_gui() {
  link_screens();
  ui_load_fonts();
}
void play_sound_event_no_pos(int id) { play_event(id); }
// Play-level set-up of the shots, and its close: nothing beyond the objects.
void init_bullets() {}
void close_bullets() { reset_bullets(); }
// Boss parts are objects of their own; nothing is cached from the tiles.
void reload_boss_parts() {}

// Entry points the host looks up but never calls: this game has nothing for them to do.
namespace unused {
void safely_close_game_menu() {}
void reset_game_ui_screen() {}
void init_hud() {}
void close_hud() {}
void set_radio() {}
void get_radio() {}
void set_slider() {}
void place_popup() {}
void update_tooltip() {}
void render_tooltip() {}
void init_tooltip() {}
void is_in_lift() {}
void play_sound_event() {}
void add_screen_shake() {}
void screen_shake_at() {}
void trace_box_box() {}
void scan_voxel_grid() {}
void trace_voxel_grid() {}
void calc_voxel_grid_box() {}
void expand_grid_subpart_box() {}
void scan_level_and_boss_x() {}
void scan_level_and_boss_y() {}
void init_bonuses() {}
void close_bonuses() {}
void collect_bonuses() {}
void dump_proximity() {}
void explosion_junk() {}
void spawn_explosion() {}
void add_bullet() {}
void render_bullets() {}
void init_enemies() {}
void close_enemies() {}
void trace_ray_enemies() {}
void trace_ray_neutral() {}
void set_laser_scope() {}
void calc_hero_target() {}
void get_hero_face_right() {}
void set_hero_health() {}
void hit_hero_by_enemy() {}
void set_pistol_dual_wield() {}
void new_gameobj_by_id() {}
void gameobj_id_by_name() {}
}  // namespace unused

struct NamedEntry {
  const char* name;
  void* fn;
};

// The function as the slot of its name takes it: one of another type does not compile.
template <class Slot>
void* entry_of(Slot fn) {
  return (void*)fn;
}

#define ENTRY(name) {#name, entry_of<decltype(GameObjFuncTable::name)>(name)}
#define UNUSED_ENTRY(name) {#name, entry_of<decltype(GameObjFuncTable::name)>(unused::name)}
// Slot order, the reserved slot 16 left out.
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
    UNUSED_ENTRY(safely_close_game_menu),
    UNUSED_ENTRY(reset_game_ui_screen),
    ENTRY(set_game_ui_screen),
    ENTRY(open_game_menu),
    ENTRY(open_main_menu),
    ENTRY(open_upgrade_screen),
    ENTRY(close_game_menu),
    ENTRY(update_game_menu),
    ENTRY(draw_game_menu),
    UNUSED_ENTRY(init_hud),
    UNUSED_ENTRY(close_hud),
    ENTRY(update_hud),
    ENTRY(draw_hud),
    ENTRY(draw_crosshair),
    ENTRY(show_game_over),
    ENTRY(open_game_over_screen),
    UNUSED_ENTRY(set_radio),
    UNUSED_ENTRY(get_radio),
    UNUSED_ENTRY(set_slider),
    UNUSED_ENTRY(place_popup),
    ENTRY(init_new_gui),
    ENTRY(hide_tooltip),
    ENTRY(show_tooltip),
    UNUSED_ENTRY(update_tooltip),
    UNUSED_ENTRY(render_tooltip),
    UNUSED_ENTRY(init_tooltip),
    ENTRY(add_background),
    ENTRY(add_background_ship),
    ENTRY(reset_background),
    ENTRY(add_lift),
    ENTRY(reset_lifts),
    UNUSED_ENTRY(is_in_lift),
    UNUSED_ENTRY(play_sound_event),
    ENTRY(play_sound_event_no_pos),
    UNUSED_ENTRY(add_screen_shake),
    UNUSED_ENTRY(screen_shake_at),
    UNUSED_ENTRY(trace_box_box),
    UNUSED_ENTRY(scan_voxel_grid),
    UNUSED_ENTRY(trace_voxel_grid),
    UNUSED_ENTRY(calc_voxel_grid_box),
    UNUSED_ENTRY(expand_grid_subpart_box),
    ENTRY(reload_boss_parts),
    UNUSED_ENTRY(scan_level_and_boss_x),
    UNUSED_ENTRY(scan_level_and_boss_y),
    ENTRY(scan_objects_x),
    ENTRY(scan_objects_y),
    UNUSED_ENTRY(init_bonuses),
    UNUSED_ENTRY(close_bonuses),
    ENTRY(remove_all_bonuses),
    UNUSED_ENTRY(collect_bonuses),
    ENTRY(mark_level_tiles),
    ENTRY(update_explosions),
    UNUSED_ENTRY(dump_proximity),
    ENTRY(reset_explosions),
    UNUSED_ENTRY(explosion_junk),
    UNUSED_ENTRY(spawn_explosion),
    ENTRY(init_bullets),
    ENTRY(close_bullets),
    ENTRY(reset_bullets),
    UNUSED_ENTRY(add_bullet),
    UNUSED_ENTRY(render_bullets),
    UNUSED_ENTRY(init_enemies),
    UNUSED_ENTRY(close_enemies),
    ENTRY(remove_all_enemies),
    ENTRY(add_enemy),
    ENTRY(collide_box_enemies),
    ENTRY(collide_box_neutral),
    UNUSED_ENTRY(trace_ray_enemies),
    UNUSED_ENTRY(trace_ray_neutral),
    UNUSED_ENTRY(set_laser_scope),
    ENTRY(get_hero_pos),
    ENTRY(get_hero_target),
    UNUSED_ENTRY(calc_hero_target),
    UNUSED_ENTRY(get_hero_face_right),
    ENTRY(get_hero_health),
    UNUSED_ENTRY(set_hero_health),
    ENTRY(interp_hero_pos),
    ENTRY(init_hero),
    ENTRY(reset_hero),
    ENTRY(close_hero),
    ENTRY(move_hero),
    UNUSED_ENTRY(hit_hero_by_enemy),
    ENTRY(collide_box_hero),
    UNUSED_ENTRY(set_pistol_dual_wield),
    ENTRY(delete_gameobj),
    UNUSED_ENTRY(new_gameobj_by_id),
    UNUSED_ENTRY(gameobj_id_by_name),
    ENTRY(bind_gameobj),
    {"link_gui", entry_of<LinkGuiFn>(link_module_gui)},
};
#undef ENTRY
#undef UNUSED_ENTRY
static_assert(sizeof(entries) / sizeof(entries[0]) == GAMEOBJ_FUNC_COUNT, "every named slot, and link_gui");

// A test build leaves one entry out (GAMEOBJ_OMIT_ENTRY), as deleting its line would.
bool omitted(const char* name) {
#ifdef GAMEOBJ_OMIT_ENTRY
  return strcmp(name, GAMEOBJ_OMIT_ENTRY) == 0;
#else
  return false;
#endif
}

}  // namespace

extern "C" {

// The entry point of that name; null for a name this module does not hold.
__attribute__((visibility("default"))) void* get_gameobj_func_by_name(const char* name) {
  if (!name)
    return nullptr;
  for (const NamedEntry& e : entries)
    if (!omitted(e.name) && strcmp(e.name, name) == 0)
      return e.fn;
  return nullptr;
}

__attribute__((visibility("default"))) void link_gui() { link_module_gui(); }
}
