// Distance-field fonts, icon sets and bitmap fonts: descriptions and their failures,
// tables, measuring, layout, caret positions and the vertices written into batches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/gui/bitmap_font.h"
#include "engine/gui/dist_font.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dynVBWriter.h"
#include "platform/d3d9/d3d9_impl.h"  // the constants the device holds
#include "text_fixture.h"

namespace {

// A small font: size 10, spread 2, line height 12, a 64 x 32 page.
//   space: advance 4; 'a': 8 x 10 quad, xoffset -2, yoffset 8, advance 5;
//   'b': 10 x 12, -2, 10, advance 7; 'c' lies right of and below the pen;
//   U+FFFD: 8 x 8, -2, 6, advance 5. Kerning a-b -1, b-a 0.5, a-a -0.5 (a's pairs in two runs).
const char* const font_lines[] = {
    "info face=\"Fixture\" size=10 spread=2",
    "common lineHeight=12 base=0 scaleW=64 scaleH=32",
    "page id=0 file=\"fix/page.png\"",
    "chars count=5",
    "char id=32 x=0 y=0 width=0 height=0 xoffset=0 yoffset=0 xadvance=4",
    "char id=97 x=0 y=0 width=8 height=10 xoffset=-2 yoffset=8 xadvance=5",
    "char id=98 x=8 y=0 width=10 height=12 xoffset=-2 yoffset=10 xadvance=7",
    "char id=99 x=28 y=0 width=6 height=6 xoffset=3 yoffset=-2 xadvance=6",
    "char id=65533 x=20 y=0 width=8 height=8 xoffset=-2 yoffset=6 xadvance=5",
    "kernings count=3",
    "kerning first=97 second=98 amount=-1",
    "kerning first=98 second=97 amount=0.5",
    "kerning first=97 second=97 amount=-0.5",
};

std::string join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

std::vector<std::string> fixture_font() { return std::vector<std::string>(std::begin(font_lines), std::end(font_lines)); }

void expect_rect(__m128 got, float x0, float y0, float x1, float y1, const std::string& what = "") {
  EXPECT_FLOAT_EQ(v_x(got), x0) << what;
  EXPECT_FLOAT_EQ(v_y(got), y0) << what;
  EXPECT_FLOAT_EQ(v_z(got), x1) << what;
  EXPECT_FLOAT_EQ(v_w(got), y1) << what;
}

class DistFontTest : public TextTest {
protected:
  void SetUp() override {
    TextTest::SetUp();
    startDevice(320, 200);
    writeFile("fix/page.png.dds", l8_dds(64, 32, std::vector<uint8_t>(64 * 32, 0)));
    writeFile("fix/font.fnt", join(fixture_font()));
  }
  void TearDown() override {
    font.clear();
    TextTest::TearDown();
  }
  DistFont font;
};

// ---- loading -----------------------------------------------------------------------

TEST_F(DistFontTest, LoadsTheDescriptionAndItsPage) {
  ASSERT_TRUE(font.load("fix/font.fnt"));
  EXPECT_EQ(font.size, 10);
  EXPECT_EQ(font.spread, 2);
  EXPECT_EQ(font.lineHeight, 12);
  EXPECT_FLOAT_EQ(font.invScaleW, 1.0f / 64);
  EXPECT_FLOAT_EQ(font.invScaleH, 1.0f / 32);
  ASSERT_NE(font.texture, nullptr);
  EXPECT_EQ(get_texture_width(font.texture), 64);
  ASSERT_EQ(font.glyphs.size(), 5);
  // x and y become texture coordinates; the rest stays in the file's units.
  EXPECT_FLOAT_EQ(font.glyphs[2].u, 8.0f / 64);
  EXPECT_FLOAT_EQ(font.glyphs[2].width, 10);
  EXPECT_FLOAT_EQ(font.glyphs[2].yoffset, 10);
  // 32 alone, 97..99 in one run, 65533 alone.
  ASSERT_EQ(font.ranges.size(), 3);
  EXPECT_EQ(font.ranges[1].first, 97);
  EXPECT_EQ(font.ranges[1].end, 100);
  EXPECT_EQ(font.ranges[1].base, 1);
  // a's pairs are split by b's: two runs for a, both searched.
  ASSERT_EQ(font.kerningRuns.size(), 3);
  EXPECT_FLOAT_EQ(font.kerning('a', 'b'), -1);
  EXPECT_FLOAT_EQ(font.kerning('a', 'a'), -0.5f);
  EXPECT_FLOAT_EQ(font.kerning('b', 'a'), 0.5f);
  EXPECT_FLOAT_EQ(font.kerning('b', 'b'), 0);
  EXPECT_FLOAT_EQ(font.kerning(-1, 'a'), 0);
  // Loaded before init_dist_fonts: no batch state of its own.
  EXPECT_EQ(font.batchState, nullptr);
}

TEST_F(DistFontTest, GetsABatchStateOnceTheShaderExists) {
  init_dist_fonts();
  ASSERT_TRUE(font.load("fix/font.fnt"));
  ASSERT_NE(font.batchState, nullptr);
  EXPECT_EQ(font.batchState->stride, 28);
  EXPECT_EQ(font.batchState->texture, font.texture);
  EXPECT_EQ(font.batchState->shader, dist_font_shader);
  // Loading again replaces everything (the page is shared by name, counted once).
  ASSERT_TRUE(font.load("fix/font.fnt"));
  EXPECT_EQ(get_texture_refcount(font.texture), 1);
  EXPECT_EQ(font.glyphs.size(), 5);
}

// A line of 300 bytes: past the 256-byte line buffer.
const std::string long_face_line = "info face=\"" + std::string(270, 'F') + "\" size=10 spread=2";

struct BadFont {
  const char* name;
  int line;          // the line replaced (or -1: none)
  const char* text;  // its replacement; null removes it
};

TEST_F(DistFontTest, RefusesBrokenDescriptions) {
  const BadFont cases[] = {
      {"base other than 0", 1, "common lineHeight=12 base=32 scaleW=64 scaleH=32"},
      {"base 00", 1, "common lineHeight=12 base=00 scaleW=64 scaleH=32"},
      {"char line with 7 numbers", 5, "char id=97 x=0 y=0 width=8 height=10 xoffset=-2 yoffset=8"},
      {"negative chars count", 3, "chars count=-1"},
      {"chars count above 65536", 3, "chars count=65537"},
      {"more chars announced than given", 3, "chars count=6"},
      {"negative kernings count", 9, "kernings count=-5"},
      {"kernings count above 65536", 9, "kernings count=70000"},
      {"size 0", 0, "info face=\"Fixture\" size=0 spread=2"},
      {"negative size", 0, "info face=\"Fixture\" size=-10 spread=2"},
      {"spread 0", 0, "info face=\"Fixture\" size=10 spread=0"},
      {"page width 0", 1, "common lineHeight=12 base=0 scaleW=0 scaleH=32"},
      {"no page line", 2, nullptr},
      {"no kernings line", 9, nullptr},
      {"face name past the line buffer", 0, long_face_line.c_str()},
      {"empty file", -2, nullptr},
  };
  for (const BadFont& c : cases) {
    std::vector<std::string> lines = fixture_font();
    if (c.line == -2) lines.clear();
    if (c.line >= 0) {
      if (c.text)
        lines[c.line] = c.text;
      else
        lines.erase(lines.begin() + c.line);
    }
    writeFile("fix/bad.fnt", join(lines));
    DistFont f;
    EXPECT_FALSE(f.load("fix/bad.fnt")) << c.name;
    EXPECT_EQ(f.texture, nullptr) << c.name;
    EXPECT_EQ(f.batchState, nullptr) << c.name;
  }
}

TEST_F(DistFontTest, AFailedLoadKeepsWhatWasReadAndStaysUsable) {
  std::vector<std::string> lines = fixture_font();
  lines.erase(lines.begin() + 9);  // no kernings line after the glyphs
  writeFile("fix/nokernings.fnt", join(lines));
  ASSERT_FALSE(font.load("fix/nokernings.fnt"));
  EXPECT_EQ(font.glyphs.size(), 5);
  int n = -1;
  __m128 box = font.calcTextBox("ab", -1, &n);
  EXPECT_EQ(n, 2);
  expect_rect(box, 0, -8, 11, 0);  // b one further right: no kerning was read
}

TEST_F(DistFontTest, MissingFilesAndOverlongPathsFailWithoutEndingTheProgram) {
  EXPECT_FALSE(font.load("fix/absent.fnt"));
  std::string longPath(300, 'x');
  EXPECT_FALSE(font.load(longPath.c_str()));
  EXPECT_FALSE(font.load(nullptr));
}

// A page is a texture the game needs: one that cannot be loaded ends the program with
// the texture loader's message, for fonts and icon sets alike.
TEST_F(DistFontTest, APageThatCannotBeLoadedIsFatal) {
  const struct {
    const char* what;
    const char* description;  // fix/font.fnt or fix/icons.txt, reading fix/page.png.dds
    const char* page;         // the page's bytes; null: no page file
    const char* message;
  } cases[] = {
      {"random bytes", "fix/font.fnt", "\x13\x37 not a texture at all", "Texture 'fix/page.png.dds' is not a DDS"},
      {"empty", "fix/font.fnt", "", "Texture 'fix/page.png.dds' is not a DDS"},
      {"a DDS header cut short", "fix/font.fnt", "DDS \x7c", "Texture 'fix/page.png.dds' is not a DDS"},
      {"missing", "fix/font.fnt", nullptr, "Error loading file 'fix/page.png.dds'"},
      {"icons, random bytes", "fix/icons.txt", "\x13\x37 not a texture at all",
       "Texture 'fix/page.png.dds' is not a DDS"},
  };
  writeFile("fix/icons.txt", "info file=\"fix/page.png\" scaleW=64 scaleH=32 spread=2\nicons count=0\n");
  for (const auto& c : cases) {
    if (c.page)
      writeFile("fix/page.png.dds", c.page);
    else
      std::remove((home + "fix/page.png.dds").c_str());
    EXPECT_EXIT(
        {
          if (strstr(c.description, ".fnt"))
            DistFont().load(c.description);
          else
            DistIcons().load(c.description);
          exit(0);
        },
        ::testing::ExitedWithCode(100), c.message)
        << c.what;
  }
}

// Loaded again once its page file broke, a font keeps the page it has: the page is
// not read again. So does a new font of the same page while the engine holds the
// textures over a module reload, after the old font is gone.
TEST_F(DistFontTest, LoadedAgainAfterItsPageBrokeAFontKeepsThePage) {
  ASSERT_TRUE(font.load("fix/font.fnt"));
  Texture* page = font.texture;
  writeFile("fix/page.png.dds", "\x13\x37 not a texture at all");
  ASSERT_TRUE(font.load("fix/font.fnt"));
  EXPECT_EQ(font.texture, page);
  EXPECT_EQ(get_texture_refcount(page), 1);
  EXPECT_EQ(get_texture_width(page), 64);

  hold_named_textures();
  font.clear();
  DistFont reloaded;
  ASSERT_TRUE(reloaded.load("fix/font.fnt"));
  release_held_textures();
  EXPECT_EQ(reloaded.texture, page);
  EXPECT_EQ(get_texture_refcount(page), 1);
  EXPECT_EQ(get_texture_width(page), 64);
}

TEST_F(DistFontTest, IdsInAnyOrderGiveTheSameLookups) {
  // 32..126 in order make one range; with 65 moved to the end, three.
  auto description = [](bool moved) {
    std::vector<std::string> lines = {"info face=\"Seq\" size=10 spread=2",
                                      "common lineHeight=12 base=0 scaleW=64 scaleH=32",
                                      "page id=0 file=\"fix/page.png\"", "chars count=95"};
    std::vector<int> ids;
    for (int id = 32; id <= 126; id++)
      if (!moved || id != 65) ids.push_back(id);
    if (moved) ids.push_back(65);
    for (int id : ids)
      lines.push_back("char id=" + std::to_string(id) + " x=0 y=0 width=1 height=1 xoffset=0 yoffset=0 xadvance=" +
                      std::to_string(id));
    lines.push_back("kernings count=0");
    return join(lines);
  };
  writeFile("fix/ordered.fnt", description(false));
  writeFile("fix/moved.fnt", description(true));
  DistFont ordered, moved;
  ASSERT_TRUE(ordered.load("fix/ordered.fnt"));
  ASSERT_TRUE(moved.load("fix/moved.fnt"));
  EXPECT_EQ(ordered.ranges.size(), 1);
  EXPECT_EQ(moved.ranges.size(), 3);
  for (int cp = 32; cp <= 126; cp++) {
    int u1, u2;
    const DistGlyph* a = ordered.findGlyph(cp, &u1);
    const DistGlyph* b = moved.findGlyph(cp, &u2);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->xadvance, cp);
    EXPECT_EQ(b->xadvance, cp);
  }
}

