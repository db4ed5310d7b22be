// The stand-in game-object module: the exports the engine links by name and the
// least behind each entry point that keeps the engine's contracts. The hero keeps a
// position in its object; everything else is silent.
/*
import objects
import screens
*/
#include <cstring>

#include "engine/gen/level_map.h"
#include "gameobj/objects.h"
#include "gameobj/screens.h"

#ifndef GAMEOBJ_CLASS_COUNT
#define GAMEOBJ_CLASS_COUNT GAMEOBJ_VTABLE_COUNT
#endif

namespace {

Hero* the_hero() { return Hero_list.isEmpty() ? nullptr : Hero_list[0]; }

__m128 hero_pos() {
  Hero* h = the_hero();
  return h ? h->pos : _mm_setr_ps(0, 0, 0, 1);
}

// The hero's box: 1 x 2 cells standing on its position.
__m128 hero_box(__m128 pos) {
  alignas(16) float p[4];
  _mm_store_ps(p, pos);
  return _mm_setr_ps(p[0] - 0.5f, p[1], p[0] + 0.5f, p[1] + 2.0f);
}

void place_hero(Hero* h, __m128 pos) {
  h->pos = pos;
  h->target = pos;
  update_proximity(h, hero_box(pos));
}

// Removes obj from its class lists and the proximity hash, then deletes it.
template <class T>
void forget(DynArray<T*>& list, BaseObject* obj) {
  for (int i = list.size() - 1; i >= 0; i--)
    if (list[i] == obj)
      list.remove(i, 1);
}

void delete_object(BaseObject* obj) {
#define GAMEOBJ_FORGET(name) forget(name##_list, obj);
  GAMEOBJ_LIST_NAMES(GAMEOBJ_FORGET)
#undef GAMEOBJ_FORGET
  remove_proximity_object(static_cast<GameObj*>(obj));
  delete obj;
}

// ---- entry points --------------------------------------------------------------------
void noop() {}
void noop_f(float) {}

void init_hero() {
  if (the_hero())
    return;
  Hero* h = new Hero();
  h->health = 100;
  Hero_list.push(&h);
  place_hero(h, _mm_setr_ps(0, 0, 0, 1));
}

void delete_gameobj();

// A hero already queued by destroy is deleted with the queue, never twice.
void close_hero() {
  if (Hero* h = the_hero())
    h->destroy();
  delete_gameobj();
}

void reset_hero(float x, float y) {
  init_hero();
  place_hero(the_hero(), _mm_setr_ps(x, y, 0, 1));
  reset_camera();
}

void move_hero(__m128 pos) {
  if (Hero* h = the_hero())
    place_hero(h, pos);
}

__m128 get_hero_pos() { return hero_pos(); }
__m128 get_hero_target() { return the_hero() ? the_hero()->target : hero_pos(); }
__m128 interp_hero_pos(float) { return hero_pos(); }
int get_hero_health() { return the_hero() ? the_hero()->health : 0; }

void update_gameobj(float dt) { update_camera(dt); }

void delete_gameobj() {
  // Deleting may queue more objects: take the queue as it grows.
  for (int i = 0; i < deleted_gameobjs.size(); i++)
    delete_object(deleted_gameobjs[i]);
  deleted_gameobjs.clear();
}

void remove_all_gameobj() {
  delete_gameobj();
  while (Hero* h = the_hero())
    delete_object(h);
}

void mark_level_tiles() { mark_solid_tiles(); }

float scan_objects_x(int&, GameObj*, float, float to, float, float) { return to; }
float scan_objects_y(int&, GameObj*, float, float, float, float to, float*) { return to; }

__m128 no_overlap(GameObj*, __m128, __m128) { return _mm_setzero_ps(); }
__m128 no_enemy_overlap(GameObj*, int, __m128, __m128) { return _mm_setzero_ps(); }

// How far the box reaches into the hero's box on each side; zeros when apart.
__m128 collide_box_hero(GameObj* self, __m128 lo, __m128 hi) {
  Hero* h = the_hero();
  if (!h || h == self)
    return _mm_setzero_ps();
  alignas(16) float b[4], l[4], u[4];
  _mm_store_ps(b, h->bbox);
  _mm_store_ps(l, lo);
  _mm_store_ps(u, hi);
  float o[4] = {u[0] - b[0], u[1] - b[1], b[2] - l[0], b[3] - l[1]};
  for (float v : o)
    if (v <= 0)
      return _mm_setzero_ps();
  return _mm_setr_ps(o[0], o[1], o[2], o[3]);
}

void draw_crosshair(float, float) {}
void show_tooltip(String*, __m128) {}
void add_background(const char*, float, float, float, float, float, float) {}
void add_background_ship(const char*, float) {}
void add_lift(int, int, int, int) {}
void add_enemy(int, float, float) {}
void play_sound_event_no_pos(int) {}
void render_gameobj_map(int) {}
void view_mode_gameobj_debug(DynArray<char>*, __m128) {}
void bind_gameobj(HSQUIRRELVM) {}

struct NamedEntry {
  const char* name;
  void* fn;
};

#define ENTRY(name, fn) {name, (void*)(fn)}
const NamedEntry entries[] = {
    ENTRY("update_gameobj", update_gameobj),
    ENTRY("render_gameobj", noop_f),
    ENTRY("render_boss", noop_f),
    ENTRY("render_gameobj_debug", noop_f),
    ENTRY("view_mode_gameobj_debug", view_mode_gameobj_debug),
    ENTRY("render_gameobj_map", render_gameobj_map),
    ENTRY("remove_all_gameobj", remove_all_gameobj),
    ENTRY("init_gameobj", noop),
    ENTRY("close_gameobj", remove_all_gameobj),
    ENTRY("set_game_ui_screen", set_game_ui_screen),
    ENTRY("open_game_menu", open_menu),
    ENTRY("open_main_menu", open_menu),
    ENTRY("open_upgrade_screen", open_menu),
    ENTRY("close_game_menu", noop),
    ENTRY("update_game_menu", update_menu),
    ENTRY("draw_game_menu", noop_f),
    ENTRY("update_hud", noop),
    ENTRY("draw_hud", noop),
    ENTRY("draw_crosshair", draw_crosshair),
    ENTRY("show_game_over", show_game_over),
    ENTRY("open_game_over_screen", open_game_over_menu),
    ENTRY("init_new_gui", noop),
    ENTRY("hide_tooltip", noop),
    ENTRY("show_tooltip", show_tooltip),
    ENTRY("add_background", add_background),
    ENTRY("add_background_ship", add_background_ship),
    ENTRY("reset_background", noop),
    ENTRY("add_lift", add_lift),
    ENTRY("reset_lifts", noop),
    ENTRY("play_sound_event_no_pos", play_sound_event_no_pos),
    ENTRY("reload_boss_parts", noop),
    ENTRY("scan_objects_x", scan_objects_x),
    ENTRY("scan_objects_y", scan_objects_y),
    ENTRY("remove_all_bonuses", noop),
    ENTRY("mark_level_tiles", mark_level_tiles),
    ENTRY("update_explosions", noop_f),
    ENTRY("reset_explosions", noop),
    ENTRY("init_bullets", noop),
    ENTRY("close_bullets", noop),
    ENTRY("reset_bullets", noop),
    ENTRY("remove_all_enemies", noop),
    ENTRY("add_enemy", add_enemy),
    ENTRY("collide_box_enemies", no_enemy_overlap),
    ENTRY("collide_box_neutral", no_overlap),
    ENTRY("get_hero_pos", get_hero_pos),
    ENTRY("get_hero_target", get_hero_target),
    ENTRY("get_hero_health", get_hero_health),
    ENTRY("interp_hero_pos", interp_hero_pos),
    ENTRY("init_hero", init_hero),
    ENTRY("reset_hero", reset_hero),
    ENTRY("close_hero", close_hero),
    ENTRY("move_hero", move_hero),
    ENTRY("collide_box_hero", collide_box_hero),
    ENTRY("delete_gameobj", delete_gameobj),
    ENTRY("bind_gameobj", bind_gameobj),
    ENTRY("link_gui", link_screens),
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

__attribute__((visibility("default"))) void** get_gameobj_vtables(int* count) {
  *count = GAMEOBJ_CLASS_COUNT;
  return module_class_tables();
}

__attribute__((visibility("default"))) void link_gui() { link_screens(); }
}
