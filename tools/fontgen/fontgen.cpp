// fontgen: writes the fonts of the game from font files of Debian packages.
//   <data>/font.tga              the system font: 16 x 16 cells of 8 x 8 pixels from
//                                misc-fixed 5x8 (xfonts-base), Latin-1 byte order
//   <data>/fonts/regular.fnt     distance-field fonts from DejaVu Sans and DejaVu Sans
//   <data>/fonts/bold.fnt        Bold (fonts-dejavu-core), pages as L8 DDS beside them
//   <data>/fonts/small.fnt       a bitmap font (coverage in alpha) for plain GUI text
//   <data>/fonts/icons.txt       the icon set, page as L8 DDS
// and the fonts' licence texts beside them. Usage: fontgen <data folder>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "distance_field.h"
#include "font_files.h"
#include "glyphs.h"
#include "icon_shapes.h"

namespace {

const std::string dejavu_dir = "/usr/share/fonts/truetype/dejavu/";
const std::string misc_fixed = "/usr/share/fonts/X11/misc/5x8-ISO8859-1.pcf.gz";
// The 5x8 face's full stop is a small diamond that reads as a plus sign once scaled
// up; its smaller sibling's square dot takes its place.
const std::string misc_fixed_small = "/usr/share/fonts/X11/misc/5x7-ISO8859-1.pcf.gz";
const std::string dejavu_licence = "/usr/share/doc/fonts-dejavu-core/copyright";

// Printable ASCII, printable Latin-1 and the replacement character.
std::vector<int> font_code_points() {
  std::vector<int> cps;
  for (int c = 32; c < 127; c++) cps.push_back(c);
  for (int c = 160; c < 256; c++) cps.push_back(c);
  cps.push_back(0xFFFD);
  return cps;
}

// ---- the system font ------------------------------------------------------------

const int CELL = 8;

FT_Face open_strike(FT_Library lib, const std::string& path) {
  FT_Face face = open_face(lib, path);
  if (face->num_fixed_sizes < 1 || FT_Select_Size(face, 0)) {
    fprintf(stderr, "fontgen: %s has no bitmap strike\n", path.c_str());
    exit(1);
  }
  return face;
}

// Draws byte c's glyph into its cell, on the baseline `ascent` rows below the cell's top.
void draw_cell(FT_Face face, int c, int ascent, std::vector<uint32_t>& px, int W) {
  FT_UInt index = FT_Get_Char_Index(face, (FT_ULong)c);
  if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO)) return;
  const FT_Bitmap& bm = face->glyph->bitmap;
  // Byte c's cell: column c mod 16, row c div 16 counted from the top.
  int cx = (c % 16) * CELL, cy = (c / 16) * CELL;
  int top = ascent - face->glyph->bitmap_top, left = face->glyph->bitmap_left;
  for (unsigned r = 0; r < bm.rows; r++)
    for (unsigned k = 0; k < bm.width; k++) {
      const uint8_t* row = bm.buffer + (int)r * bm.pitch;
      bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[k / 8] >> (7 - k % 8)) & 1 : row[k] >= 128;
      int x = left + (int)k, y = top + (int)r;
      if (ink && x >= 0 && x < CELL && y >= 0 && y < CELL) px[(size_t)(cy + y) * W + cx + x] = 0xFFFFFFFF;
    }
}

void write_system_font(FT_Library lib, const std::string& path) {
  FT_Face face = open_strike(lib, misc_fixed), small = open_strike(lib, misc_fixed_small);
  int ascent = (int)(face->size->metrics.ascender >> 6);
  const int W = 16 * CELL, H = 16 * CELL;
  std::vector<uint32_t> px((size_t)W * H, 0x00FFFFFF);  // transparent white
  for (int c = 0; c < 256; c++) {
    if (c < 33 || (c >= 127 && c < 161)) continue;  // controls and blanks keep empty cells
    draw_cell(c == '.' ? small : face, c, ascent, px, W);
  }
  // Solid rectangles sample texel (-1, -1), which wrap addressing takes to the image's
  // top right corner: make it opaque white (in the cell of the control byte 15).
  for (int y = 0; y < 2; y++)
    for (int x = W - 2; x < W; x++) px[(size_t)y * W + x] = 0xFFFFFFFF;
  write_tga(path, px, W, H);
  FT_Done_Face(small);
  FT_Done_Face(face);
}

// ---- distance-field and bitmap fonts --------------------------------------------

