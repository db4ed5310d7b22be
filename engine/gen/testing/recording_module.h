// A stand-in for the game-object module's level entry points and for the level's
// drawing (the shell's globals come from tests/support/shell_globals.cpp), for tests,
// tools and benchmarks that run level generation without the game:
// every call is recorded; mark_level_tiles marks the solid tiles as the game's module
// does, so enemies are placed as in the game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ModuleCallKind { Background, BackgroundShip, Lift, Enemy, Hero, MarkTiles, ReloadBossParts };

struct ModuleCall {
  ModuleCallKind kind;
  std::string name;  // backgrounds
  float f[6];        // backgrounds: six floats; ship: speed; enemy and hero: x, y
  int i[4];          // lift: x, y, size, direction; enemy: kind
};

extern std::vector<ModuleCall> module_calls;
// Rectangles the generator asked the level's drawing to take in.
struct InvalidatedRect {
  int x0, y0, x1, y1;
};
extern std::vector<InvalidatedRect> invalidated_rects;

// Points every level entry point of gameobj_func_table at a recorder and clears the
// records.
void install_recording_module();
void clear_module_calls();
// One line per call, for level_dump.
std::string describe_call(const ModuleCall& call);

// Mounts a data folder (holding tiles/) read-only in a fresh virtual file system.
bool mount_game_data(const char* argv0, const char* data_dir);
