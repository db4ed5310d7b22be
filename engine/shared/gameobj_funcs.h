#pragma once
// The game-object module's entry-point table: every call the engine makes into the
// module goes through one of these 98 slots, filled by name when the module is linked
// and nulled when it is unlinked. Slot order is fixed; the names below are the names
// the module exports through get_gameobj_func_by_name. Every subsystem that calls the
// module reads the table, so it lives below them all.
#include <xmmintrin.h>

#include <squirrel.h>

#include "engine/core/dynarray.h"

struct GameObj;
class BaseGuiScreen;
class String;

// Entry points that the engine looks up but never calls have no fixed arguments.
typedef void (*GameObjUnusedFunc)();

struct GameObjFuncTable {
  void (*update_gameobj)(float dt);                                        // 1
  void (*render_gameobj)(float t);                                         // 2
  void (*render_boss)(float t);                                            // 3
  void (*render_gameobj_debug)(float t);                                   // 4
  void (*view_mode_gameobj_debug)(DynArray<char, DefaultAllocator>* text,
                                  __m128 view_pos);                        // 5
  void (*render_gameobj_map)(int blink);                                   // 6
  void (*remove_all_gameobj)();                                            // 7
  void (*init_gameobj)();                                                  // 8
  void (*close_gameobj)();                                                 // 9
  GameObjUnusedFunc safely_close_game_menu;                                // 10
  GameObjUnusedFunc reset_game_ui_screen;                                  // 11
  void (*set_game_ui_screen)(BaseGuiScreen* screen);                       // 12
  void (*open_game_menu)();                                                // 13
  void (*open_main_menu)();                                                // 14
  void (*open_upgrade_screen)();                                           // 15
  GameObjUnusedFunc reserved16;                                            // 16, no name
  void (*close_game_menu)();                                               // 17
  void (*update_game_menu)(float dt);                                      // 18
  void (*draw_game_menu)(float t);                                         // 19
  GameObjUnusedFunc init_hud;                                              // 20
  GameObjUnusedFunc close_hud;                                             // 21
  void (*update_hud)();                                                    // 22
  void (*draw_hud)();                                                      // 23
  void (*draw_crosshair)(float x, float y);                                // 24
  void (*show_game_over)(bool timer_done);                                 // 25
  void (*open_game_over_screen)();                                         // 26
  GameObjUnusedFunc set_radio;                                             // 27
  GameObjUnusedFunc get_radio;                                             // 28
  GameObjUnusedFunc set_slider;                                            // 29
  GameObjUnusedFunc place_popup;                                           // 30
  void (*init_new_gui)();                                                  // 31
  void (*hide_tooltip)();                                                  // 32
  void (*show_tooltip)(String* text, __m128 box);                          // 33
  GameObjUnusedFunc update_tooltip;                                        // 34
  GameObjUnusedFunc render_tooltip;                                        // 35
  GameObjUnusedFunc init_tooltip;                                          // 36
  void (*add_background)(const char* name, float a, float b, float c,
                         float d, float e, float f);                       // 37
  void (*add_background_ship)(const char* name, float speed);              // 38
  void (*reset_background)();                                              // 39
  void (*add_lift)(int x, int y, int size, int direction);                 // 40
  void (*reset_lifts)();                                                   // 41
  GameObjUnusedFunc is_in_lift;                                            // 42
  GameObjUnusedFunc play_sound_event;                                      // 43
  void (*play_sound_event_no_pos)(int event_id);                           // 44
  GameObjUnusedFunc add_screen_shake;                                      // 45
  GameObjUnusedFunc screen_shake_at;                                       // 46
  GameObjUnusedFunc trace_box_box;                                         // 47
  GameObjUnusedFunc scan_voxel_grid;                                       // 48
  GameObjUnusedFunc trace_voxel_grid;                                      // 49
  GameObjUnusedFunc calc_voxel_grid_box;                                   // 50
  GameObjUnusedFunc expand_grid_subpart_box;                               // 51
  void (*reload_boss_parts)();                                             // 52
  GameObjUnusedFunc scan_level_and_boss_x;                                 // 53
  GameObjUnusedFunc scan_level_and_boss_y;                                 // 54
  float (*scan_objects_x)(int& hit, GameObj* self, float from, float to,
                          float y0, float y1);                             // 55
  // out: the ground pair of what stopped a downward sweep; the sweep copies it
  // to its own caller when hit holds HIT_DOWN.
  float (*scan_objects_y)(int& hit, GameObj* self, float x0, float x1,
                          float from, float to, float* out);               // 56
  GameObjUnusedFunc init_bonuses;                                          // 57
  GameObjUnusedFunc close_bonuses;                                         // 58
  void (*remove_all_bonuses)();                                            // 59
  GameObjUnusedFunc collect_bonuses;                                       // 60
  void (*mark_level_tiles)();                                              // 61
  void (*update_explosions)(float dt);                                     // 62
  GameObjUnusedFunc dump_proximity;                                        // 63
  void (*reset_explosions)();                                              // 64
  GameObjUnusedFunc explosion_junk;                                        // 65
  GameObjUnusedFunc spawn_explosion;                                       // 66
  void (*init_bullets)();                                                  // 67
  void (*close_bullets)();                                                 // 68
  void (*reset_bullets)();                                                 // 69
  GameObjUnusedFunc add_bullet;                                            // 70
  GameObjUnusedFunc render_bullets;                                        // 71
  GameObjUnusedFunc init_enemies;                                          // 72
  GameObjUnusedFunc close_enemies;                                         // 73
  void (*remove_all_enemies)();                                            // 74
  void (*add_enemy)(int kind, float x, float y);                           // 75
  __m128 (*collide_box_enemies)(GameObj* self, int flags, __m128 lo,
                                __m128 hi);                                // 76
  __m128 (*collide_box_neutral)(GameObj* self, __m128 lo, __m128 hi);      // 77
  GameObjUnusedFunc trace_ray_enemies;                                     // 78
  GameObjUnusedFunc trace_ray_neutral;                                     // 79
  GameObjUnusedFunc set_laser_scope;                                       // 80
  __m128 (*get_hero_pos)();                                                // 81
  __m128 (*get_hero_target)();                                             // 82
  GameObjUnusedFunc calc_hero_target;                                      // 83
  GameObjUnusedFunc get_hero_face_right;                                   // 84
  int (*get_hero_health)();                                                // 85
  GameObjUnusedFunc set_hero_health;                                       // 86
  __m128 (*interp_hero_pos)(float t);                                      // 87
  void (*init_hero)();                                                     // 88
  void (*reset_hero)(float x, float y);                                    // 89
  void (*close_hero)();                                                    // 90
  void (*move_hero)(__m128 pos);                                           // 91
  GameObjUnusedFunc hit_hero_by_enemy;                                     // 92
  __m128 (*collide_box_hero)(GameObj* self, __m128 lo, __m128 hi);         // 93
  GameObjUnusedFunc set_pistol_dual_wield;                                 // 94
  void (*delete_gameobj)();                                                // 95
  GameObjUnusedFunc new_gameobj_by_id;                                     // 96
  GameObjUnusedFunc gameobj_id_by_name;                                    // 97
  void (*bind_gameobj)(HSQUIRRELVM vm);                                    // 98
};

