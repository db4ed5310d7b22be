#pragma once
// Rows of cells to rows of texels: each cell byte's colour in main_palette.
#include <cstddef>
#include <cstdint>

// out[x] = main_palette[first[x * stride]] for x below count.
void palette_row(const uint8_t* first, size_t stride, int count, uint32_t* out);

// Whether stride-3 rows take the byte-permute path where the CPU has it (the default),
// or the plain loop like every other stride. Tests run the conversion both ways.
void set_palette_byte_permutes(bool allowed);
// True when rows of stride 3 take the byte-permute path: allowed, and the CPU has it.
bool palette_byte_permutes_active();