// ---- measuring -----------------------------------------------------------------------

struct BoxCase {
  const char* name;
  std::string text;
  float x0, y0, x1, y1;
  int count;
};

TEST_F(DistFontTest, MeasuresTheVisibleGlyphs) {
  ASSERT_TRUE(font.load("fix/font.fnt"));
  const BoxCase cases[] = {
      {"empty", "", 0, 0, 0, 0, 0},
      {"spaces only: no quad, no shrink", "   ", 0, 0, 0, 0, 0},
      {"one glyph, shrunk by the spread", "a", 0, -6, 4, 0, 1},
      {"kerning moves b left", "ab", 0, -8, 10, 0, 2},
      {"second line one line height down", "a\nb", 0, -6, 6, 12, 2},
      {"missing character drawn as U+FFFD", "\xE2\x82\xAC", 0, -4, 4, 0, 1},
      {"invalid byte drawn as U+FFFD", "\xFF", 0, -4, 4, 0, 1},
      {"origin stays inside", "c", 2, 2, 7, 6, 1},
  };
  for (const BoxCase& c : cases) {
    int n = -1;
    expect_rect(font.calcTextBox(c.text.c_str(), -1, &n), c.x0, c.y0, c.x1, c.y1, c.name);
    EXPECT_EQ(n, c.count) << c.name;
  }
  // The length counts bytes; the count pointer may be null.
  expect_rect(font.calcTextBox("abab", 1, nullptr), 0, -6, 4, 0, "len 1");
}

