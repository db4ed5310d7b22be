#pragma once
// The game flow's state that the subsystems below it read: the level being played,
// the upgrade points and the pause. The game flow writes them.

extern int cur_level;     // counts from 1
extern int up_points;
// True while the pause menu is current (and toggled by a developer key); the camera
// then shows its current position in every frame.
extern bool game_paused;
