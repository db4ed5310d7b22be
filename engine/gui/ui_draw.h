#pragma once
// Interface drawing primitives of the GUI and the HUD: textured quads, sprites from
// the atlas, rounded boxes with an optional offset second layer (a shadow or glow),
// and lines. Each adds one item of six vertices to a RenderBatch, in pixels with the
// origin at the top left and y down. Draw the batch between start_gui_render and
// end_gui_render.
//
// The interface shaders write premultiplied colour. start_gui_render leaves blending
// off, as items drawn opaque need; draw translucent items (rounded-box edges and
// shadows, text, sprites with soft edges) after set_blend_prealpha().
#include "engine/core/geometry.h"
#include "engine/gui/bitmap_font.h"
#include "engine/render/renderBatch.h"

struct Shader;
struct Texture;

// The interface items of a frame (32,768-byte blocks).
extern RenderBatch gui_batch;
// "roundedBox.sh", the 44-byte declaration, no texture.
extern StdRenderBatchState rounded_box_state;
// "guiBitmap.sh" over the sprite atlas (filled by init_bitmap_fonts).
extern BitmapFontBatchState ui_sprite_state;

// 44-byte vertex of rounded boxes and lines.
struct RoundedBoxVertex {
  float x, y;
  float cx, cy, w, h;  // the box's centre and size, before growing by the edge
  uint32_t corners;    // corner radii in pixels: red top left, green top right, blue
                       // bottom right, alpha bottom left
  D3dColor color;
  D3dColor color2;     // the second layer's colour
  uint32_t layer;      // red, green: offset + 128; blue: blur + 128; alpha: edge width
  float spread;        // the second layer's growth; below 0 no second layer
};
static_assert(sizeof(RoundedBoxVertex) == 44);

// "uiImage.sh" (the default UI image shader) and the 20-byte declaration.
void init_ui_image_render();
// A state for render_ui_image: the shader (the default when null), the 20-byte
// declaration and the texture. The caller owns the state.
void init_ui_image_state(StdRenderBatchState& state, Texture* texture, Shader* shader);
// "roundedBox.sh" into rounded_box_state.
void init_rounded_box_render();

// One textured quad over rect with uv = (u0, v0, u1, v1) at its top left and bottom right.
void render_ui_image(RenderBatch& batch, StdRenderBatchState& state, __m128 rect, D3dColor color, __m128 uv);
// A filled box with rounded corners (corners: radii as above, 0..255 pixels) whose
// edge is smoothed over `edge` pixels (at least 0.5); with shadowSpread >= 0 a second
// layer of shadowColor behind it: the box moved by (shadowDx, shadowDy), grown by
// shadowSpread and blurred over shadowBlur pixels (offsets and blur within -127..127).
void render_rounded_box(RenderBatch& batch, __m128 rect, __m128 corners, D3dColor color, float edge,
                        float shadowDx, float shadowDy, float shadowBlur, D3dColor shadowColor,
                        float shadowSpread);
// The segment (x0, y0)-(x1, y1) widened by width / 2 on each side; a segment of no
// length draws nothing.
void render_ui_line(RenderBatch& batch, __m128 segment, float width, D3dColor color);

// Vertex constant 17 maps pixels to clip space; sampler 0 point-filtered and wrapped,
// sampler 1 the voxel tile linear and wrapped; no culling, depth or blending.
void start_gui_render();
void end_gui_render();

// Packs four byte values into a 32-bit value like a D3dColor (x red, y green, z blue,
// w alpha), each clamped to 0..255 and rounded half up.
uint32_t pack_bytes(__m128 v);
