#pragma once
// Rows of cells to rows of texels: each cell byte's colour in main_palette.
#include <cstddef>
#include <cstdint>

// out[x] = main_palette[first[x * stride]] for x below count.
void palette_row(const uint8_t* first, size_t stride, int count, uint32_t* out);
