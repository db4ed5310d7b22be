// Debug drawing for the developer keys and the level viewer.
/*
import actor
*/
#include "gameobj/actor.h"

void render_gameobj_debug(float t) {}
void render_gameobj_map(int blink) {}
void view_mode_gameobj_debug(DynArray<char>* text, __m128 view_pos) {}
