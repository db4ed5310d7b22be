#pragma once
// The atlas packer of the sprite build, apart so that it can be checked on its own.
#include <cstdint>

#include "engine/core/dynarray.h"

struct Sprite;

constexpr int SPRITE_ATLAS_MAX = 2048;

// Places every sprite of the list that has no frames, in list order, at the first free
// spot scanning rows from the bottom and columns from the left, keeping one free pixel
// between sprites and along the atlas's right and top edges. The side starts at 16 and
// doubles until everything fits. Writes each position to uMin, vMin (pixels) and
// returns the side; 0 when even SPRITE_ATLAS_MAX is too small.
int pack_sprite_atlas(const DynArray<Sprite*>& list);

// The S x S atlas pixels (row 0 first) with every placed sprite copied in, and the
// placed positions turned into texture coordinates (16384 = the whole atlas).
void fill_sprite_atlas(const DynArray<Sprite*>& list, int side, DynArray<uint32_t>& atlas);
