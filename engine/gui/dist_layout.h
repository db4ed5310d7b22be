#pragma once
// Text layout of distance-field and bitmap fonts: alignment in a rectangle, per-line
// centring, and the walk that places each glyph quad.
#include "engine/gui/dist_font.h"

struct TextPlacement {
  float scale;        // screen pixels per font unit
  float x, y;         // the block's aligned origin
  bool centreLines;   // every line centred on its own within the block
  float blockWidth;   // the block's width in pixels
  __m128 box;         // calcTextBox of the whole text, in font units
  int quads;          // glyph quads of the whole text
};

inline int text_length(const char* text, int len) {
  if (!text) return 0;
  return len < 0 ? (int)strlen(text) : len;
}

// Aligns the text's box, scaled, in rect by the flags (see TEXT_LEFT ...).
TextPlacement place_text(DistFont& font, __m128 rect, int flags, float scale, bool centreLines, const char* text,
                         int len);
// The pen x where the line starting at byte `from` begins.
float line_start(DistFont& font, const TextPlacement& p, const char* text, int len, int from);
// The area of the padded quads: the box grown back by the spread, scaled, at the origin.
__m128 text_quad_area(const DistFont& font, const TextPlacement& p);

// Calls emit(glyph, x0, y0, x1, y1) for every glyph quad, in text order.
template <class Emit>
void lay_out_glyphs(DistFont& font, const TextPlacement& p, const char* text, int len, Emit emit) {
  float s = p.scale;
  float x = line_start(font, p, text, len, 0), y = p.y;
  int prev = -1;
  for (int pos = 0; pos < len;) {
    int cp;
    pos += decode_utf8_char(text + pos, len - pos, &cp);
    if (cp == '\n') {
      x = line_start(font, p, text, len, pos);
      y += font.lineHeight * s;
      prev = -1;
      continue;
    }
    int used;
    const DistGlyph* g = font.findGlyph(cp, &used);
    if (!g) {
      prev = used;
      continue;
    }
    float k = font.kerning(prev, used);
    if (g->width != 0) {
      float x0 = x + (g->xoffset + k) * s, y0 = y - g->yoffset * s;
      emit(*g, x0, y0, x0 + g->width * s, y0 + g->height * s);
    }
    x += (g->xadvance + k) * s;
    prev = used;
  }
}
