#pragma once
// The game flow's state that the subsystems below it and the module read or write:
// the level being played, the upgrade points, the pause and the menu flag.

extern int cur_level;     // counts from 1
extern int up_points;
// True while the pause menu is current (and toggled by a developer key); the camera
// then shows its current position in every frame.
extern bool game_paused;
// Written only by the module while its menu screen runs; the game flow's menu modes
// read it after each update_game_menu.
extern bool should_close_game_menu;
