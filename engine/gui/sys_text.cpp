// Text, rectangles and textured quads of the system font: immediate into the vertex
// ring, or recorded into a render batch.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/gui/sys_font.h"
#include "engine/render/dynVBWriter.h"

static const int QUAD_BYTES = 6 * (int)sizeof(SysFontVertex);

// Pen advance of byte c in pixels.
static int advance(uint8_t c) { return (font_glyphs[c].x1 - font_glyphs[c].x0 + 1) * font_scale + char_gap; }

static int line_height() { return font_scale * font_cell_height; }

static int text_length(const char* text, int len) {
  if (!text) return 0;
  return len < 0 ? (int)strlen(text) : len;
}

// The six vertices of a quad: two triangles (x0,y0)-(x1,y0)-(x1,y1) and (x0,y0)-(x1,y1)-(x0,y1).
static void write_quad(uint8_t* out, int x0, int y0, int x1, int y1, D3dColor color, int uA, int vA, int uB,
                       int vB) {
  SysFontVertex v[6] = {
      {(int16_t)x0, (int16_t)y0, color, (int16_t)uA, (int16_t)vA},
      {(int16_t)x1, (int16_t)y0, color, (int16_t)uB, (int16_t)vA},
      {(int16_t)x1, (int16_t)y1, color, (int16_t)uB, (int16_t)vB},
      {(int16_t)x0, (int16_t)y0, color, (int16_t)uA, (int16_t)vA},
      {(int16_t)x1, (int16_t)y1, color, (int16_t)uB, (int16_t)vB},
      {(int16_t)x0, (int16_t)y1, color, (int16_t)uA, (int16_t)vB},
  };
  memcpy(out, v, sizeof(v));
}

void draw_tex_quad(int x0, int y0, int x1, int y1, D3dColor color, int uA, int vA, int uB, int vB) {
  DynVBWriter& w = common_vb_writer;
  if (w.bufSize - w.used() < QUAD_BYTES) w.flush(false);
  write_quad(w.writePtr, x0, y0, x1, y1, color, uA, vA, uB, vB);
  w.writePtr += QUAD_BYTES;
  w.numPrims += 2;
}

// Texture coordinate -1 on both axes: the font image's opaque white texel.
void draw_rect(int x0, int y0, int x1, int y1, D3dColor color) { draw_tex_quad(x0, y0, x1, y1, color, -1, -1, -1, -1); }

void draw_box(int x0, int y0, int x1, int y1, D3dColor color) {
  draw_rect(x0, y0, x0 + 1, y1, color);
  draw_rect(x1, y0, x1 + 1, y1, color);
  draw_rect(x0, y0, x1 + 1, y0 + 1, color);
  draw_rect(x0 + 1, y1, x1, y1 + 1, color);
}

void calc_text_size(const char* text, int len, int& width, int& height) {
  len = text_length(text, len);
  int lw = 0, best = 0;
  height = 0;
  for (int i = 0; i < len; i++) {
    uint8_t c = (uint8_t)text[i];
    if (c == '\n') {
      height += line_height() + line_gap;
      if (lw > best) best = lw;
      lw = 0;
    } else {
      lw += advance(c);
    }
  }
  width = lw > best ? lw : best;
  // A trailing newline adds its gap but no line.
  if (lw >= 1) height += line_height();
}

// Calls quad(x0, y0, x1, y1, colour, glyph) for the shadow and then the glyph of every
// visible byte, laid out from the line start x and the first line's bottom y.
template <class QuadFunc>
static void lay_out(const char* text, int len, int x, int penY, D3dColor color, QuadFunc quad) {
  D3dColor shadow = (color >> 1) & 0x7F000000;
  int penX = x;
  for (int i = 0; i < len; i++) {
    uint8_t c = (uint8_t)text[i];
    if (c == '\n') {
      penY -= line_height() + line_gap;
      penX = x;
      continue;
    }
    if (c != 0 && c != ' ') {
      const FontGlyph& g = font_glyphs[c];
      int qw = (g.x1 - g.x0) * font_scale, qh = (g.y1 - g.y0) * font_scale;
      quad(penX + 1, penY - 1, penX + 1 + qw, penY - 1 + qh, shadow, g);
      quad(penX, penY, penX + qw, penY + qh, color, g);
    }
    penX += advance(c);
  }
}

// The first line's left edge and bottom for a text aligned on (x, y).
static void text_origin(const char* text, int len, int x, int y, int alignX, int alignY, int& left, int& penY) {
  int w = 0, h = 0;
  calc_text_size(text, len, w, h);
  left = x - ((alignX + 1) * w) / 2;
  penY = y + line_gap - ((alignY + 1) * h) / 2 - line_height() + h;
}

void draw_text(const char* text, int len, int x, int y, int alignX, int alignY, D3dColor color) {
  len = text_length(text, len);
  int left = 0, penY = 0;
  text_origin(text, len, x, y, alignX, alignY, left, penY);
  lay_out(text, len, left, penY, color, [](int x0, int y0, int x1, int y1, D3dColor c, const FontGlyph& g) {
    draw_tex_quad(x0, y0, x1, y1, c, g.x0, g.y0, g.x1, g.y1);
  });
}

void batch_text(RenderBatch& batch, const char* text, int len, int x, int y, int alignX, int alignY, D3dColor color) {
  len = text_length(text, len);
  int left = 0, penY = 0;
  text_origin(text, len, x, y, alignX, alignY, left, penY);
  // Every item's rectangle encloses all the text's quads, shadows included, so the
  // batch never moves another item across them.
  int x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
  lay_out(text, len, left, penY, color, [&](int qx0, int qy0, int qx1, int qy1, D3dColor, const FontGlyph&) {
    x0 = std::min(x0, qx0);
    y0 = std::min(y0, qy0);
    x1 = std::max(x1, qx1);
    y1 = std::max(y1, qy1);
  });
  if (x0 > x1) return;
  __m128 rect = v_make((float)x0, (float)y0, (float)x1, (float)y1);
  BaseRenderBatchState* state = get_font_batch_state();
  lay_out(text, len, left, penY, color, [&](int qx0, int qy0, int qx1, int qy1, D3dColor c, const FontGlyph& g) {
    write_quad(batch.add(state, rect, QUAD_BYTES, 2), qx0, qy0, qx1, qy1, c, g.x0, g.y0, g.x1, g.y1);
  });
}

void batch_rect(RenderBatch& batch, int x0, int y0, int x1, int y1, D3dColor color) {
  __m128 rect = v_make((float)x0, (float)y0, (float)x1, (float)y1);
  write_quad(batch.add(get_font_batch_state(), rect, QUAD_BYTES, 2), x0, y0, x1, y1, color, -1, -1, -1, -1);
}
