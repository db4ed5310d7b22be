#pragma once
// The detail tiles as they land on screen. The level layers and world sprites repeat a
// 16 x 16 tile once per world unit, sampled with linear filtering. Where world units
// lie on whole screen pixels, every unit shows the same voxel_scale x voxel_scale
// samples of the tile; their shades, computed once here, go to pixel constants and the
// shaders read them there (built with TILE_SHADES): a software rasteriser spends a
// third of those passes on the tile's texture reads.
#include "engine/core/geometry.h"

struct Texture;

// Pixel constant 191.x holds the pixels per world unit; 192 onward the shades, four to
// a register, row by row from the tile's top left.
constexpr int TILE_SHADE_SCALE_REG = 191;
constexpr int TILE_SHADE_FIRST_REG = 192;
constexpr int TILE_SHADE_MAX_SCALE = 11;  // (224 - 192) registers of four shades

// Keeps the texels of an 8-bit luminance DDS tile file drawn from `tile`; a tile whose
// file cannot be used is simply not known (its passes read the texture).
void remember_tile_texels(Texture* tile, const char* file);
void forget_tile_texels();

// Sets the pixel constants to `tile`'s shades at the current voxel_scale; false when
// the tile is not known or the scale is beyond what the constants hold.
bool set_tile_shade_consts(Texture* tile);

// True when the world-to-clip transform `m` puts world points on a grid of `grid`
// world units onto whole pixels of the current viewport, voxel_scale pixels per world
// unit along unturned axes (the condition for the constants' shades to be exact).
bool grid_on_pixels(const Matrix44& m, float grid);
