// Bitmap fonts: distance-field descriptions drawn as plain textured quads.
#include "engine/gui/bitmap_font.h"

#include <cstring>

#include "engine/gui/batch_quads.h"
#include "engine/gui/dist_layout.h"
#include "engine/gui/dist_shape.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"

BitmapFont default_font;
Shader* gui_bitmap_shader = nullptr;

static const VDeclElement ui_vertex_layout[] = {
    {0, 0, 2, 0, 0},   // position
    {8, 0, 5, 2, 0},   // colour
    {12, 0, 2, 3, 0},  // texture coordinates
    {0, 255, 0, 0, 0},
};

IDirect3DVertexDeclaration9* ui_vdecl = nullptr;

void create_ui_vdecl() { ui_vdecl = create_vdecl(ui_vertex_layout); }

void BitmapFontBatchState::apply(const BaseRenderBatchState* prev) {
  StdRenderBatchState::apply(prev);
  float w = (float)get_texture_width(texture), h = (float)get_texture_height(texture);
  const float c16[4] = {w, texture == default_font.texture ? h : -h, 0, 0};
  set_vs_consts(16, c16, 1);
}

bool BitmapFont::load(const char* path) {
  if (!DistFont::load(path)) return false;
  delete batchState;
  batchState = new BitmapFontBatchState(gui_bitmap_shader, ui_vdecl, sizeof(UiVertex), texture);
  return true;
}

void BitmapFont::renderText(RenderBatch& batch, __m128 rect, int flags, D3dColor color, int size, const char* text,
                            int len, BaseRenderBatchState* state) {
  if (!state) state = batchState;
  if (!state) {
    log_missing_batch_state("BitmapFont::renderText");
    return;
  }
  len = text_length(text, len);
  bool centred = (flags & 3) != TEXT_LEFT && (flags & 3) != TEXT_RIGHT;
  TextPlacement p = place_text(*this, rect, flags, (float)size, centred, text, len);
  BatchQuads quads(batch, state, text_quad_area(*this, p), sizeof(UiVertex) * 6, p.quads, true);
  lay_out_glyphs(*this, p, text, len, [&](const DistGlyph& g, float x0, float y0, float x1, float y1) {
    float u0 = g.u, v0 = g.v, u1 = g.u + g.width * invScaleW, v1 = g.v + g.height * invScaleH;
    UiVertex v[6] = {{x0, y0, color, u0, v0}, {x1, y0, color, u1, v0}, {x1, y1, color, u1, v1},
                     {x0, y0, color, u0, v0}, {x1, y1, color, u1, v1}, {x0, y1, color, u0, v1}};
    memcpy(quads.next(), v, sizeof(v));
  });
}
