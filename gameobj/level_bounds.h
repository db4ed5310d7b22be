#pragma once
// The level's bounds. Rooms whose floor opens onto a room below leave holes in the
// map's bottom row, and an arena without end walls lets a runner out at its sides:
// either way a step too far drops below the map. On a new level's first step the
// module closes them: the holes in the bottom slot row are filled with floor that
// nothing breaks, looking like the floor beside them, and the level's outermost
// columns become walls.
/*
import actor
*/

// A new level was generated: its bounds close on the next step.
void expect_new_level();
// No level waits any more (every object was removed).
void forget_new_level();
// Closes the bounds of a level that waits for it.
void close_new_level_bounds();
// Closes the bounds of the map as it stands now.
void close_level_bounds();
