// What level generation uses of the application shell: the current level number and
// the refresh of a changed cell rectangle. The shell defines both.
#pragma once

extern int cur_level;
void invalidate_level(int x0, int y0, int x1, int y1);