void write_font(FT_Library lib, const std::string& data, const std::string& name, const std::string& file,
                int size, int spread, bool distance) {
  FT_Face face = open_face(lib, dejavu_dir + file);
  std::vector<int> cps = font_code_points();
  FontDescription font;
  font.face = std::string(face->family_name) + (face->style_flags & FT_STYLE_FLAG_BOLD ? " Bold" : "");
  font.size = size;
  font.spread = spread;
  font.lineHeight = line_height(face, size);
  font.pageFile = "fonts/" + name + ".png";
  for (int cp : cps)
    font.glyphs.push_back(distance ? distance_glyph(face, cp, size, spread) : coverage_glyph(face, cp, size, spread));
  Page page = pack_page(font.glyphs, distance ? 512 : 256);
  font.pageWidth = page.width;
  font.pageHeight = page.height;
  font.kerning = kerning_pairs(face, cps, size);
  if (distance)
    write_dds_l8(data + "/" + font.pageFile + ".dds", page);
  else
    write_dds_white_alpha(data + "/" + font.pageFile + ".dds", page);
  write_font_description(data + "/fonts/" + name + ".fnt", font);
  printf("%s: %zu glyphs, %zu kerning pairs, page %dx%d\n", name.c_str(), font.glyphs.size(), font.kerning.size(),
         page.width, page.height);
  FT_Done_Face(face);
}

// ---- icons ------------------------------------------------------------------------

const int ICON_SPREAD = 8;
const int ICON_SS = 8;

void write_icons(FT_Library lib, const std::string& data) {
  FT_Face symbols = open_face(lib, dejavu_dir + "DejaVuSans.ttf");
  int box = ICON_SIZE + 2 * ICON_SPREAD;
  std::vector<PageRect> icons;
  for (const IconRecipe& recipe : icon_recipes()) {
    Mask m = recipe.codePoint ? glyph_mask(symbols, recipe.codePoint, box, ICON_SIZE - 10, ICON_SS)
                              : shape_mask(recipe.shape, box, ICON_SS);
    PageRect r;
    r.id = (int)icons.size();
    r.name = recipe.name;
    r.width = r.height = box;
    // Centred on the pen.
    r.xoffset = -box / 2.0f;
    r.yoffset = box / 2.0f;
    r.orgW = r.orgH = ICON_SIZE;
    r.texels = distance_texels(m, ICON_SS, ICON_SPREAD);
    icons.push_back(r);
  }
  Page page = pack_page(icons, 512);
  write_dds_l8(data + "/fonts/icons.png.dds", page);
  write_icon_description(data + "/fonts/icons.txt", "fonts/icons.png", page, ICON_SPREAD, icons);
  printf("icons: %zu icons, page %dx%d\n", icons.size(), page.width, page.height);
  FT_Done_Face(symbols);
}

void write_licences(const std::string& data) {
  write_text(data + "/fonts/LICENSE-DejaVu.txt",
             "The distance-field fonts regular.fnt, bold.fnt, the bitmap font small.fnt and the\n"
             "symbol icons of icons.txt (heart, check, cross, gear, star, music) are rendered from\n"
             "DejaVu Sans (Debian package fonts-dejavu-core). Its copyright and licence:\n\n" +
                 read_text(dejavu_licence));
  write_text(data + "/fonts/LICENSE-misc-fixed.txt",
             "The system font ../font.tga is rendered from the 5x8 face of the misc-fixed fonts\n"
             "(its full stop from the 5x7 face; Debian package xfonts-base, 5x8-ISO8859-1.pcf.gz\n"
             "and 5x7-ISO8859-1.pcf.gz). Its licence, from\n"
             "font-misc-misc/COPYING:\n\n    Public domain font.  Share and enjoy.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: fontgen <data folder>\n");
    return 2;
  }
  std::string data = argv[1];
  if (system(("mkdir -p '" + data + "/fonts'").c_str()) != 0) return 1;
  FT_Library lib;
  if (FT_Init_FreeType(&lib)) {
    fprintf(stderr, "fontgen: cannot start FreeType\n");
    return 1;
  }
  write_system_font(lib, data + "/font.tga");
  write_font(lib, data, "regular", "DejaVuSans.ttf", 32, 6, true);
  write_font(lib, data, "bold", "DejaVuSans-Bold.ttf", 32, 6, true);
  write_font(lib, data, "small", "DejaVuSans.ttf", 15, 1, false);
  write_icons(lib, data);
  write_licences(data);
  FT_Done_FreeType(lib);
  return 0;
}