TEST_F(DistFontTest, WithoutTheReplacementGlyphUnknownCharactersTakeNoSpace) {
  std::vector<std::string> lines = fixture_font();
  lines.erase(lines.begin() + 8);
  lines[3] = "chars count=4";
  writeFile("fix/nofffd.fnt", join(lines));
  ASSERT_TRUE(font.load("fix/nofffd.fnt"));
  int n = -1;
  // 'a' then nothing for the euro sign, then 'a' with the kerning of (U+FFFD, a): none.
  __m128 with = font.calcTextBox("a\xE2\x82\xAC" "a", -1, &n);
  EXPECT_EQ(n, 2);
  expect_rect(with, 0, -6, 9, 0);
  // Straight after another 'a' the pair a-a kerns by -0.5.
  expect_rect(font.calcTextBox("aa", -1, nullptr), 0, -6, 8.5f, 0);
}

// ---- layout --------------------------------------------------------------------------

class DistLayoutTest : public DistFontTest {
protected:
  void SetUp() override {
    DistFontTest::SetUp();
    init_dist_fonts();
    ASSERT_TRUE(font.load("fix/font.fnt"));
  }
  RenderBatch batch;

  std::vector<DistTextVertex> render(const char* text, __m128 rect, int flags, float size) {
    batch.clear();
    font.renderText(batch, rect, flags, 0xFFFFFFFF, size, text, -1, 0, 0, 0, 0, 0xFF000000, nullptr);
    return batch_vertices<DistTextVertex>(batch);
  }
  // The quad of glyph i: (x0, y0, x1, y1) from its vertices.
  static __m128 quad(const std::vector<DistTextVertex>& v, int i) {
    return v_make(v[i * 6].x, v[i * 6].y, v[i * 6 + 2].x, v[i * 6 + 2].y);
  }
};

