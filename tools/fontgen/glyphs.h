#pragma once
// Glyphs rendered through FreeType into the texel rectangles of a font page.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <string>
#include <vector>

#include "distance_field.h"

// One glyph or icon as the description files list it: its texels, where it goes on
// the page, and its placement relative to the pen (y up from the baseline for fonts,
// from the icon's centre for icons).
struct PageRect {
  int id = 0;            // code point (fonts) or index (icons)
  std::string name;      // icons only
  int width = 0, height = 0;
  float xoffset = 0, yoffset = 0, xadvance = 0;
  float orgW = 0, orgH = 0;  // icons: the source size in pixels
  std::vector<uint8_t> texels;  // width * height, row 0 at the top
  int x = 0, y = 0;             // position on the page
};

struct Kerning {
  int first, second;
  float amount;  // pixels at the font's size
};

// Opens a face (fatal on failure, naming the file).
FT_Face open_face(FT_Library lib, const std::string& path);

// A distance-field glyph of the code point at `size` pixels, padded by `spread`
// texels on every side; a glyph without ink (a space) has no texels.
PageRect distance_glyph(FT_Face face, int cp, int size, int spread);
// A hinted, anti-aliased glyph whose texels are coverage, padded by `pad` texels.
PageRect coverage_glyph(FT_Face face, int cp, int size, int pad);
// Kerning amounts between all pairs of the code points, at `size` pixels; pairs of
// less than a quarter pixel are dropped.
std::vector<Kerning> kerning_pairs(FT_Face face, const std::vector<int>& cps, int size);
// The face's distance between baselines at `size` pixels, rounded.
int line_height(FT_Face face, int size);

// A glyph drawn `ss` times larger than `box` pixels, scaled to fit `fit` of them and
// centred, as a mask (icons taken from a font).
Mask glyph_mask(FT_Face face, int cp, int box, int fit, int ss);
