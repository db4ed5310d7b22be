#pragma once
// The post-effect pass: carries the finished scene image to the back buffer. Two slice
// passes mark, against the scene's depth, which pixels belong to the near world (the
// level's foreground, sprites), the level's back layer and the backdrop; the final pass
// reads the scene image and those marks.
#include <xmmintrin.h>

struct Texture;

// Pixel constant 17 of the final pass (r, g, b, a); zero but in the game-over mode.
extern __m128 postfx_final_color;

void init_postfx();
void close_postfx();
void apply_postfx();
// The back-buffer-sized target of the slice passes.
Texture* get_postfx_target();