TEST_F(DistLayoutTest, AlignsTheScaledTextInItsRectangle) {
  __m128 rect = v_make(100, 50, 200, 90);
  // Size 20 is twice the font's: every offset, advance and kerning doubles.
  // Box of "ab" scaled: (0, -16, 20, 0).
  struct AlignCase {
    int flags;
    float x, y;  // the aligned pen
  } cases[] = {
      {TEXT_LEFT | TEXT_TOP, 100, 66},
      {TEXT_RIGHT | TEXT_BOTTOM, 180, 90},
      {0, 140, 78},
      {3 | 12, 140, 78},
  };
  for (const AlignCase& c : cases) {
    std::vector<DistTextVertex> v = render("ab", rect, c.flags, 20);
    ASSERT_EQ(v.size(), 12u) << c.flags;
    expect_rect(quad(v, 0), c.x - 4, c.y - 16, c.x + 12, c.y + 4, "a");
    // b: pen at x + 10, kerned by -2, xoffset -4.
    expect_rect(quad(v, 1), c.x + 4, c.y - 20, c.x + 24, c.y + 4, "b");
  }
}

TEST_F(DistLayoutTest, WritesTheGlyphsTextureCoordinatesColoursAndShape) {
  batch.clear();
  // spreadPx = 4: alpha 0.5 - 0.25/4 = 0.4375; red 0.5 - 1/64*1*10*0.32 = 0.45;
  // green 0.5; blue 0.5 - 4*0.25/4 = 0.25.
  font.renderText(batch, v_make(0, 0, 100, 100), TEXT_LEFT | TEXT_TOP, 0x80FF0000, 20, "b", -1, 0, 1, 0, 3,
                  0xFF00FF00, nullptr);
  std::vector<DistTextVertex> v = batch_vertices<DistTextVertex>(batch);
  ASSERT_EQ(v.size(), 6u);
  const float uL = 8.0f / 64, uR = 18.0f / 64, vT = 0, vB = 12.0f / 32;
  const float uv[6][2] = {{uL, vT}, {uR, vT}, {uR, vB}, {uL, vT}, {uR, vB}, {uL, vB}};
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].u, uv[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].v, uv[i][1]) << i;
    EXPECT_EQ(v[i].color, 0x80FF0000u);
    EXPECT_EQ(v[i].color2, 0xFF00FF00u);
    EXPECT_EQ(v[i].shape, 0x70738040u) << std::hex << v[i].shape;
  }
  // The six corners: two triangles sharing the diagonal.
  EXPECT_EQ(v[0].x, v[3].x);
  EXPECT_EQ(v[2].x, v[4].x);
  EXPECT_EQ(v[5].x, v[0].x);
  EXPECT_EQ(v[5].y, v[2].y);
}

