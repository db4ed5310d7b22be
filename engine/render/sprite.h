#pragma once
// Sprites: every picture of the game's objects and interface, a PNG under "sprites/"
// with an optional ".cfg" beside it, packed into one square atlas texture. Animation
// strips are cut into frames, each a sprite of its own. World sprites are drawn as
// quads into the sprite batch between start_sprite_render and end_sprite_render.
#include <xmmintrin.h>

#include <cstdint>

#include "engine/core/config.h"
#include "engine/core/dynarray.h"
#include "engine/core/geometry.h"
#include "engine/core/strings.h"
#include "engine/render/renderBatch.h"

struct Texture;

struct Sprite {
  int32_t wd = 0, ht = 0;  // size in pixels (a frame's width for frames)
  float ox = 0, oy = 0;    // pivot in pixels from the left and bottom edges; set by the build
  BaseRenderBatchState* state = nullptr;
  // While packing: the position in the atlas in pixels; afterwards the texture
  // coordinates in units of 1/16384 of the atlas. Set by the build.
  int32_t uMin = 0, vMin = 0, uMax = 0, vMax = 0;
  String name;
  DynArray<uint32_t> pixels;    // bottom row first
  ConfigNode* config = nullptr;  // an empty node when the sprite has no file
  int32_t npl = 0, npt = 0, npr = 0, npb = 0;  // nine-patch margins
  int64_t pngTime = 0;
  int64_t cfgTime = 0;
  DynArray<Sprite*> frames;  // an animation's frames; empty otherwise
  Sprite* anim = nullptr;    // a frame's animation; null otherwise

  Sprite() = default;
  ~Sprite() { delete config; }
  Sprite(const Sprite&) = delete;
  Sprite& operator=(const Sprite&) = delete;

  // One quad in the sprite batch: pos (x, y, z) in world units; tm = (a, b, c, d)
  // puts the image's x axis along (a, b) and its y axis along (c, d).
  void render(__m128 pos, __m128 tm, D3dColor c0, D3dColor c1);
  // dir = (dx, dy) is the rotated x axis, its length the scale.
  void draw(__m128 pos, __m128 dir, bool mirror, D3dColor c0, D3dColor c1);
  void draw(__m128 pos, bool flipX, bool flipY, D3dColor c0, D3dColor c1);
  // Interface drawing in pixels (the UI primitives define these).
  void drawCroppedUI(float x, float y, int cropLeft, int cropTop, int cropRight, int cropBottom, D3dColor color,
                     int scale, bool mirror);
  void drawUI(__m128 rect, D3dColor color, int scale, bool mirror);
};

extern int spriteTexSize;  // side of the atlas in pixels

// The registry: every sprite and frame (sorted by area, largest first, after a build),
// the batch of the sprite pass and the one state all sprites are drawn with.
extern DynArray<Sprite*> sprite_list;
extern RenderBatch sprite_batch;
extern StdRenderBatchState sprite_state;

// One vertex of a sprite quad: texture coordinates in units of 1/16384 of the atlas.
struct SpriteVertex {
  float x, y, z;
  D3dColor c0, c1;
  int16_t u, v;
};
static_assert(sizeof(SpriteVertex) == 24);

void init_sprites();
void reload_sprites();
void close_sprites();
// Null when absent and not mustExist; fatal when absent and mustExist.
Sprite* get_sprite(const char* name, bool mustExist);
Texture* get_sprites_tex();
void start_sprite_render();
void end_sprite_render();
