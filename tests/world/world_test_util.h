#pragma once
// Shared helpers of the world tests: an empty level with cells set by hand, and a
// module table whose object entry points are the test's own.
#include <xmmintrin.h>

#include "engine/shared/level_map.h"

void clear_level();
void set_cell(int x, int y, int collision);
void fill_cells(int x0, int y0, int x1, int y1, int collision);  // inclusive
// Points the object entry points used by collision and the camera at harmless
// test functions (no objects, hero at the origin).
void install_test_module();

float lane(__m128 v, int i);