TEST_F(DistLayoutTest, TheItemRectangleEnclosesThePaddedQuads) {
  batch.clear();
  font.renderText(batch, v_make(100, 50, 200, 90), TEXT_LEFT | TEXT_TOP, 0xFFFFFFFF, 20, "ab", -1, 0, 0, 0, 0, 0,
                  nullptr);
  ASSERT_EQ(batch.groups.size(), 1);
  RenderBatchItem* item = batch.groups[0].first;
  expect_rect(item->rect, 96, 46, 124, 70);
  EXPECT_EQ(item->bytes, 2 * 168);
  EXPECT_EQ(item->prims, 4);
}

TEST_F(DistLayoutTest, CentresEachLineOnlyWithFlagsZero) {
  // "ab" is 10 wide, "a" 4: the block is centred at x 45 (y 48) in all three; with
  // flags 0 the second line moves right by (10 - 4) / 2.
  __m128 rect = v_make(0, 0, 100, 100);
  struct LineCase {
    int flags;
    float line1, line2;  // left edge of each line's 'a' quad
  } cases[] = {{0, 43, 46}, {3, 43, 43}, {TEXT_LEFT, -2, -2}};
  for (const LineCase& c : cases) {
    std::vector<DistTextVertex> v = render("ab\na", rect, c.flags | (c.flags == TEXT_LEFT ? 0 : 0), 10);
    ASSERT_EQ(v.size(), 18u);
    EXPECT_FLOAT_EQ(v_x(quad(v, 0)), c.line1) << c.flags;
    EXPECT_FLOAT_EQ(v_x(quad(v, 2)), c.line2) << c.flags;
    EXPECT_FLOAT_EQ(v_y(quad(v, 2)), 60 - 8) << c.flags;
  }
}

TEST_F(DistLayoutTest, CaretPositionsFollowTheLayout) {
  __m128 rect = v_make(0, 0, 100, 100);
  struct PosCase {
    int flags, index;
    float x, y;
  } cases[] = {
      {TEXT_LEFT | TEXT_TOP, -1, 0, -4},  // one line above the first
      {TEXT_LEFT | TEXT_TOP, 0, 0, 8},
      {TEXT_LEFT | TEXT_TOP, 1, 0, 8},    // 0 and 1 both give the start
      {TEXT_LEFT | TEXT_TOP, 2, 5, 8},
      {TEXT_LEFT | TEXT_TOP, 3, 11, 8},   // after "ab" kerned by -1
      {TEXT_LEFT | TEXT_TOP, 4, 0, 20},   // the second line's start
      {TEXT_LEFT | TEXT_TOP, 5, 5, 20},   // past the end: after the last character
      {TEXT_TOP, -1, 45, -4},             // the block's x, no line centring
      {TEXT_TOP, 4, 48, 20},              // the second line centred
  };
  for (const PosCase& c : cases) {
    __m128 p = font.getTextPos(c.index, rect, c.flags, 10, "ab\na", -1);
    EXPECT_FLOAT_EQ(v_x(p), c.x) << c.flags << " " << c.index;
    EXPECT_FLOAT_EQ(v_y(p), c.y) << c.flags << " " << c.index;
  }
  // Multi-byte characters: index 2 ends inside the two-byte character, so the pen
  // stands in front of it.
  __m128 p = font.getTextPos(2, rect, TEXT_LEFT | TEXT_TOP, 10, "a\xC3\xA9" "a", -1);
  EXPECT_FLOAT_EQ(v_x(p), 5);
}

