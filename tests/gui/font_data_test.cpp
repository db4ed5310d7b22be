// The committed fonts, bitmap font, icon set and system font, read through the
// engine's own readers, and a picture of them drawn together.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gui/bitmap_font.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/sys_font.h"
#include "engine/gui/ui_draw.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_states.h"
#include "engine/render/image.h"
#include "text_fixture.h"

namespace {

const char* const icon_names[] = {"heart",  "point", "arrow_left", "arrow_right", "arrow_up", "arrow_down", "lock",
                                  "check",  "cross", "gear",       "pistol",      "plasma",   "bomb",       "star",
                                  "play",   "pause", "sound",      "music",       "keyboard", "mouse"};

class FontDataTest : public TextTest {
protected:
  void SetUp() override {
    TextTest::SetUp();
    startDevice(640, 360);
    init_dist_fonts();
    init_dist_icons();
    init_bitmap_fonts();
  }
  void TearDown() override {
    close_font();
    TextTest::TearDown();
  }
};

// Printable ASCII, printable Latin-1 and U+FFFD each have a glyph of their own.
void expect_full_coverage(DistFont& font, const char* name) {
  std::vector<int> cps;
  for (int c = 32; c < 127; c++) cps.push_back(c);
  for (int c = 160; c < 256; c++) cps.push_back(c);
  cps.push_back(0xFFFD);
  for (int cp : cps) {
    int used = 0;
    const DistGlyph* g = font.findGlyph(cp, &used);
    ASSERT_NE(g, nullptr) << name << " U+" << std::hex << cp;
    EXPECT_EQ(used, cp) << name << " U+" << std::hex << cp;
    EXPECT_GT(g->xadvance, 0) << name << " U+" << std::hex << cp;
  }
  EXPECT_GT(font.kerningPairs.size(), 100) << name;
  EXPECT_GT(font.lineHeight, font.size) << name;
  // "AV" kerns closer than "A" and "V" apart.
  EXPECT_LT(font.kerning('A', 'V'), 0) << name;
}

TEST_F(FontDataTest, TheDistanceFieldAndBitmapFontsLoad) {
  DistFont regular, bold;
  ASSERT_TRUE(regular.load("fonts/regular.fnt"));
  ASSERT_TRUE(bold.load("fonts/bold.fnt"));
  expect_full_coverage(regular, "regular");
  expect_full_coverage(bold, "bold");
  EXPECT_NE(regular.batchState, nullptr);
  // Bold glyphs are wider.
  EXPECT_GT(v_z(bold.calcTextBox("Torvane", -1, nullptr)), v_z(regular.calcTextBox("Torvane", -1, nullptr)));

  BitmapFont small;
  ASSERT_TRUE(small.load("fonts/small.fnt"));
  expect_full_coverage(small, "small");
  EXPECT_NE(dynamic_cast<BitmapFontBatchState*>(small.batchState), nullptr);
}

TEST_F(FontDataTest, TheIconSetHasEveryIconTheGameUses) {
  DistIcons icons;
  ASSERT_TRUE(icons.load("fonts/icons.txt"));
  EXPECT_NE(icons.batchState, nullptr);
  for (const char* name : icon_names) {
    int id = icons.getIconId(name);
    ASSERT_GE(id, 0) << name;
    EXPECT_GT(icons.getOrgW(id), 0) << name;
    EXPECT_GT(icons.getOrgH(id), 0) << name;
  }
}

TEST_F(FontDataTest, TheSystemFontHasAGlyphForEveryPrintableByte) {
  init_font();
  EXPECT_EQ(font_cell_height, 8);
  EXPECT_EQ(font_glyphs[' '].x1 - font_glyphs[' '].x0, 5);
  DynArray<uint32_t> px;
  int w = 0, h = 0;
  ASSERT_TRUE(load_tga("font.tga", &w, &h, px));
  ASSERT_EQ(w, 128);
  ASSERT_EQ(h, 128);
  for (int c = 0; c < 256; c++) {
    const FontGlyph& g = font_glyphs[c];
    int ink = 0;
    for (int y = g.y0; y < g.y1; y++)
      for (int x = g.x0; x < g.x1; x++) ink += (px[y * w + x] >> 24) != 0;
    bool printable = (c > 32 && c < 127) || c > 160;
    // Byte 15 holds only the opaque white texel of solid rectangles.
    if (printable || c == 15)
      EXPECT_GT(ink, 0) << "byte " << c;
    else
      EXPECT_EQ(ink, 0) << "byte " << c;
    EXPECT_LE(g.x1 - g.x0, 8) << "byte " << c;
  }
}

// Ink (not the background) inside a rectangle of the picture.
int ink_in(const std::vector<uint32_t>& px, int w, float x0, float y0, float x1, float y1, uint32_t bg) {
  int n = 0;
  for (int y = (int)y0; y < (int)y1; y++)
    for (int x = (int)x0; x < (int)x1; x++) n += px[(size_t)y * w + x] != bg;
  return n;
}

TEST_F(FontDataTest, AllTogetherOnOneScreen) {
  DistFont regular, bold;
  BitmapFont small;
  DistIcons icons;
  ASSERT_TRUE(regular.load("fonts/regular.fnt"));
  ASSERT_TRUE(bold.load("fonts/bold.fnt"));
  ASSERT_TRUE(small.load("fonts/small.fnt"));
  ASSERT_TRUE(icons.load("fonts/icons.txt"));
  init_rounded_box_render();
  init_font();
  const D3dColor bg = 0xFF1C2430;

  RenderBatch boxes, text;
  render_rounded_box(boxes, v_make(16, 16, 624, 120), v_make(12, 12, 12, 12), 0xFF2E4A6A, 1.5f, 4, 6, 8,
                     0xA0000000, 0);
  render_ui_line(boxes, v_make(30, 70, 610, 70), 2, 0xFF88AACC);
  bold.renderText(text, v_make(16, 16, 624, 70), 0, 0xFFFFD040, 40, "TORVANE! 0.20", -1, 1, 0.25f, 0.25f, 4,
                  0xFF000000, nullptr);
  regular.renderText(text, v_make(30, 76, 624, 120), TEXT_LEFT | TEXT_TOP, 0xFFFFFFFF, 18,
                     "Distance-field text: Àçcéñtø, kerning AV To; not in the font: €", -1, 0, 0, 0, 0, 0,
                     nullptr);
  // Bitmap text belongs to the interface pass (its state sets constant 16 for itself).
  small.renderText(boxes, v_make(30, 100, 624, 118), TEXT_LEFT | TEXT_TOP, 0xFFB0C4DE, 1,
                   "Bitmap font for plain interface text: The quick brown fox jumps.", -1, nullptr);
  // The icons in a row, each with an outline and a gradient.
  std::vector<std::vector<float>> cells;
  for (int i = 0; i < 20; i++) {
    float x = 36 + i * 30.0f, y = 160;
    icons.renderIcon(text, v_make(x, y, 1, 0), 0.4f, icons.getIconId(icon_names[i]), 0, 0.05f, 0.05f, 2,
                     0xFFFFFFFF, 0xFF202020, 0x80000000, 0xFFFF8080, 0xFF8080FF, nullptr);
    cells.push_back({x - 13, y - 13, x + 13, y + 13});
  }
  // Large icons: the distance field holds its shapes at any size.
  const char* big[] = {"heart", "gear", "lock", "pistol", "bomb", "keyboard", "mouse", "sound"};
  for (int i = 0; i < 8; i++)
    icons.renderIcon(text, v_make(56 + i * 76.0f, 230, 1, 0), 1, icons.getIconId(big[i]), 0, 0, 0, 0,
                     0xFFFFFFFF, 0, 0, 0xFFFFE080, 0xFFFF6040, nullptr);

  beginFrame(bg);
  start_gui_render();
  set_blend_prealpha();
  boxes.render();
  end_gui_render();
  start_dist_font_render();
  text.render();
  end_dist_font_render();
  start_draw_text();
  font_scale = 2;
  draw_text("System font at scale 2, with its shadow.", -1, 16, 40, -1, -1, 0xFFFFFFFF);
  end_draw_text();
  endFrame();
  keepPicture("all_together");

  std::vector<uint32_t> px = readBackBuffer();
  for (int i = 0; i < 20; i++) {
    const std::vector<float>& c = cells[i];
    EXPECT_GT(ink_in(px, 640, c[0], c[1], c[2], c[3], bg), 40) << icon_names[i];
  }
  // The bitmap font's line and the title left ink where they were placed.
  EXPECT_GT(ink_in(px, 640, 30, 100, 400, 118, 0xFF2E4A6A), 100);
  EXPECT_GT(ink_in(px, 640, 100, 20, 540, 68, 0xFF2E4A6A), 1000);
  regular.clear();
  bold.clear();
  small.clear();
  icons.clear();
}

}  // namespace
