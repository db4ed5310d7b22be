#pragma once
// Shared helpers of the world tests: an empty level with cells set by hand.
#include <xmmintrin.h>

#include "engine/shared/level_map.h"

void clear_level();
void set_cell(int x, int y, int collision);
void fill_cells(int x0, int y0, int x1, int y1, int collision);  // inclusive

float lane(__m128 v, int i);
