#pragma once
// The objects' pictures: sprites of the atlas found by name (looked up once, the
// atlas keeps them for the whole run) and drawn at world positions.
/*
import actor
*/
#include <cstdint>

struct Sprite;

// Null when the atlas has no such sprite.
Sprite* sprite_named(const char* name);
// Frame `frame` of an animation strip (wrapping), or the sprite itself.
Sprite* sprite_frame(const char* name, int frame);
// Forgets the looked-up sprites (the atlas was made anew).
void forget_sprites();

constexpr uint32_t SPRITE_PLAIN = 0xFFFFFFFF;  // colour 0: the picture as it is
constexpr uint32_t NO_FLASH = 0;               // colour 1: no blend towards a colour

// At (x, y) and depth z, facing left when mirrored; tint multiplies, flash blends
// the picture towards its colour by its alpha.
void draw_sprite(Sprite* s, float x, float y, float z, bool mirror, uint32_t tint = SPRITE_PLAIN,
                 uint32_t flash = NO_FLASH);
// Turned so that its x axis runs along (dx, dy) (a unit vector); mirrored pictures
// stay upright when pointing left.
void draw_sprite_turned(Sprite* s, float x, float y, float z, float dx, float dy, uint32_t tint = SPRITE_PLAIN,
                        uint32_t flash = NO_FLASH);
// The flash of an object hit a moment ago (white), or none.
uint32_t hit_flash(float flash_time);
