// Distance-field fonts: the description file, glyph and kerning tables, measuring,
// caret positions and glyph quads.
#include "engine/gui/dist_font.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/log.h"
#include "engine/gui/batch_quads.h"
#include "engine/gui/dist_layout.h"
#include "engine/gui/dist_shape.h"
#include "engine/gui/font_description.h"
#include "engine/render/d3d_textures.h"

DistFont::DistFont() : texture(nullptr), batchState(nullptr) {}

DistFont::~DistFont() { clear(); }

void DistFont::clear() {
  delete batchState;
  batchState = nullptr;
  free_texture(texture);
  texture = nullptr;
  glyphs.clearAndFree();
  ranges.clearAndFree();
  kerningPairs.clearAndFree();
  kerningRuns.clearAndFree();
}

// Ids in ascending runs make one range per run.
static void add_glyph_id(DynArray<GlyphRange>& ranges, int id, int index) {
  if (!ranges.isEmpty() && ranges.last().end == id) {
    ranges.last().end++;
    return;
  }
  ranges.push() = GlyphRange{id, id + 1, index};
}

static void add_kerning_first(DynArray<KerningRun>& runs, int first, int index) {
  if (!runs.isEmpty() && runs.last().first == first) {
    runs.last().count++;
    return;
  }
  runs.push() = KerningRun{first, index, 1};
}

// The lines of a font description in order; false at the first missing or
// mismatched line. Fills the font as it goes and gives the page name.
static bool read_font(DescriptionReader& in, DistFont& f, char* page) {
  const char* line;
  char face[256];
  int scaleW = 0, scaleH = 0, count = 0;
  if (!(line = in.next()) || sscanf(line, "info face=\"%255[^\"]\" size=%d spread=%d", face, &f.size, &f.spread) != 3)
    return false;
  // Both divide when drawing.
  if (f.size <= 0 || f.spread <= 0) return false;
  if (!(line = in.next()) ||
      sscanf(line, "common lineHeight=%d base=0 scaleW=%d scaleH=%d", &f.lineHeight, &scaleW, &scaleH) != 3)
    return false;
  if (scaleW <= 0 || scaleH <= 0) return false;
  f.invScaleW = 1.0f / scaleW;
  f.invScaleH = 1.0f / scaleH;
  if (!(line = in.next()) || sscanf(line, "page id=0 file=\"%255[^\"]\"", page) != 1) return false;
  if (!(line = in.next()) || sscanf(line, "chars count=%d", &count) != 1 || !valid_count(count)) return false;
  f.glyphs.resize(count);
  for (int i = 0; i < count; i++) {
    int id;
    float x, y;
    DistGlyph& g = f.glyphs[i];
    if (!(line = in.next()) ||
        sscanf(line, "char id=%d x=%f y=%f width=%f height=%f xoffset=%f yoffset=%f xadvance=%f", &id, &x, &y,
               &g.width, &g.height, &g.xoffset, &g.yoffset, &g.xadvance) != 8)
      return false;
    g.u = x * f.invScaleW;
    g.v = y * f.invScaleH;
    add_glyph_id(f.ranges, id, i);
  }
  if (!(line = in.next()) || sscanf(line, "kernings count=%d", &count) != 1 || !valid_count(count)) return false;
  f.kerningPairs.resize(count);
  for (int i = 0; i < count; i++) {
    int first;
    KerningPair& k = f.kerningPairs[i];
    if (!(line = in.next()) ||
        sscanf(line, "kerning first=%d second=%d amount=%f", &first, &k.second, &k.amount) != 3)
      return false;
    add_kerning_first(f.kerningRuns, first, i);
  }
  return true;
}

bool DistFont::load(const char* path) {
  pageError.assign("");
  PHYSFS_File* file = open_description(path);
  if (!file) return false;
  PreviousPage previous(texture);
  clear();
  char page[256];
  DescriptionReader in(file);
  bool ok = read_font(in, *this, page);
  PHYSFS_close(file);
  if (!ok) return false;
  texture = load_page_texture(page, pageError);
  if (!texture) {
    clear();
    return false;
  }
  if (dist_font_shader)
    batchState = new DistFontBatchState(dist_font_shader, dist_font_vdecl, sizeof(DistTextVertex), texture);
  return true;
}

static int find_in_ranges(const DynArray<GlyphRange>& ranges, int cp) {
  for (const GlyphRange& r : ranges)
    if (cp >= r.first && cp < r.end) return r.base + cp - r.first;
  return -1;
}

