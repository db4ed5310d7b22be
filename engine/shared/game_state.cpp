#include "engine/shared/game_state.h"

int cur_level = 1;
int up_points = 0;
bool game_paused = false;
bool should_close_game_menu = false;
