#include "glyphs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Supersampling of distance-field glyphs: the outline is drawn this many times
// larger than its texels.
const int SS = 8;

[[noreturn]] void die(const char* what, int cp) {
  fprintf(stderr, "fontgen: %s (U+%04X)\n", what, cp);
  exit(1);
}

void load(FT_Face face, int cp, FT_Int32 flags) {
  FT_UInt index = FT_Get_Char_Index(face, (FT_ULong)cp);
  if (!index && cp != 0) die("no glyph", cp);
  if (FT_Load_Glyph(face, index, flags)) die("cannot render glyph", cp);
}

// Copies a rendered 8-bit bitmap into a mask at (ox, oy), thresholded at half coverage.
void stamp(Mask& m, const FT_Bitmap& bm, int ox, int oy) {
  for (unsigned r = 0; r < bm.rows; r++)
    for (unsigned c = 0; c < bm.width; c++) {
      int x = ox + (int)c, y = oy + (int)r;
      if (x < 0 || y < 0 || x >= m.w || y >= m.h) continue;
      if (bm.buffer[(int)r * bm.pitch + (int)c] >= 128) m.at(x, y) = 1;
    }
}

int floor_div(int a, int b) { return (int)std::floor((double)a / b); }
int ceil_div(int a, int b) { return (int)std::ceil((double)a / b); }

}  // namespace

FT_Face open_face(FT_Library lib, const std::string& path) {
  FT_Face face = nullptr;
  if (FT_New_Face(lib, path.c_str(), 0, &face)) {
    fprintf(stderr, "fontgen: cannot open %s\n", path.c_str());
    exit(1);
  }
  return face;
}

PageRect distance_glyph(FT_Face face, int cp, int size, int spread) {
  FT_Set_Pixel_Sizes(face, 0, (FT_UInt)(size * SS));
  load(face, cp, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
  FT_GlyphSlot g = face->glyph;
  PageRect r;
  r.id = cp;
  r.xadvance = (float)(g->linearHoriAdvance / 65536.0 / SS);
  const FT_Bitmap& bm = g->bitmap;
  if (bm.width == 0 || bm.rows == 0) return r;
  // The ink's box in texels (y up), widened to whole texels.
  int left = floor_div(g->bitmap_left, SS), right = ceil_div(g->bitmap_left + (int)bm.width, SS);
  int top = ceil_div(g->bitmap_top, SS), bottom = floor_div(g->bitmap_top - (int)bm.rows, SS);
  r.width = right - left + 2 * spread;
  r.height = top - bottom + 2 * spread;
  r.xoffset = (float)(left - spread);
  r.yoffset = (float)(top + spread);
  Mask m(r.width * SS, r.height * SS);
  stamp(m, bm, g->bitmap_left - left * SS + spread * SS, top * SS - g->bitmap_top + spread * SS);
  r.texels = distance_texels(m, SS, spread);
  return r;
}

PageRect coverage_glyph(FT_Face face, int cp, int size, int pad) {
  FT_Set_Pixel_Sizes(face, 0, (FT_UInt)size);
  load(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT);
  FT_GlyphSlot g = face->glyph;
  PageRect r;
  r.id = cp;
  r.xadvance = (float)(g->advance.x / 64.0);
  const FT_Bitmap& bm = g->bitmap;
  if (bm.width == 0 || bm.rows == 0) return r;
  r.width = (int)bm.width + 2 * pad;
  r.height = (int)bm.rows + 2 * pad;
  r.xoffset = (float)(g->bitmap_left - pad);
  r.yoffset = (float)(g->bitmap_top + pad);
  r.texels.assign((size_t)r.width * r.height, 0);
  for (unsigned y = 0; y < bm.rows; y++)
    for (unsigned x = 0; x < bm.width; x++)
      r.texels[(size_t)(y + pad) * r.width + x + pad] = bm.buffer[(int)y * bm.pitch + (int)x];
  return r;
}

std::vector<Kerning> kerning_pairs(FT_Face face, const std::vector<int>& cps, int size) {
  std::vector<Kerning> out;
  if (!FT_HAS_KERNING(face)) return out;
  double scale = (double)size / face->units_per_EM;
  for (int a : cps) {
    FT_UInt ga = FT_Get_Char_Index(face, (FT_ULong)a);
    for (int b : cps) {
      FT_Vector k;
      if (FT_Get_Kerning(face, ga, FT_Get_Char_Index(face, (FT_ULong)b), FT_KERNING_UNSCALED, &k)) continue;
      float px = (float)(k.x * scale);
      if (std::fabs(px) >= 0.25f) out.push_back({a, b, px});
    }
  }
  return out;
}

int line_height(FT_Face face, int size) {
  return (int)std::lround((double)face->height * size / face->units_per_EM);
}

Mask glyph_mask(FT_Face face, int cp, int box, int fit, int ss) {
  // Measure at a reference size, then render so that the larger side spans `fit`.
  FT_Set_Pixel_Sizes(face, 0, (FT_UInt)(fit * ss));
  load(face, cp, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
  int side = (int)std::max(face->glyph->bitmap.width, face->glyph->bitmap.rows);
  int px = (int)std::lround((double)fit * ss * fit * ss / std::max(side, 1));
  FT_Set_Pixel_Sizes(face, 0, (FT_UInt)px);
  load(face, cp, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
  const FT_Bitmap& bm = face->glyph->bitmap;
  Mask m(box * ss, box * ss);
  stamp(m, bm, (m.w - (int)bm.width) / 2, (m.h - (int)bm.rows) / 2);
  return m;
}
