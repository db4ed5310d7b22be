// The game's fixed 32-colour palette. Level cells and tiles store colours as indices
// into main_palette; PACK_COLOR and UI_PAL convert between colours and indices.
#pragma once

#include <cstdint>

// 0xAARRGGBB; entry 0 is transparent, 1..32 the palette, the rest opaque magenta.
extern const uint32_t main_palette[256];

// Nearest palette index (1..32) of an opaque colour; 0 for a colour with alpha 0.
uint8_t PACK_COLOR(uint32_t color);

// The palette colour of an index with each colour channel halved.
uint32_t UI_PAL(uint8_t index);
