#include "recording_module.h"

#include <cstdarg>
#include <cstdio>

#include "engine/core/geometry.h"
#include "engine/world/gameobj_api.h"

std::vector<std::string> call_log;
RecordingModuleState module_state;

void record_call(const std::string& line) { call_log.push_back(line); }

void record_callf(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  call_log.push_back(text);
}

std::vector<std::string> calls_named(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& line : call_log) {
    std::string name = line.substr(0, line.find('('));
    for (const std::string& n : names)
      if (name == n) {
        out.push_back(line);
        break;
      }
  }
  return out;
}

std::vector<std::string> calls_starting(const std::vector<std::string>& prefixes) {
  std::vector<std::string> out;
  for (const std::string& line : call_log)
    for (const std::string& p : prefixes)
      if (line.compare(0, p.size(), p) == 0) {
        out.push_back(line);
        break;
      }
  return out;
}

std::string call_log_text() {
  std::string text;
  for (const std::string& line : call_log)
    text += line + "\n";
  return text;
}

namespace {


#define REC0(name) \
  void rec_##name() { record_call(#name); }
#define REC_F(name) \
  void rec_##name(float v) { record_callf(#name "(%g)", v); }

REC_F(render_gameobj)
REC_F(render_boss)
REC_F(render_gameobj_debug)
REC0(remove_all_gameobj)
REC0(init_gameobj)
REC0(close_gameobj)
REC0(open_game_menu)
REC0(open_main_menu)
REC0(open_upgrade_screen)
REC0(close_game_menu)
REC_F(draw_game_menu)
REC0(update_hud)
REC0(draw_hud)
REC0(open_game_over_screen)
REC0(init_new_gui)
REC0(hide_tooltip)
REC0(reset_background)
REC0(reset_lifts)
REC0(reload_boss_parts)
REC0(remove_all_bonuses)
REC0(mark_level_tiles)
REC_F(update_explosions)
REC0(reset_explosions)
REC0(init_bullets)
REC0(close_bullets)
REC0(reset_bullets)
REC0(remove_all_enemies)
REC0(init_hero)
REC0(close_hero)
REC0(delete_gameobj)

void rec_update_gameobj(float dt) {
  record_callf("update_gameobj(%g)", dt);
  if (module_state.on_update_gameobj)
    module_state.on_update_gameobj();
}

void rec_update_game_menu(float dt) {
  record_callf("update_game_menu(%g)", dt);
  if (module_state.close_menu_on_update)
    should_close_game_menu = true;
}

void rec_view_mode_gameobj_debug(DynArray<char, DefaultAllocator>* text, __m128 pos) {
  record_callf("view_mode_gameobj_debug(%g,%g,%g,%g)", v_lane(pos, 0), v_lane(pos, 1), v_lane(pos, 2), v_lane(pos, 3));
  const std::string& t = module_state.debug_text;
  if (!t.empty())
    text->append((int)t.size(), t.data());
}

void rec_render_gameobj_map(int scale) { record_callf("render_gameobj_map(%d)", scale); }
void rec_set_game_ui_screen(BaseGuiScreen* screen) { record_callf("set_game_ui_screen(%p)", (void*)screen); }
void rec_draw_crosshair(float x, float y) { record_callf("draw_crosshair(%g,%g)", x, y); }
void rec_show_game_over(bool done) { record_callf("show_game_over(%d)", done ? 1 : 0); }
void rec_show_tooltip(String*, __m128) { record_call("show_tooltip"); }
void rec_add_background(const char* name, float, float, float, float, float, float) {
  record_callf("add_background(%s)", name);
}
void rec_add_background_ship(const char* name, float) { record_callf("add_background_ship(%s)", name); }
void rec_add_lift(int x, int y, int size, int dir) { record_callf("add_lift(%d,%d,%d,%d)", x, y, size, dir); }
void rec_play_sound_event_no_pos(int id) { record_callf("play_sound_event_no_pos(%d)", id); }
float rec_scan_objects_x(int&, GameObj*, float, float to, float, float) { return to; }
float rec_scan_objects_y(int&, GameObj*, float, float, float, float to, float*) { return to; }
void rec_add_enemy(int kind, float x, float y) { record_callf("add_enemy(%d,%g,%g)", kind, x, y); }
__m128 rec_collide_box_enemies(GameObj*, int, __m128, __m128) { return _mm_setzero_ps(); }
__m128 rec_collide_box(GameObj*, __m128, __m128) { return _mm_setzero_ps(); }
__m128 rec_get_hero_pos() { return module_state.hero_pos; }
__m128 rec_get_hero_target() { return module_state.hero_pos; }
int rec_get_hero_health() { return module_state.hero_health; }
__m128 rec_interp_hero_pos(float t) {
  record_callf("interp_hero_pos(%g)", t);
  return module_state.hero_pos;
}
void rec_reset_hero(float x, float y) { record_callf("reset_hero(%g,%g)", x, y); }
void rec_move_hero(__m128 pos) {
  record_callf("move_hero(%g,%g,%g,%g)", v_lane(pos, 0), v_lane(pos, 1), v_lane(pos, 2), v_lane(pos, 3));
  module_state.hero_pos = pos;
}
void rec_bind_gameobj(HSQUIRRELVM) { record_call("bind_gameobj"); }

}  // namespace