constexpr int GAMEOBJ_FUNC_COUNT = 98;
static_assert(sizeof(GameObjFuncTable) == GAMEOBJ_FUNC_COUNT * sizeof(void*),
              "one pointer per entry point");

// The slot names in slot order; slot 16 is reserved and has no name (null).
inline const char* const gameobj_func_names[GAMEOBJ_FUNC_COUNT] = {
  "update_gameobj", "render_gameobj", "render_boss", "render_gameobj_debug",
  "view_mode_gameobj_debug", "render_gameobj_map", "remove_all_gameobj", "init_gameobj",
  "close_gameobj", "safely_close_game_menu", "reset_game_ui_screen", "set_game_ui_screen",
  "open_game_menu", "open_main_menu", "open_upgrade_screen", nullptr,
  "close_game_menu", "update_game_menu", "draw_game_menu", "init_hud",
  "close_hud", "update_hud", "draw_hud", "draw_crosshair",
  "show_game_over", "open_game_over_screen", "set_radio", "get_radio",
  "set_slider", "place_popup", "init_new_gui", "hide_tooltip",
  "show_tooltip", "update_tooltip", "render_tooltip", "init_tooltip",
  "add_background", "add_background_ship", "reset_background", "add_lift",
  "reset_lifts", "is_in_lift", "play_sound_event", "play_sound_event_no_pos",
  "add_screen_shake", "screen_shake_at", "trace_box_box", "scan_voxel_grid",
  "trace_voxel_grid", "calc_voxel_grid_box", "expand_grid_subpart_box", "reload_boss_parts",
  "scan_level_and_boss_x", "scan_level_and_boss_y", "scan_objects_x", "scan_objects_y",
  "init_bonuses", "close_bonuses", "remove_all_bonuses", "collect_bonuses",
  "mark_level_tiles", "update_explosions", "dump_proximity", "reset_explosions",
  "explosion_junk", "spawn_explosion", "init_bullets", "close_bullets",
  "reset_bullets", "add_bullet", "render_bullets", "init_enemies",
  "close_enemies", "remove_all_enemies", "add_enemy", "collide_box_enemies",
  "collide_box_neutral", "trace_ray_enemies", "trace_ray_neutral", "set_laser_scope",
  "get_hero_pos", "get_hero_target", "calc_hero_target", "get_hero_face_right",
  "get_hero_health", "set_hero_health", "interp_hero_pos", "init_hero",
  "reset_hero", "close_hero", "move_hero", "hit_hero_by_enemy",
  "collide_box_hero", "set_pistol_dual_wield", "delete_gameobj", "new_gameobj_by_id",
  "gameobj_id_by_name", "bind_gameobj",
};

// All slots are null while no module is linked.
extern GameObjFuncTable gameobj_func_table;
