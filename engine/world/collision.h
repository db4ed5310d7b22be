#pragma once
// Box collision for the module's objects: push-out from solid cells, overlaps with
// other objects, and moves that keep a box out of walls (built on the level sweeps).
#include <xmmintrin.h>

struct GameObj;

__m128 collide_box_level(__m128 lo, __m128 hi, int& hit);
__m128 collide_box_objs(__m128 lo, __m128 hi, GameObj* self, int& hit);
float collide_box_x(__m128 box, float dx, int& hit, GameObj* self);
float collide_box_y(__m128 box, float dy, int& hit, GameObj* self, float* ground);
int collide_moving_box(__m128& pos, __m128 target, __m128 ext, GameObj* self, float* ground, float step);