void install_recording_table() {
  GameObjFuncTable& t = gameobj_func_table;
  t = GameObjFuncTable{};
  t.update_gameobj = rec_update_gameobj;
  t.render_gameobj = rec_render_gameobj;
  t.render_boss = rec_render_boss;
  t.render_gameobj_debug = rec_render_gameobj_debug;
  t.view_mode_gameobj_debug = rec_view_mode_gameobj_debug;
  t.render_gameobj_map = rec_render_gameobj_map;
  t.remove_all_gameobj = rec_remove_all_gameobj;
  t.init_gameobj = rec_init_gameobj;
  t.close_gameobj = rec_close_gameobj;
  t.set_game_ui_screen = rec_set_game_ui_screen;
  t.open_game_menu = rec_open_game_menu;
  t.open_main_menu = rec_open_main_menu;
  t.open_upgrade_screen = rec_open_upgrade_screen;
  t.close_game_menu = rec_close_game_menu;
  t.update_game_menu = rec_update_game_menu;
  t.draw_game_menu = rec_draw_game_menu;
  t.update_hud = rec_update_hud;
  t.draw_hud = rec_draw_hud;
  t.draw_crosshair = rec_draw_crosshair;
  t.show_game_over = rec_show_game_over;
  t.open_game_over_screen = rec_open_game_over_screen;
  t.init_new_gui = rec_init_new_gui;
  t.hide_tooltip = rec_hide_tooltip;
  t.show_tooltip = rec_show_tooltip;
  t.add_background = rec_add_background;
  t.add_background_ship = rec_add_background_ship;
  t.reset_background = rec_reset_background;
  t.add_lift = rec_add_lift;
  t.reset_lifts = rec_reset_lifts;
  t.play_sound_event_no_pos = rec_play_sound_event_no_pos;
  t.reload_boss_parts = rec_reload_boss_parts;
  t.scan_objects_x = rec_scan_objects_x;
  t.scan_objects_y = rec_scan_objects_y;
  t.remove_all_bonuses = rec_remove_all_bonuses;
  t.mark_level_tiles = rec_mark_level_tiles;
  t.update_explosions = rec_update_explosions;
  t.reset_explosions = rec_reset_explosions;
  t.init_bullets = rec_init_bullets;
  t.close_bullets = rec_close_bullets;
  t.reset_bullets = rec_reset_bullets;
  t.remove_all_enemies = rec_remove_all_enemies;
  t.add_enemy = rec_add_enemy;
  t.collide_box_enemies = rec_collide_box_enemies;
  t.collide_box_neutral = rec_collide_box;
  t.get_hero_pos = rec_get_hero_pos;
  t.get_hero_target = rec_get_hero_target;
  t.get_hero_health = rec_get_hero_health;
  t.interp_hero_pos = rec_interp_hero_pos;
  t.init_hero = rec_init_hero;
  t.reset_hero = rec_reset_hero;
  t.close_hero = rec_close_hero;
  t.move_hero = rec_move_hero;
  t.collide_box_hero = rec_collide_box;
  t.delete_gameobj = rec_delete_gameobj;
  t.bind_gameobj = rec_bind_gameobj;
}

void install_recording_module() {
  install_recording_table();
  module_state = RecordingModuleState{};
  call_log.clear();
}

void uninstall_recording_module() { gameobj_func_table = GameObjFuncTable{}; }
