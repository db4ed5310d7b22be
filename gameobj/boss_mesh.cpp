// Boss2's core as a mesh, drawn inside the level pass.
/*
import bosses
*/
#include "gameobj/bosses.h"

void render_boss_mesh(float t) {}