TEST_F(DistLayoutTest, UnknownTextReservesAnEmptyItem) {
  batch.clear();
  font.renderText(batch, v_make(0, 0, 10, 10), 0, 0xFFFFFFFF, 10, " ", -1, 0, 0, 0, 0, 0, nullptr);
  ASSERT_EQ(batch_items(batch), 1);
  EXPECT_EQ(batch.groups[0].first->bytes, 0);
  EXPECT_EQ(batch.groups[0].first->prims, 0);
}

TEST_F(DistLayoutTest, ALongTextGoesInAsSeveralItemsThatRender) {
  // 168 bytes a glyph: a 65,536-byte ring buffer holds 390; 1000 glyphs make three items.
  std::string text(1000, 'a');
  batch.clear();
  font.renderText(batch, v_make(0, 0, 320, 200), TEXT_LEFT | TEXT_TOP, 0xFFFFFFFF, 2, text.c_str(), -1, 0, 0, 0,
                  0, 0, nullptr);
  ASSERT_EQ(batch.groups.size(), 1);
  std::vector<int> sizes;
  for (RenderBatchItem* it = batch.groups[0].first; it; it = it->next) sizes.push_back(it->bytes / 168);
  EXPECT_EQ(sizes, (std::vector<int>{390, 390, 220}));
  EXPECT_EQ(batch_vertices<DistTextVertex>(batch).size(), 6000u);
  beginFrame(0xFF000000);
  start_dist_font_render();
  batch.render();
  end_dist_font_render();
  endFrame();
}

TEST_F(DistLayoutTest, WithoutAnyBatchStateNothingIsAdded) {
  DistFont early;  // loaded as if before init_dist_fonts
  dist_font_shader = nullptr;
  ASSERT_TRUE(early.load("fix/font.fnt"));
  ASSERT_EQ(early.batchState, nullptr);
  batch.clear();
  early.renderText(batch, v_make(0, 0, 10, 10), 0, 0xFFFFFFFF, 10, "ab", -1, 0, 0, 0, 0, 0, nullptr);
  EXPECT_EQ(batch.groups.size(), 0);
  // A state given by the caller is used.
  early.renderText(batch, v_make(0, 0, 10, 10), 0, 0xFFFFFFFF, 10, "ab", -1, 0, 0, 0, 0, 0, font.batchState);
  EXPECT_EQ(batch_vertices<DistTextVertex>(batch).size(), 12u);
}

// ---- icons ----------------------------------------------------------------------------

class DistIconsTest : public DistFontTest {
protected:
  void SetUp() override {
    DistFontTest::SetUp();
    writeFile("fix/icons.png.dds", l8_dds(64, 32, std::vector<uint8_t>(64 * 32, 0)));
    writeFile("fix/icons.txt", join(lines));
  }
  std::vector<std::string> lines = {
      "info file=\"fix/icons.png\" scaleW=64 scaleH=32 spread=2",
      "icons count=3",
      "icon \"Heart\" 16 16 0 0 20 20 -10 10",
      "icon \"heart\" 12 14 20 0 20 20 -10 10",
      "icon \"heart\" 30 30 40 0 10 10 -5 5",
  };
  DistIcons icons;
};

