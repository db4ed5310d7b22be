#include "tests/support/stand_in_module.h"

#include <cstdarg>
#include <cstdio>

#include "engine/core/geometry.h"
#include "engine/gen/gen_hooks.h"
#include "engine/shared/level_map.h"
#include "engine/world/gameobj_api.h"

StandInModuleState module_state;
std::vector<ModuleCall> module_calls;
std::vector<InvalidatedRect> invalidated_rects;
std::vector<std::string> call_log;

namespace {

unsigned installed_entries = 0;

void append_line(const char* format, va_list args) {
  char text[512];
  vsnprintf(text, sizeof(text), format, args);
  call_log.push_back(text);
}

// A line of call_log when the log is on.
__attribute__((format(printf, 1, 2))) void log_call(const char* format, ...) {
  if (!(installed_entries & STAND_IN_CALL_LOG))
    return;
  va_list args;
  va_start(args, format);
  append_line(format, args);
  va_end(args);
}

// ---- objects: answers only ----------------------------------------------------------------
float pass_x(int&, GameObj*, float, float to, float, float) { return to; }
float pass_y(int&, GameObj*, float, float, float, float to, float*) { return to; }
__m128 hit_nothing(GameObj*, __m128, __m128) { return _mm_setzero_ps(); }
__m128 hit_no_enemy(GameObj*, int, __m128, __m128) { return _mm_setzero_ps(); }
__m128 hero_pos() { return module_state.hero_pos; }

void fill_objects(GameObjFuncTable& t) {
  t.scan_objects_x = pass_x;
  t.scan_objects_y = pass_y;
  t.collide_box_neutral = hit_nothing;
  t.collide_box_hero = hit_nothing;
  t.collide_box_enemies = hit_no_enemy;
  t.get_hero_pos = hero_pos;
  t.get_hero_target = hero_pos;
}

// ---- the level: recorded with their arguments ---------------------------------------------
void record_level(ModuleCall call) { module_calls.push_back(std::move(call)); }

void add_background(const char* name, float a, float b, float c, float d, float e, float f) {
  record_level({ModuleCallKind::Background, name, {a, b, c, d, e, f}, {}});
  log_call("add_background(%s)", name);
}
void add_background_ship(const char* name, float speed) {
  record_level({ModuleCallKind::BackgroundShip, name, {speed}, {}});
  log_call("add_background_ship(%s)", name);
}
void add_lift(int x, int y, int size, int direction) {
  record_level({ModuleCallKind::Lift, "", {}, {x, y, size, direction}});
  log_call("add_lift(%d,%d,%d,%d)", x, y, size, direction);
}
void add_enemy(int kind, float x, float y) {
  record_level({ModuleCallKind::Enemy, "", {x, y}, {kind}});
  log_call("add_enemy(%d,%g,%g)", kind, x, y);
}
void reset_hero(float x, float y) {
  record_level({ModuleCallKind::Hero, "", {x, y}, {}});
  log_call("reset_hero(%g,%g)", x, y);
}
void mark_level_tiles() {
  mark_solid_tiles();
  record_level({ModuleCallKind::MarkTiles, "", {}, {}});
  log_call("mark_level_tiles");
}
void reload_boss_parts() {
  record_level({ModuleCallKind::ReloadBossParts, "", {}, {}});
  log_call("reload_boss_parts");
}
void record_invalidated(int x0, int y0, int x1, int y1) { invalidated_rects.push_back({x0, y0, x1, y1}); }

void fill_level(GameObjFuncTable& t) {
  t.add_background = add_background;
  t.add_background_ship = add_background_ship;
  t.add_lift = add_lift;
  t.add_enemy = add_enemy;
  t.reset_hero = reset_hero;
  t.mark_level_tiles = mark_level_tiles;
  t.reload_boss_parts = reload_boss_parts;
}

// ---- the rest of the game: recorded as lines ------------------------------------------------
#define LOGGED0(name) \
  void name() { log_call(#name); }
#define LOGGED_F(name) \
  void name(float v) { log_call(#name "(%g)", v); }

LOGGED_F(render_gameobj)
LOGGED_F(render_boss)
LOGGED_F(render_gameobj_debug)
LOGGED0(remove_all_gameobj)
LOGGED0(init_gameobj)
LOGGED0(close_gameobj)
LOGGED0(open_game_menu)
LOGGED0(open_main_menu)
LOGGED0(open_upgrade_screen)
LOGGED0(close_game_menu)
LOGGED_F(draw_game_menu)
LOGGED0(update_hud)
LOGGED0(draw_hud)
LOGGED0(open_game_over_screen)
LOGGED0(init_new_gui)
LOGGED0(hide_tooltip)
LOGGED0(reset_background)
LOGGED0(reset_lifts)
LOGGED0(remove_all_bonuses)
LOGGED_F(update_explosions)
LOGGED0(reset_explosions)
LOGGED0(init_bullets)
LOGGED0(close_bullets)
LOGGED0(reset_bullets)
LOGGED0(remove_all_enemies)
LOGGED0(init_hero)
LOGGED0(close_hero)
LOGGED0(delete_gameobj)

void update_gameobj(float dt) {
  log_call("update_gameobj(%g)", dt);
  if (module_state.on_update_gameobj)
    module_state.on_update_gameobj();
}
void update_game_menu(float dt) {
  log_call("update_game_menu(%g)", dt);
  if (module_state.close_menu_on_update)
    should_close_game_menu = true;
}
void view_mode_gameobj_debug(DynArray<char, DefaultAllocator>* text, __m128 pos) {
  log_call("view_mode_gameobj_debug(%g,%g,%g,%g)", v_lane(pos, 0), v_lane(pos, 1), v_lane(pos, 2), v_lane(pos, 3));
  const std::string& t = module_state.debug_text;
  if (!t.empty())
    text->append((int)t.size(), t.data());
}
void render_gameobj_map(int scale) { log_call("render_gameobj_map(%d)", scale); }
void set_game_ui_screen(BaseGuiScreen* screen) { log_call("set_game_ui_screen(%p)", (void*)screen); }
void draw_crosshair(float x, float y) { log_call("draw_crosshair(%g,%g)", x, y); }
void show_game_over(bool done) { log_call("show_game_over(%d)", done ? 1 : 0); }
void show_tooltip(String*, __m128) { log_call("show_tooltip"); }
void play_sound_event_no_pos(int id) { log_call("play_sound_event_no_pos(%d)", id); }
int get_hero_health() { return module_state.hero_health; }
__m128 interp_hero_pos(float t) {
  log_call("interp_hero_pos(%g)", t);
  return module_state.hero_pos;
}
void move_hero(__m128 pos) {
  log_call("move_hero(%g,%g,%g,%g)", v_lane(pos, 0), v_lane(pos, 1), v_lane(pos, 2), v_lane(pos, 3));
  module_state.hero_pos = pos;
}
void bind_gameobj(HSQUIRRELVM) { log_call("bind_gameobj"); }

void fill_game(GameObjFuncTable& t) {
  t.update_gameobj = update_gameobj;
  t.render_gameobj = render_gameobj;
  t.render_boss = render_boss;
  t.render_gameobj_debug = render_gameobj_debug;
  t.view_mode_gameobj_debug = view_mode_gameobj_debug;
  t.render_gameobj_map = render_gameobj_map;
  t.remove_all_gameobj = remove_all_gameobj;
  t.init_gameobj = init_gameobj;
  t.close_gameobj = close_gameobj;
  t.set_game_ui_screen = set_game_ui_screen;
  t.open_game_menu = open_game_menu;
  t.open_main_menu = open_main_menu;
  t.open_upgrade_screen = open_upgrade_screen;
  t.close_game_menu = close_game_menu;
  t.update_game_menu = update_game_menu;
  t.draw_game_menu = draw_game_menu;
  t.update_hud = update_hud;
  t.draw_hud = draw_hud;
  t.draw_crosshair = draw_crosshair;
  t.show_game_over = show_game_over;
  t.open_game_over_screen = open_game_over_screen;
  t.init_new_gui = init_new_gui;
  t.hide_tooltip = hide_tooltip;
  t.show_tooltip = show_tooltip;
  t.reset_background = reset_background;
  t.reset_lifts = reset_lifts;
  t.play_sound_event_no_pos = play_sound_event_no_pos;
  t.remove_all_bonuses = remove_all_bonuses;
  t.update_explosions = update_explosions;
  t.reset_explosions = reset_explosions;
  t.init_bullets = init_bullets;
  t.close_bullets = close_bullets;
  t.reset_bullets = reset_bullets;
  t.remove_all_enemies = remove_all_enemies;
  t.get_hero_health = get_hero_health;
  t.interp_hero_pos = interp_hero_pos;
  t.init_hero = init_hero;
  t.close_hero = close_hero;
  t.move_hero = move_hero;
  t.delete_gameobj = delete_gameobj;
  t.bind_gameobj = bind_gameobj;
}

}  // namespace

void install_stand_in_table(unsigned entries) {
  installed_entries = entries;
  GameObjFuncTable& t = gameobj_func_table;
  t = GameObjFuncTable{};
  if (entries & STAND_IN_OBJECTS)
    fill_objects(t);
  if (entries & STAND_IN_LEVEL) {
    fill_level(t);
    set_level_invalidate_hook(record_invalidated);
  }
  if (entries & STAND_IN_GAME)
    fill_game(t);
}

void install_stand_in_module(unsigned entries) {
  install_stand_in_table(entries);
  module_state = StandInModuleState{};
  clear_module_calls();
}

void uninstall_stand_in_module() { gameobj_func_table = GameObjFuncTable{}; }

void clear_module_calls() {
  module_calls.clear();
  invalidated_rects.clear();
  call_log.clear();
}

std::string describe_call(const ModuleCall& c) {
  char buf[256];
  switch (c.kind) {
    case ModuleCallKind::Background:
      snprintf(buf, sizeof(buf), "add_background %s %g %g %g %g %g %g", c.name.c_str(), c.f[0], c.f[1],
               c.f[2], c.f[3], c.f[4], c.f[5]);
      break;
    case ModuleCallKind::BackgroundShip:
      snprintf(buf, sizeof(buf), "add_background_ship %s %g", c.name.c_str(), c.f[0]);
      break;
    case ModuleCallKind::Lift:
      snprintf(buf, sizeof(buf), "add_lift %d %d %d %d", c.i[0], c.i[1], c.i[2], c.i[3]);
      break;
    case ModuleCallKind::Enemy:
      snprintf(buf, sizeof(buf), "add_enemy %d %g %g", c.i[0], c.f[0], c.f[1]);
      break;
    case ModuleCallKind::Hero: snprintf(buf, sizeof(buf), "reset_hero %g %g", c.f[0], c.f[1]); break;
    case ModuleCallKind::MarkTiles: snprintf(buf, sizeof(buf), "mark_level_tiles"); break;
    case ModuleCallKind::ReloadBossParts: snprintf(buf, sizeof(buf), "reload_boss_parts"); break;
  }
  return buf;
}

void record_call(const std::string& line) { call_log.push_back(line); }

void record_callf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  append_line(format, args);
  va_end(args);
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
