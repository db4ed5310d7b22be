#pragma once
// A stand-in for the game-object module, for the tests, tools and benchmarks that run
// the engine without it. It fills the chosen groups of gameobj_func_table's entry
// points (the rest stay null, as with no module linked), records the calls it gets and
// answers the engine's questions from module_state.
//
// Records: the level's calls in module_calls, with their arguments; with
// STAND_IN_CALL_LOG every recorded call is also one line of call_log, "name" or
// "name(args)", in order with the lines a test adds there itself (the shell's tests
// record the engine calls they wrap). Rectangles the generator asks the level's drawing
// to take in are kept in invalidated_rects.
#include <xmmintrin.h>

#include <functional>
#include <string>
#include <vector>

// Groups of entry points the stand-in fills.
enum : unsigned {
  // The object queries of the sweeps, collision and the camera: sweeps pass, boxes hit
  // nothing, the hero stands at module_state.hero_pos. Never recorded.
  STAND_IN_OBJECTS = 1,
  // The level's calls: backgrounds, ships, lifts, enemies, the hero's start, the tile
  // marks and the boss parts. mark_level_tiles marks the solid tiles as the game's
  // module does, so that enemies are placed as in the game.
  STAND_IN_LEVEL = 2,
  // Everything else the engine calls: objects' lifetime, drawing, menus, the HUD,
  // screens, sounds, the hero. Recorded in call_log only.
  STAND_IN_GAME = 4,
  STAND_IN_CALL_LOG = 8,
  STAND_IN_ALL = STAND_IN_OBJECTS | STAND_IN_LEVEL | STAND_IN_GAME | STAND_IN_CALL_LOG,
};

// Fills the groups of `entries` and empties the rest of the table; the state and the
// records start anew.
void install_stand_in_module(unsigned entries);
// Only the table, keeping the state and the records (a module linked during a test).
void install_stand_in_table(unsigned entries);
// Empties the table, as unlinking the module does.
void uninstall_stand_in_module();

// ---- answers ----------------------------------------------------------------------------
struct StandInModuleState {
  int hero_health = 100;
  __m128 hero_pos = _mm_setr_ps(0, 0, 0, 1);
  // Set should_close_game_menu in update_game_menu (as a screen closing would).
  bool close_menu_on_update = false;
  // The text view_mode_gameobj_debug writes into the engine's buffer.
  std::string debug_text;
  // Run inside update_gameobj (a hero dying, reaching the exit, ...).
  std::function<void()> on_update_gameobj;
};
extern StandInModuleState module_state;

// ---- records ----------------------------------------------------------------------------
enum class ModuleCallKind { Background, BackgroundShip, Lift, Enemy, Hero, MarkTiles, ReloadBossParts };

struct ModuleCall {
  ModuleCallKind kind;
  std::string name;  // backgrounds
  float f[6];        // backgrounds: six floats; ship: speed; enemy and hero: x, y
  int i[4];          // lift: x, y, size, direction; enemy: kind
};
extern std::vector<ModuleCall> module_calls;

struct InvalidatedRect {
  int x0, y0, x1, y1;
};
extern std::vector<InvalidatedRect> invalidated_rects;

extern std::vector<std::string> call_log;

// Empties module_calls, invalidated_rects and call_log.
void clear_module_calls();
// One line per level call, for level_dump.
std::string describe_call(const ModuleCall& call);

void record_call(const std::string& line);
// printf-style line.
void record_callf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The log lines whose name (the text before "(") is one of `names`, in order.
std::vector<std::string> calls_named(const std::vector<std::string>& names);
// The log lines that start with one of the prefixes, in order.
std::vector<std::string> calls_starting(const std::vector<std::string>& prefixes);
// The log as one text, a line each (for failure messages).
std::string call_log_text();