const DistGlyph* DistFont::findGlyph(int cp, int* used) const {
  int i = find_in_ranges(ranges, cp);
  *used = cp;
  if (i < 0) {
    *used = 0xFFFD;
    i = find_in_ranges(ranges, 0xFFFD);
  }
  // A table whose ranges reach past its records (a short description) has no glyph there.
  return i >= 0 && i < glyphs.size() ? &glyphs[i] : nullptr;
}

float DistFont::kerning(int prev, int cp) const {
  for (const KerningRun& run : kerningRuns) {
    if (run.first != prev) continue;
    for (int i = run.start; i < run.start + run.count && i < kerningPairs.size(); i++)
      if (kerningPairs[i].second == cp) return kerningPairs[i].amount;
  }
  return 0;
}

__m128 DistFont::calcTextBox(const char* text, int len, int* count) {
  len = text_length(text, len);
  TextPlacement unit{1, 0, 0, false, 0, v_zero(), 0};
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int n = 0;
  lay_out_glyphs(*this, unit, text, len, [&](const DistGlyph&, float qx0, float qy0, float qx1, float qy1) {
    x0 = fminf(x0, qx0);
    y0 = fminf(y0, qy0);
    x1 = fmaxf(x1, qx1);
    y1 = fmaxf(y1, qy1);
    n++;
  });
  if (count) *count = n;
  // Bound the visible glyphs rather than their padded quads.
  if (n > 0) return v_make(x0 + spread, y0 + spread, x1 - spread, y1 - spread);
  return v_make(x0, y0, x1, y1);
}

__m128 DistFont::getTextPos(int index, __m128 rect, int flags, float size, const char* text, int len) {
  len = text_length(text, len);
  float s = size / this->size;
  TextPlacement p = place_text(*this, rect, flags, s, (flags & 3) == 0, text, len);
  if (index < 0) return v_make(p.x, p.y - lineHeight * s, 0, 0);
  float x = line_start(*this, p, text, len, 0), y = p.y;
  int prev = -1;
  for (int pos = 0; pos < len;) {
    int cp;
    pos += decode_utf8_char(text + pos, len - pos, &cp);
    if (cp == '\n') {
      if (pos >= index) break;
      x = line_start(*this, p, text, len, pos);
      y += lineHeight * s;
      prev = -1;
      continue;
    }
    int used;
    const DistGlyph* g = findGlyph(cp, &used);
    if (!g) {
      prev = used;
      continue;
    }
    if (pos >= index) break;
    x += (g->xadvance + kerning(prev, used)) * s;
    prev = used;
  }
  return v_make(x, y, 0, 0);
}

void DistFont::renderText(RenderBatch& batch, __m128 rect, int flags, D3dColor colour, float size, const char* text,
                          int len, float shape0, float shape1, float shape2, float shape3, D3dColor colour2,
                          BaseRenderBatchState* state) {
  if (!state) state = batchState;
  if (!state) {
    log_missing_batch_state("renderText");
    return;
  }
  // A size of 0 draws nothing (and would divide by zero below).
  if (!(size > 0)) return;
  len = text_length(text, len);
  float s = size / this->size;
  float spreadPx = spread * s;
  D3dColor shape = pack_shape(0.5f - (shape0 + 1) * 0.25f / spreadPx, 0.5f - invScaleW * shape1 * this->size * 0.32f,
                              0.5f - invScaleH * shape2 * this->size * 0.32f,
                              0.5f - (shape3 + 1) * 0.25f / spreadPx);
  TextPlacement p = place_text(*this, rect, flags, s, (flags & 3) == 0, text, len);
  BatchQuads quads(batch, state, text_quad_area(*this, p), sizeof(DistTextVertex) * 6, p.quads, true);
  lay_out_glyphs(*this, p, text, len, [&](const DistGlyph& g, float x0, float y0, float x1, float y1) {
    float uL = g.u, vT = g.v, uR = g.u + g.width * invScaleW, vB = g.v + g.height * invScaleH;
    DistTextVertex v[6] = {
        {x0, y0, colour, colour2, uL, vT, shape}, {x1, y0, colour, colour2, uR, vT, shape},
        {x1, y1, colour, colour2, uR, vB, shape}, {x0, y0, colour, colour2, uL, vT, shape},
        {x1, y1, colour, colour2, uR, vB, shape}, {x0, y1, colour, colour2, uL, vB, shape},
    };
    memcpy(quads.next(), v, sizeof(v));
  });
}