TEST_F(DistIconsTest, FindsIconsByExactNameAndReportsTheirSourceSize) {
  ASSERT_TRUE(icons.load("fix/icons.txt"));
  EXPECT_EQ(icons.getIconId("Heart"), 0);
  EXPECT_EQ(icons.getIconId("heart"), 1);  // the first of two
  EXPECT_EQ(icons.getIconId("HEART"), -1);
  EXPECT_EQ(icons.getIconId(""), -1);
  EXPECT_FLOAT_EQ(icons.getOrgW(1), 12);
  EXPECT_FLOAT_EQ(icons.getOrgH(1), 14);
  EXPECT_FLOAT_EQ(icons.getOrgW(-1), 0);
  EXPECT_FLOAT_EQ(icons.getOrgH(3), 0);
  EXPECT_FLOAT_EQ(icons.icons[1].u, 20.0f / 64);
  icons.clear();
  EXPECT_EQ(icons.getIconId("Heart"), -1);
  EXPECT_EQ(icons.texture, nullptr);
}

TEST_F(DistIconsTest, RefusesBrokenDescriptions) {
  const BadFont cases[] = {
      {"three fields in info", 0, "info file=\"fix/icons.png\" scaleW=64 scaleH=32"},
      {"spread 0", 0, "info file=\"fix/icons.png\" scaleW=64 scaleH=32 spread=0"},
      {"negative count", 1, "icons count=-1"},
      {"count above 65536", 1, "icons count=65537"},
      {"icon line with 8 numbers", 2, "icon \"Heart\" 16 16 0 0 20 20 -10"},
      {"more icons announced than given", 1, "icons count=4"},
  };
  for (const BadFont& c : cases) {
    std::vector<std::string> bad = lines;
    bad[c.line] = c.text;
    writeFile("fix/bad.txt", join(bad));
    DistIcons set;
    EXPECT_FALSE(set.load("fix/bad.txt")) << c.name;
    EXPECT_EQ(set.texture, nullptr) << c.name;
  }
}

