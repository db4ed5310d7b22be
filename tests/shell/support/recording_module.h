#pragma once
// A module table for the shell's tests: every entry point the engine calls records
// its name and arguments in the shared call log (one line each, "name" or
// "name(args)"), and answers from module_state. The engine calls that the shell tests
// wrap (engine_calls.cpp) record into the same log, so one list shows the order of
// both.
#include <xmmintrin.h>

#include <functional>
#include <string>
#include <vector>

extern std::vector<std::string> call_log;

struct RecordingModuleState {
  int hero_health = 100;
  __m128 hero_pos = _mm_setr_ps(0, 0, 0, 1);
  // Set should_close_game_menu in update_game_menu (as a screen closing would).
  bool close_menu_on_update = false;
  // The text view_mode_gameobj_debug writes into the engine's buffer.
  std::string debug_text;
  // Run inside update_gameobj (a hero dying, reaching the exit, ...).
  std::function<void()> on_update_gameobj;
};
extern RecordingModuleState module_state;

// Fills every entry point the engine calls with a recorder and resets the state and
// the log.
void install_recording_module();
// Only the table, keeping the state and the log (the module linked during a test).
void install_recording_table();
// Empties the table, as unlinking the module does.
void uninstall_recording_module();

void record_call(const std::string& line);
// printf-style line.
void record_callf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The log lines whose name (the text before "(") is one of `names`, in order.
std::vector<std::string> calls_named(const std::vector<std::string>& names);
// The log lines that start with one of the prefixes, in order.
std::vector<std::string> calls_starting(const std::vector<std::string>& prefixes);
// The log as one text, a line each (for failure messages).
std::string call_log_text();
