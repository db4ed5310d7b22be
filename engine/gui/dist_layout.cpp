#include "engine/gui/dist_layout.h"

TextPlacement place_text(DistFont& font, __m128 rect, int flags, float scale, bool centreLines, const char* text,
                         int len) {
  TextPlacement p;
  p.scale = scale;
  p.centreLines = centreLines;
  p.box = font.calcTextBox(text, len, &p.quads);
  __m128 b = v_scale(p.box, scale);
  float bx0 = v_x(b), by0 = v_y(b), bx1 = v_z(b), by1 = v_w(b);
  float rx0 = v_x(rect), ry0 = v_y(rect), rx1 = v_z(rect), ry1 = v_w(rect);
  p.blockWidth = bx1 - bx0;
  switch (flags & 3) {
    case TEXT_LEFT: p.x = rx0 - bx0; break;
    case TEXT_RIGHT: p.x = rx1 - bx1; break;
    default: p.x = ((rx0 - bx0) + (rx1 - bx1)) / 2; break;
  }
  switch (flags & 12) {
    case TEXT_TOP: p.y = ry0 - by0; break;
    case TEXT_BOTTOM: p.y = ry1 - by1; break;
    default: p.y = ((ry0 - by0) + (ry1 - by1)) / 2; break;
  }
  return p;
}

float line_start(DistFont& font, const TextPlacement& p, const char* text, int len, int from) {
  if (!p.centreLines) return p.x;
  int end = from;
  while (end < len && text[end] != '\n') end++;
  __m128 line = font.calcTextBox(text + from, end - from, nullptr);
  return p.x + (p.blockWidth - (v_z(line) - v_x(line)) * p.scale) / 2;
}

__m128 text_quad_area(const DistFont& font, const TextPlacement& p) {
  float spread = (float)font.spread;
  __m128 grown = v_add(p.box, v_make(-spread, -spread, spread, spread));
  return v_add(v_scale(grown, p.scale), v_make(p.x, p.y, p.x, p.y));
}
