// The system font: glyph rectangles from font.tga, sizes, layout, the vertices of
// immediate and batched text, the text-state stack and the start-up failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/render/dynVBWriter.h"
#include "text_fixture.h"

namespace {

const uint32_t INK = 0xFFFFFFFF, CLEAR = 0x00FFFFFF;

// A 128 x 128 grid: 'A' inked in cell columns 2..5, 'B' in columns 0 and 7 only, byte
// 15 with the opaque white texel at the image's top right; everything else empty.
std::vector<uint32_t> fixture_grid() {
  std::vector<uint32_t> px(128 * 128, CLEAR);
  auto cell = [&](int c, int col, int row) { px[(size_t)((c / 16) * 8 + row) * 128 + (c % 16) * 8 + col] = INK; };
  for (int col = 2; col <= 5; col++) cell('A', col, 3);
  cell('B', 0, 0);
  cell('B', 7, 7);
  cell(15, 7, 0);
  return px;
}

class SysFontTest : public TextTest {
protected:
  void SetUp() override {
    TextTest::SetUp();
    writeFile("font.tga", tga32(128, 128, fixture_grid()));
  }
  void TearDown() override {
    close_font();
    line_gap = char_gap = 0;
    TextTest::TearDown();
  }
  void start(int w = 320, int h = 240) {
    startDevice(w, h);
    init_font();
  }
  // The quads written into the ring since start_draw_text.
  static std::vector<SysFontVertex> ring_vertices() {
    const SysFontVertex* v = (const SysFontVertex*)common_vb_writer.startPtr;
    return std::vector<SysFontVertex>(v, v + common_vb_writer.used() / sizeof(SysFontVertex));
  }
};

void expect_quad(const std::vector<SysFontVertex>& v, int q, int x0, int y0, int x1, int y1, D3dColor color,
                 int u0, int v0, int u1, int v1, const char* what) {
  ASSERT_GE(v.size(), (size_t)(q + 1) * 6) << what;
  const SysFontVertex* p = &v[q * 6];
  const int expect[6][4] = {{x0, y0, u0, v0}, {x1, y0, u1, v0}, {x1, y1, u1, v1},
                            {x0, y0, u0, v0}, {x1, y1, u1, v1}, {x0, y1, u0, v1}};
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(p[i].x, expect[i][0]) << what << " vertex " << i;
    EXPECT_EQ(p[i].y, expect[i][1]) << what << " vertex " << i;
    EXPECT_EQ(p[i].u, expect[i][2]) << what << " vertex " << i;
    EXPECT_EQ(p[i].v, expect[i][3]) << what << " vertex " << i;
    EXPECT_EQ(p[i].color, color) << what << " vertex " << i;
  }
}

TEST_F(SysFontTest, GlyphRectanglesComeFromTheInkedColumns) {
  start();
  EXPECT_EQ(font_cell_height, 8);
  // 'A' (65): cell column 1, image row 4 from the top, so rows 88..95 counted from
  // the bottom; inked columns 2..5 of the cell.
  EXPECT_EQ(font_glyphs['A'].x0, 8 + 2);
  EXPECT_EQ(font_glyphs['A'].x1, 8 + 6);
  EXPECT_EQ(font_glyphs['A'].y0, 88);
  EXPECT_EQ(font_glyphs['A'].y1, 96);
  // 'B': the first and last columns are inked, so the whole cell.
  EXPECT_EQ(font_glyphs['B'].x0, 16);
  EXPECT_EQ(font_glyphs['B'].x1, 24);
  // An empty cell is half a cell plus one column wide.
  EXPECT_EQ(font_glyphs[' '].x0, 0);
  EXPECT_EQ(font_glyphs[' '].x1, 5);
  EXPECT_EQ(font_glyphs[' '].y0, (15 - 2) * 8);
  // Byte 0 is the top-left cell of the image.
  EXPECT_EQ(font_glyphs[0].y0, 120);
  // Byte 15 holds the white texel in its last column.
  EXPECT_EQ(font_glyphs[15].x0, 127);
  EXPECT_EQ(font_glyphs[15].x1, 128);
}

