// The application shell's globals that other subsystems read, for the tests, tools
// and benchmarks that do not link the shell. Programs that link it get the real
// definitions and must not add this file.
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"

int cur_level = 1;
int up_points = 0;
bool game_paused = false;
bool should_close_game_menu = false;
