// Globals of the game flow that the world services and the module read. The game
// flow defines them; these weak definitions stand in wherever it is not linked (the
// world's tests, tools), so the module always finds them in the executable.
#define SHELL_OWNED __attribute__((weak))

SHELL_OWNED bool game_paused = false;
SHELL_OWNED bool should_close_game_menu = false;