TEST_F(SysFontTest, ScaleFollowsTheWindowHeight) {
  start(1280, 720);
  EXPECT_EQ(font_scale, 3);
  int saved = d3d_ht;
  d3d_ht = 239;
  update_font_scale();
  EXPECT_EQ(font_scale, 1);
  d3d_ht = 480;
  update_font_scale();
  EXPECT_EQ(font_scale, 2);
  d3d_ht = saved;
}

TEST_F(SysFontTest, TextSizes) {
  start();
  font_scale = 1;
  struct SizeCase {
    const char* text;
    int lineGap, charGap, scale;
    int w, h;
  } cases[] = {
      {"", 0, 0, 1, 0, 0},
      {"A", 0, 0, 1, 5, 8},
      {" ", 0, 0, 1, 6, 8},        // a space advances half a cell plus two
      {"A\n", 0, 0, 1, 5, 8},      // a trailing newline: its gap, no second line
      {"A\n", 2, 0, 1, 5, 10},
      {"A\nAB", 2, 0, 1, 14, 18},  // the widest line
      {"AA", 0, 1, 1, 12, 8},      // the character gap after each character
      {"A", 0, 0, 2, 10, 16},
  };
  for (const SizeCase& c : cases) {
    line_gap = c.lineGap;
    char_gap = c.charGap;
    font_scale = c.scale;
    int w = -1, h = -1;
    calc_text_size(c.text, -1, w, h);
    EXPECT_EQ(w, c.w) << c.text;
    EXPECT_EQ(h, c.h) << c.text;
  }
  int w = -1, h = -1;
  calc_text_size(nullptr, -1, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  line_gap = char_gap = 0;
  calc_text_size("AAAA", 1, w, h);
  EXPECT_EQ(w, 10);  // len counts bytes: one 'A' at scale 2
}

TEST_F(SysFontTest, DrawTextWritesShadowThenGlyphForEachVisibleByte) {
  start();
  font_scale = 1;
  start_draw_text();
  draw_text("A B", -1, 10, 20, -1, -1, 0x80FF0000);
  std::vector<SysFontVertex> v = ring_vertices();
  end_draw_text();
  ASSERT_EQ(v.size(), 4u * 6);
  // Shadow: one right, one down, black at half the alpha.
  expect_quad(v, 0, 11, 19, 15, 27, 0x40000000, 10, 88, 14, 96, "A shadow");
  expect_quad(v, 1, 10, 20, 14, 28, 0x80FF0000, 10, 88, 14, 96, "A");
  // The space advances 6 without a quad: B starts at 10 + 5 + 6.
  expect_quad(v, 3, 21, 20, 29, 28, 0x80FF0000, 16, 88, 24, 96, "B");
}

TEST_F(SysFontTest, DrawTextAlignsTheBlock) {
  start();
  font_scale = 2;
  line_gap = 3;
  // Two lines of "A": 10 wide, 16 + 3 + 16 = 35 high.
  struct AlignCase {
    int ax, ay;
    int left, firstBottom;
  } cases[] = {
      {-1, -1, 50, 100 + 3 + 19},  // last line's bottom at y + line_gap
      {1, 1, 40, 100 + 3 - 35 + 19},
      {0, 0, 45, 100 + 3 - 17 + 19},
  };
  for (const AlignCase& c : cases) {
    start_draw_text();
    draw_text("A\nA", -1, 50, 100, c.ax, c.ay, 0xFFFFFFFF);
    std::vector<SysFontVertex> v = ring_vertices();
    end_draw_text();
    ASSERT_EQ(v.size(), 4u * 6);
    EXPECT_EQ(v[6].x, c.left) << c.ax;
    EXPECT_EQ(v[6].y, c.firstBottom) << c.ax;
    EXPECT_EQ(v[18].y, c.firstBottom - 19) << c.ax;  // the next line one line and gap lower
  }
}

TEST_F(SysFontTest, RectanglesAndBoxesUseTheWhiteTexel) {
  start();
  start_draw_text();
  draw_rect(1, 2, 3, 4, 0xFF00FF00);
  draw_box(10, 10, 20, 20, 0xFF0000FF);
  std::vector<SysFontVertex> v = ring_vertices();
  end_draw_text();
  ASSERT_EQ(v.size(), 5u * 6);
  expect_quad(v, 0, 1, 2, 3, 4, 0xFF00FF00, -1, -1, -1, -1, "rect");
  // The outline covers columns and rows 10..20 inclusive.
  expect_quad(v, 1, 10, 10, 11, 20, 0xFF0000FF, -1, -1, -1, -1, "left");
  expect_quad(v, 2, 20, 10, 21, 20, 0xFF0000FF, -1, -1, -1, -1, "right");
  expect_quad(v, 3, 10, 10, 21, 11, 0xFF0000FF, -1, -1, -1, -1, "bottom");
  expect_quad(v, 4, 11, 20, 20, 21, 0xFF0000FF, -1, -1, -1, -1, "top");
}

TEST_F(SysFontTest, ImmediateTextFlushesWhenTheRingBufferIsFull) {
  start();
  // 65,536 bytes hold 910 quads of 72: 600 glyphs (1200 quads) need a flush.
  std::string text(600, 'A');
  start_draw_text();
  draw_text(text.c_str(), -1, 0, 0, -1, -1, 0xFFFFFFFF);
  EXPECT_EQ(common_vb_writer.used(), (1200 - 910) * 72);
  end_draw_text();
}

TEST_F(SysFontTest, BatchedTextRecordsTheSameQuadsInsideOneRectangle) {
  start();
  font_scale = 1;
  RenderBatch batch;
  batch_text(batch, "A B", -1, 10, 20, -1, -1, 0xFFFFFFFF);
  std::vector<SysFontVertex> v = batch_vertices<SysFontVertex>(batch);
  ASSERT_EQ(v.size(), 4u * 6);
  expect_quad(v, 0, 11, 19, 15, 27, 0x7F000000, 10, 88, 14, 96, "A shadow");
  expect_quad(v, 3, 21, 20, 29, 28, 0xFFFFFFFF, 16, 88, 24, 96, "B");
  // Every item's rectangle encloses the quads and their shadows.
  for (RenderBatchGroup& g : batch.groups)
    for (RenderBatchItem* it = g.first; it; it = it->next) {
      EXPECT_FLOAT_EQ(v_x(it->rect), 10);
      EXPECT_FLOAT_EQ(v_y(it->rect), 19);
      EXPECT_FLOAT_EQ(v_z(it->rect), 30);
      EXPECT_FLOAT_EQ(v_w(it->rect), 28);
      EXPECT_EQ(it->bytes, 72);
    }
  EXPECT_EQ(batch.groups[0].state, get_font_batch_state());

  batch.clear();
  batch_rect(batch, 1, 2, 3, 4, 0xFF00FF00);
  v = batch_vertices<SysFontVertex>(batch);
  expect_quad(v, 0, 1, 2, 3, 4, 0xFF00FF00, -1, -1, -1, -1, "rect");
}

TEST_F(SysFontTest, TheTextStateStackRestoresGapsAndScale) {
  start();
  line_gap = 1;
  char_gap = 2;
  font_scale = 3;
  push_text_state();
  line_gap = char_gap = 0;
  font_scale = 7;
  push_text_state();
  font_scale = 9;
  pop_text_state();
  EXPECT_EQ(font_scale, 7);
  pop_text_state();
  EXPECT_EQ(line_gap, 1);
  EXPECT_EQ(char_gap, 2);
  EXPECT_EQ(font_scale, 3);
  EXPECT_EXIT(pop_text_state(), ::testing::ExitedWithCode(100), "failed ASSERT\\(num>0\\)");
}

struct BadImage {
  const char* name;
  std::string bytes;
  const char* message;
};

TEST_F(SysFontTest, BadFontImagesAreFatal) {
  const BadImage cases[] = {
      {"not an image", "hello", "can't load font.tga"},
      {"no pixels", tga32(0, 0, {}), "expected 16x16 font grid in font.tga, got 0x0 image"},
      {"no rows", tga32(128, 0, {}), "expected 16x16 font grid in font.tga, got 128x0 image"},
      {"not a grid of 16", tga32(100, 128, std::vector<uint32_t>(100 * 128, INK)),
       "expected 16x16 font grid in font.tga, got 100x128 image"},
  };
  for (const BadImage& c : cases) {
    writeFile("font.tga", c.bytes);
    EXPECT_EXIT(
        {
          startDevice(320, 240);
          init_font();
        },
        ::testing::ExitedWithCode(100), c.message)
        << c.name;
  }
}

}  // namespace
