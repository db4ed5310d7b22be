#pragma once
// The play scene's backdrop: one full-screen pass over "background.dds" tinted by two
// colours. The module also owns the two detail textures that the level layers and the
// sprite and interface passes bind on sampler 1.
#include "engine/core/geometry.h"

struct Texture;

void init_background();
void close_background();
void render_background(D3dColor colorA, D3dColor colorB);

// "voxel-tile.dds": sampler 1 of sprites, interface sprites and the level's foreground.
Texture* get_voxel_tile_tex();
// "back-tile.dds": sampler 1 of the level's background layer.
Texture* get_back_tile_tex();