TEST_F(DistIconsTest, WritesOneTransformedQuad) {
  init_dist_icons();
  ASSERT_TRUE(icons.load("fix/icons.txt"));
  ASSERT_NE(icons.batchState, nullptr);
  EXPECT_EQ(icons.batchState->stride, 40);
  RenderBatch batch;
  // Upright at twice the texels: corners 20 from the centre (100, 50).
  icons.renderIcon(batch, v_make(100, 50, 1, 0), 2, 1, 0, 0, 0, 0, 1, 2, 3, 4, 5, nullptr);
  std::vector<DistIconVertex> v = batch_vertices<DistIconVertex>(batch);
  ASSERT_EQ(v.size(), 6u);
  const float corners[6][2] = {{80, 30}, {120, 30}, {120, 70}, {80, 30}, {120, 70}, {80, 70}};
  const float uL = 20.0f / 64, uR = 40.0f / 64, vB = 20.0f / 32;
  const float uv[6][2] = {{uL, 0}, {uR, 0}, {uR, vB}, {uL, 0}, {uR, vB}, {uL, vB}};
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].x, corners[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, corners[i][1]) << i;
    EXPECT_FLOAT_EQ(v[i].u, uv[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].v, uv[i][1]) << i;
    EXPECT_EQ(v[i].c0, 1u);
    EXPECT_EQ(v[i].c1, 2u);
    EXPECT_EQ(v[i].c4, 5u);
    // k = 1/4: alpha (1 - 0.5/4) / 2 = 0.4375, red and green 0.5, blue as alpha.
    EXPECT_EQ(v[i].shape, 0x70808070u) << std::hex << v[i].shape;
  }
  expect_rect(batch.groups[0].first->rect, 78, 28, 122, 72);

  // A quarter turn: local (lx, ly) goes to (-ly, lx); the rectangle bounds the turned quad.
  batch.clear();
  icons.renderIcon(batch, v_make(0, 0, 0, 1), 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  v = batch_vertices<DistIconVertex>(batch);
  ASSERT_EQ(v.size(), 6u);
  // Icon 2: left -5, right 5, top -5, bottom 5; left-top (-5, -5) turns to (5, -5).
  EXPECT_FLOAT_EQ(v[0].x, 5);
  EXPECT_FLOAT_EQ(v[0].y, -5);
  expect_rect(batch.groups[0].first->rect, -7, -7, 7, 7);

  // Outside the table: nothing.
  batch.clear();
  icons.renderIcon(batch, v_make(0, 0, 1, 0), 1, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  icons.renderIcon(batch, v_make(0, 0, 1, 0), 1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  EXPECT_EQ(batch.groups.size(), 0);
}

TEST_F(DistIconsTest, WithoutAnyBatchStateNothingIsAdded) {
  dist_icon_shader = nullptr;
  ASSERT_TRUE(icons.load("fix/icons.txt"));
  RenderBatch batch;
  icons.renderIcon(batch, v_make(0, 0, 1, 0), 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  EXPECT_EQ(batch.groups.size(), 0);
}

// ---- bitmap fonts ------------------------------------------------------------------------

TEST_F(DistFontTest, BitmapFontsDrawPlainQuadsScaledByAWholeSize) {
  init_bitmap_fonts();
  BitmapFont bitmap;
  ASSERT_TRUE(bitmap.load("fix/font.fnt"));
  ASSERT_NE(bitmap.batchState, nullptr);
  EXPECT_NE(dynamic_cast<BitmapFontBatchState*>(bitmap.batchState), nullptr);
  EXPECT_EQ(bitmap.batchState->stride, 20);
  RenderBatch batch;
  // Size 2: "ab" box (0, -16, 20, 0); left and top at (10, 30): pen (10, 46).
  bitmap.renderText(batch, v_make(10, 30, 200, 200), TEXT_LEFT | TEXT_TOP, 0xFF112233, 2, "ab", -1, nullptr);
  std::vector<UiVertex> v = batch_vertices<UiVertex>(batch);
  ASSERT_EQ(v.size(), 12u);
  EXPECT_FLOAT_EQ(v[0].x, 6);
  EXPECT_FLOAT_EQ(v[0].y, 30);
  EXPECT_FLOAT_EQ(v[2].x, 22);
  EXPECT_FLOAT_EQ(v[2].y, 50);
  EXPECT_FLOAT_EQ(v[6].x, 14);  // b: pen 20, kerned by -2, xoffset -4
  EXPECT_FLOAT_EQ(v[2].u, 8.0f / 64);
  EXPECT_FLOAT_EQ(v[2].v, 10.0f / 32);
  EXPECT_EQ(v[0].color, 0xFF112233u);
  // The item's rectangle holds the padded quads: the box grown by spread * size.
  expect_rect(batch.groups[0].first->rect, 6, 26, 34, 50);
  bitmap.clear();
}

// The bitmap shader's constant 16: the page's size in texels, its height negative for
// every font but the GUI's default one (the shader lights the others' glyphs).
TEST_F(DistFontTest, BitmapFontStateGivesThePageSizeSignedByTheDefaultFont) {
  init_bitmap_fonts();
  BitmapFont bitmap;
  ASSERT_TRUE(bitmap.load("fix/font.fnt"));
  ASSERT_NE(bitmap.batchState, nullptr);
  auto constant_16 = [] {
    const float* c = d3d9_live_device->vs_consts[16];
    return std::vector<float>(c, c + 4);
  };
  Texture* saved_default = default_font.texture;
  struct Case {
    const char* what;
    Texture* default_texture;
    std::vector<float> expected;
  } cases[] = {
      {"another font's page", nullptr, {64, -32, 0, 0}},
      {"the default font's page", bitmap.texture, {64, 32, 0, 0}},
  };
  for (const Case& c : cases) {
    default_font.texture = c.default_texture;
    d3d9_live_device->vs_consts[16][0] = 123;  // stale
    bitmap.batchState->apply(nullptr);
    EXPECT_EQ(constant_16(), c.expected) << c.what;
    bitmap.batchState->finish();
  }
  default_font.texture = saved_default;
  bitmap.clear();
}

TEST_F(DistFontTest, BitmapFontsCentreEveryLineWhenCentred) {
  init_bitmap_fonts();
  BitmapFont bitmap;
  ASSERT_TRUE(bitmap.load("fix/font.fnt"));
  RenderBatch batch;
  bitmap.renderText(batch, v_make(0, 0, 100, 100), 0, 0xFFFFFFFF, 1, "ab\na", -1, nullptr);
  std::vector<UiVertex> v = batch_vertices<UiVertex>(batch);
  ASSERT_EQ(v.size(), 18u);
  EXPECT_FLOAT_EQ(v[0].x, 43);
  EXPECT_FLOAT_EQ(v[12].x, 46);
  batch.clear();
  bitmap.renderText(batch, v_make(0, 0, 100, 100), TEXT_LEFT, 0xFFFFFFFF, 1, "ab\na", -1, nullptr);
  v = batch_vertices<UiVertex>(batch);
  EXPECT_FLOAT_EQ(v[0].x, -2);
  EXPECT_FLOAT_EQ(v[12].x, -2);
  bitmap.clear();
}

}  // namespace
