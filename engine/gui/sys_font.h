#pragma once
// The system font: a 16 x 16 grid of pixel glyphs from "font.tga", drawn unfiltered
// at a whole-number scale that follows the window height. It draws every text of the
// engine itself (splash, visual log, error message, statistics, level viewer) and is
// exported for the game-object module.
//
// Pixels are whole, with the origin at the bottom left of the back buffer and y
// growing upward, so lines of text go toward smaller y. Characters are single bytes;
// every visible glyph gets a one-pixel drop shadow. Immediate drawing goes straight
// into common_vb_writer between start_draw_text and end_draw_text; batch_text and
// batch_rect record the same shapes into a RenderBatch with the font's batch state.
#include <cstdint>

#include "engine/core/geometry.h"
#include "engine/render/renderBatch.h"

struct Texture;

// 12-byte vertex of the system font: position and texture coordinates in whole
// pixels and texels.
struct SysFontVertex {
  int16_t x, y;
  D3dColor color;
  int16_t u, v;
};
static_assert(sizeof(SysFontVertex) == 12);

// Glyph rectangle of one byte in font-texture texels, x1 and y1 exclusive; y0 is the
// cell's bottom row in the order the image reader delivers rows.
struct FontGlyph {
  int x0, y0, x1, y1;
};

// The system font's one batch state: apply sets what start_draw_text sets, finish
// what end_draw_text does.
class FontBatchState : public StdRenderBatchState {
public:
  using StdRenderBatchState::StdRenderBatchState;
  void apply(const BaseRenderBatchState* prev) override;
  void finish() override;
};

// Layout state, saved and restored by push_text_state / pop_text_state.
struct TextState {
  int line_gap;
  int char_gap;
  int font_scale;
};

extern FontGlyph font_glyphs[256];
extern int font_cell_height;  // texels per grid cell row (image height / 16)
extern int font_scale;        // screen pixels per texel, at least 1
extern int line_gap;          // extra pixels between lines
extern int char_gap;          // extra pixels after each character

// Start-up after the device and the vertex ring: loads "font.tga" (failures are
// fatal), builds the glyph table, the texture and the shader, and installs the
// statistics overlay's canvas. close_font releases them at shut-down.
void init_font();
void close_font();
// font_scale = max(1, back-buffer height / (30 cells)); after every device resize.
void update_font_scale();

void start_draw_text();
void end_draw_text();
// The same bracket with a caller's texture (texture coordinates in its texels).
void start_draw_tex_text(Texture* tex, int texWidth, int texHeight);
void end_draw_tex_text();

// alignX: -1 text starts at x, 0 centred on x, 1 ends at x. alignY: -1 block bottom at
// y, 0 centred on y, 1 block top at y (each shifted up by line_gap). Null text is
// empty; len -1 means up to the NUL.
void draw_text(const char* text, int len, int x, int y, int alignX, int alignY, D3dColor color);
void calc_text_size(const char* text, int len, int& width, int& height);
void draw_rect(int x0, int y0, int x1, int y1, D3dColor color);
// A one-pixel outline covering the pixels x0..x1 and y0..y1 inclusive.
void draw_box(int x0, int y0, int x1, int y1, D3dColor color);
// A textured quad; (uA, vA) at (x0, y0), (uB, vB) at (x1, y1), in texels of the bound
// texture. Positions and texture coordinates are stored as 16-bit values.
void draw_tex_quad(int x0, int y0, int x1, int y1, D3dColor color, int uA, int vA, int uB, int vB);

void batch_text(RenderBatch& batch, const char* text, int len, int x, int y, int alignX, int alignY, D3dColor color);
void batch_rect(RenderBatch& batch, int x0, int y0, int x1, int y1, D3dColor color);
StdRenderBatchState* get_font_batch_state();

void push_text_state();
// Popping an empty stack is a failed consistency check.
void pop_text_state();
