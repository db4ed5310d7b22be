#pragma once
// Between the screen and the world: pixels per world unit, and the crosshair's
// place in the world.

// Pixels per world unit at the current back-buffer height (at least 1).
int view_scale();
// A back-buffer pixel (origin top left, y down) as a world point, seen from the
// camera at (cam_x, cam_y).
void screen_to_world(float px, float py, float cam_x, float cam_y, float& wx, float& wy);
// The pointer's position in back-buffer pixels; false when it is not over the window.
bool pointer_pos(float& px, float& py);
