#pragma once
// Distance-field fonts and icons: each glyph or icon is a rectangle of a DDS texture
// whose texels hold the distance to the shape's edge (0.5 on the edge), so one
// texture serves every size and the shaders draw fills, outlines and offset shadows.
//
// Positions are pixels with the origin at the top left of the back buffer, y down.
// Draw the batches these fill between start_dist_font_render and end_dist_font_render.
//
// How "distfont.sh" paints a text: the fill in `colour`; the outline (the band
// between the fill's edge and the outline's edge) and the drop shadow (the shape of
// fill and outline moved by the shadow offset) in `colour2`. renderText's shape
// arguments: shape0 grows the fill by half a pixel per unit (0: the glyph's own
// edge); shape3 places the outline's edge the same way (no outline while it is not
// above shape0); shape1, shape2 move the shadow by that fraction of the text's size
// times 0.32, right and down (0, 0: no shadow).
//
// "disticon.sh" paints an icon the same way: c0 fill, c1 outline, c2 shadow, and the
// fill multiplied by a vertical gradient from c3 at the icon's top to c4 at its
// bottom (both 0xFFFFFFFF for a flat fill). Its shadow offset is shape1, shape2
// times 32 texels.
#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/dynarray.h"
#include "engine/core/geometry.h"
#include "engine/core/strings.h"
#include "engine/render/renderBatch.h"

struct Texture;

// Decodes the UTF-8 character at s with `left` bytes remaining: returns the bytes
// consumed and stores the code point, or -1 for an invalid, overlong, surrogate or
// truncated sequence (consuming up to the first byte that does not belong to it).
// Nothing left: -1 and 0 bytes.
int decode_utf8_char(const char* s, int left, int* codePoint);

// A batch state that behaves as StdRenderBatchState; fonts make theirs with stride 28
// and "distfont.sh", icon sets with stride 40 and "disticon.sh".
class DistFontBatchState : public StdRenderBatchState {
public:
  using StdRenderBatchState::StdRenderBatchState;
};

struct DistGlyph {
  float u, v;            // top-left texture coordinate of the glyph rectangle
  float width, height;   // rectangle size in texels (pixels at the font's size)
  float xoffset, yoffset;  // rectangle's left from the pen, its top above the pen
  float xadvance;
};
struct GlyphRange {
  int first, end;  // code points first..end-1 (end exclusive)
  int base;        // glyph record of `first`
};
struct KerningPair {
  int second;
  float amount;
};
struct KerningRun {
  int first;  // the first character of the pairs
  int start;  // index into kerningPairs
  int count;
};

struct DistTextVertex {
  float x, y;
  D3dColor color, color2;
  float u, v;
  D3dColor shape;
};
static_assert(sizeof(DistTextVertex) == 28);

struct DistIconVertex {
  float x, y;
  D3dColor c0, shape;
  float u, v;
  D3dColor c1, c2, c3, c4;
};
static_assert(sizeof(DistIconVertex) == 40);

// Alignment flags of renderText and getTextPos: horizontal (flags & 3) 1 left, 2 right,
// 0 centred with every line centred on its own, 3 centred with a common left edge;
// vertical (flags & 12) 4 top, 8 bottom, 0 or 12 centred.
enum : int { TEXT_LEFT = 1, TEXT_RIGHT = 2, TEXT_TOP = 4, TEXT_BOTTOM = 8 };

class DistFont {
public:
  int size;        // nominal pixel size; the file's metrics are pixels at this size
  int spread;      // distance-field spread in texels
  int lineHeight;  // pixels at `size`
  float invScaleW, invScaleH;
  Texture* texture;
  // Owned; null while the font has no page or was loaded before init_dist_fonts
  // (callers then pass a state). Bitmap fonts hold a BitmapFontBatchState here.
  StdRenderBatchState* batchState;
  DynArray<DistGlyph> glyphs;
  DynArray<GlyphRange> ranges;
  DynArray<KerningPair> kerningPairs;
  DynArray<KerningRun> kerningRuns;

  DistFont();
  ~DistFont();
  DistFont(const DistFont&) = delete;
  DistFont& operator=(const DistFont&) = delete;

  // Why the page of the last load did not load; empty when it did or was not reached.
  TempString<512> pageError;

  // Reads the description and its page texture; false when the description does
  // not open or does not match (what was read before stays). A page that cannot be
  // loaded is fatal, except while the module is replaced: then the font is emptied,
  // pageError says why and the answer is false. Loaded again with the same page, the
  // font keeps it as it stands.
  bool load(const char* path);
  void clear();
  // Bounding box (x0, y0, x1, y1) of the visible glyphs in font units; len -1 means up
  // to the NUL; count (may be null) receives the number of glyph quads.
  __m128 calcTextBox(const char* text, int len, int* count);
  // Pen position (x, y, 0, 0) in front of the character that ends at or after byte
  // `index`, laid out as renderText lays the text out; index < 0 gives the block's x
  // one line above the first line.
  __m128 getTextPos(int index, __m128 rect, int flags, float size, const char* text, int len);
  void renderText(RenderBatch& batch, __m128 rect, int flags, D3dColor colour, float size, const char* text, int len,
                  float shape0, float shape1, float shape2, float shape3, D3dColor colour2,
                  BaseRenderBatchState* state);

  // ---- layout shared with bitmap fonts ----
  // The glyph of cp, else of U+FFFD; null when the font has neither. *used receives
  // the code point that counts for kerning.
  const DistGlyph* findGlyph(int cp, int* used) const;
  float kerning(int prev, int cp) const;
};

struct DistIcon {
  char* name;  // owned, NUL-terminated
  float u, v, width, height, xoffset, yoffset, orgW, orgH;
};

class DistIcons {
public:
  int spread;
  float invScaleW, invScaleH;
  Texture* texture;
  StdRenderBatchState* batchState;
  DynArray<DistIcon> icons;
  TempString<512> pageError;  // as DistFont's

  DistIcons();
  ~DistIcons();
  DistIcons(const DistIcons&) = delete;
  DistIcons& operator=(const DistIcons&) = delete;

  // As DistFont::load, for an icon description.
  bool load(const char* path);
  void clear();
  // Index of the first icon named exactly `name`, -1 when none.
  int getIconId(const char* name);
  float getOrgW(int index);
  float getOrgH(int index);
  // transform = (tx, ty, a, b): local (lx, ly) maps to (a lx - b ly + tx, b lx + a ly + ty);
  // (x, y, 1, 0) draws upright at `size` times the icon's texels.
  void renderIcon(RenderBatch& batch, __m128 transform, float size, int index, float shape0, float shape1,
                  float shape2, float shape3, D3dColor c0, D3dColor c1, D3dColor c2, D3dColor c3, D3dColor c4,
                  BaseRenderBatchState* state);
};

void init_dist_fonts();
void init_dist_icons();
void start_dist_font_render();
void end_dist_font_render();

// The font shader and vertex declaration (null until init_dist_fonts), for bitmap
// fonts and tests.
struct Shader;
extern Shader* dist_font_shader;
extern IDirect3DVertexDeclaration9* dist_font_vdecl;
extern Shader* dist_icon_shader;
extern IDirect3DVertexDeclaration9* dist_icon_vdecl;
