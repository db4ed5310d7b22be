#pragma once
// What level generation calls in the subsystems above it. They fill the hooks at
// start-up; an empty hook does nothing, so the generator also runs alone (tools,
// tests).

// The level's drawing takes in a cell rectangle that the generator changed after the
// level was built (the exit tile stamped in while the level plays).
using LevelInvalidateFunc = void (*)(int x0, int y0, int x1, int y1);
void set_level_invalidate_hook(LevelInvalidateFunc invalidate);
