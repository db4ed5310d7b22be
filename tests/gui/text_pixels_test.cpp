// Pixels on a headless device, compared with pictures the tests compute: system-font
// text and its shadow, rectangles, the splash, the visual log and error message, the
// statistics overlay, a distance-field word with its shadow, and rounded boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/core/stats.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/splash.h"
#include "engine/gui/sys_font.h"
#include "engine/gui/ui_draw.h"
#include "engine/gui/visual_log.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_states.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/image.h"
#include "text_fixture.h"

namespace {

// A picture in back-buffer pixels, top row first.
struct Picture {
  int w, h;
  std::vector<uint32_t> px;
  uint32_t& at(int x, int y) { return px[(size_t)y * w + x]; }
};

// Bottom-left-origin (system font) coordinates to a row index from the top.
int row_of(int yUp) { return d3d_ht - 1 - yUp; }

int channel_blend(int src, int dst, int alpha) { return (int)std::lround(src * alpha / 255.0 + dst * (1 - alpha / 255.0)); }

uint32_t blend(uint32_t src, uint32_t dst) {
  int a = (int)(src >> 24);
  return 0xFF000000u | (uint32_t)channel_blend(red(src), red(dst), a) << 16 |
         (uint32_t)channel_blend(green(src), green(dst), a) << 8 | (uint32_t)channel_blend(blue(src), blue(dst), a);
}

bool near(uint32_t a, uint32_t b, int tolerance = 2) {
  return std::abs(red(a) - red(b)) <= tolerance && std::abs(green(a) - green(b)) <= tolerance &&
         std::abs(blue(a) - blue(b)) <= tolerance;
}

// Pixels that differ from the expected picture, with the first few listed.
int count_differences(const std::vector<uint32_t>& got, Picture& want, std::string* first) {
  int n = 0;
  for (int y = 0; y < want.h; y++)
    for (int x = 0; x < want.w; x++)
      if (!near(got[(size_t)y * want.w + x], want.at(x, y))) {
        if (n++ < 5) {
          char line[96];
          snprintf(line, sizeof(line), "(%d,%d) got %08X want %08X; ", x, y, got[(size_t)y * want.w + x],
                   want.at(x, y));
          *first += line;
        }
      }
  return n;
}

class TextPixelsTest : public TextTest {
protected:
  void TearDown() override {
    close_font();
    TextTest::TearDown();
  }
};

// The expected picture of system-font text: each visible byte's shadow (one right,
// one down, black at half the colour's alpha) and then its glyph, texel by texel.
void expect_system_text(Picture& pic, const DynArray<uint32_t>& font, int fontW, const char* text, int left,
                        int bottom, D3dColor color) {
  int pen = left;
  for (const char* p = text; *p; p++) {
    const FontGlyph& g = font_glyphs[(uint8_t)*p];
    if (*p != ' ') {
      for (int pass = 0; pass < 2; pass++) {
        int ox = pass == 0 ? 1 : 0, oy = pass == 0 ? -1 : 0;
        D3dColor c = pass == 0 ? (color >> 1) & 0x7F000000 : color;
        for (int ty = g.y0; ty < g.y1; ty++)
          for (int tx = g.x0; tx < g.x1; tx++) {
            if (!(font[ty * fontW + tx] >> 24)) continue;
            for (int s = 0; s < font_scale * font_scale; s++) {
              int x = pen + ox + (tx - g.x0) * font_scale + s % font_scale;
              int y = bottom + oy + (ty - g.y0) * font_scale + s / font_scale;
              pic.at(x, row_of(y)) = blend(c, pic.at(x, row_of(y)));
            }
          }
      }
    }
    pen += (g.x1 - g.x0 + 1) * font_scale + char_gap;
  }
}

TEST_F(TextPixelsTest, SystemFontTextAndItsShadow) {
  startDevice(160, 60);
  init_font();
  DynArray<uint32_t> font;
  int fw = 0, fh = 0;
  ASSERT_TRUE(load_tga("font.tga", &fw, &fh, font));
  for (int scale : {1, 2}) {
    font_scale = scale;
    const D3dColor bg = 0xFF406080, color = 0xFFFFE000;
    beginFrame(bg);
    start_draw_text();
    draw_text("Hi, gy!", -1, 10, 20, -1, -1, color);
    end_draw_text();
    endFrame();
    Picture want{160, 60, std::vector<uint32_t>(160 * 60, bg)};
    expect_system_text(want, font, fw, "Hi, gy!", 10, 20, color);
    std::string first;
    EXPECT_EQ(count_differences(readBackBuffer(), want, &first), 0) << "scale " << scale << ": " << first;
    keepPicture("system_text_" + std::to_string(scale));
  }
}

TEST_F(TextPixelsTest, SolidRectanglesAreExact) {
  startDevice(64, 48);
  init_font();
  beginFrame(0xFF000000);
  start_draw_text();
  draw_rect(10, 5, 30, 20, 0xFF00FF00);
  draw_rect(40, 30, 50, 40, 0x80FF0000);
  end_draw_text();
  endFrame();
  Picture want{64, 48, std::vector<uint32_t>(64 * 48, 0xFF000000)};
  for (int y = 5; y < 20; y++)
    for (int x = 10; x < 30; x++) want.at(x, row_of(y)) = 0xFF00FF00;
  for (int y = 30; y < 40; y++)
    for (int x = 40; x < 50; x++) want.at(x, row_of(y)) = blend(0x80FF0000, 0xFF000000);
  std::string first;
  EXPECT_EQ(count_differences(readBackBuffer(), want, &first), 0) << first;
}

// The box of white-ish pixels: x0, y0 (bottom-left origin), x1, y1 exclusive.
struct Ink {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
};
template <class Test>
Ink ink_where(const std::vector<uint32_t>& px, Test test) {
  Ink ink;
  for (int row = 0; row < d3d_ht; row++)
    for (int x = 0; x < d3d_wd; x++) {
      if (!test(px[(size_t)row * d3d_wd + x])) continue;
      int y = d3d_ht - 1 - row;
      ink.x0 = std::min(ink.x0, x);
      ink.x1 = std::max(ink.x1, x + 1);
      ink.y0 = std::min(ink.y0, y);
      ink.y1 = std::max(ink.y1, y + 1);
      ink.count++;
    }
  return ink;
}

bool is_white(uint32_t p) { return red(p) > 240 && green(p) > 240 && blue(p) > 240; }

TEST_F(TextPixelsTest, SplashAt1280x720) {
  startDevice(1280, 720);
  init_font();
  ASSERT_EQ(font_scale, 3);
  show_splash("Loading...", 0.5f);
  std::vector<uint32_t> px = readBackBuffer();
  keepPicture("splash");
  auto at = [&](int x, int yUp) { return px[(size_t)row_of(yUp) * 1280 + x]; };
  // The bar: x 480..800, y 108..144; the left half green, the rest black.
  EXPECT_EQ(at(480, 108), 0xFF32960Au);
  EXPECT_EQ(at(639, 143), 0xFF32960Au);
  EXPECT_EQ(at(640, 108), 0xFF000000u);
  EXPECT_EQ(at(799, 143), 0xFF000000u);
  EXPECT_EQ(at(800, 120), 0xFF000A28u);
  EXPECT_EQ(at(479, 120), 0xFF000A28u);
  EXPECT_EQ(at(600, 144), 0xFF000A28u);
  EXPECT_EQ(at(600, 107), 0xFF000A28u);
  // The text, centred on (640, 180): its box starts at 640 - w / 2 and its one line
  // spans 168..192.
  int w = 0, h = 0;
  calc_text_size("Loading...", -1, w, h);
  Ink ink = ink_where(px, is_white);
  ASSERT_GT(ink.count, 0);
  EXPECT_EQ(ink.x0, 640 - w / 2);
  EXPECT_GE(ink.y0, 168);
  EXPECT_LE(ink.y1, 192);
  EXPECT_LE(ink.x1, 640 - w / 2 + w);

  // No progress: only the text. A long text is cut, not fatal.
  std::string longText(400, 'x');
  show_splash(longText.c_str(), -1);
  EXPECT_EQ(strlen(splash_text.str), 255u);
  EXPECT_FLOAT_EQ(splash_progress, -1);
  px = readBackBuffer();
  EXPECT_EQ(at(480, 120), 0xFF000A28u);
  // Null text and a progress past 1: an empty line, the green part beyond the bar.
  show_splash(nullptr, 1.25f);
  px = readBackBuffer();
  EXPECT_EQ(ink_where(px, is_white).count, 0);
  EXPECT_EQ(at(860, 120), 0xFF32960Au);
  EXPECT_EQ(at(880, 120), 0xFF000A28u);
}

TEST_F(TextPixelsTest, VisualLogAndErrorMessage) {
  startDevice(320, 240);
  init_font();
  clear_visual_log();
  set_error_message(nullptr);
  const int c = font_cell_height;
  // Nothing to show: nothing drawn.
  beginFrame(0xFF000000);
  start_draw_text();
  draw_visual_log();
  draw_error_message();
  EXPECT_EQ(common_vb_writer.used(), 0);
  end_draw_text();
  endFrame();

  visual_log("first");
  visual_log("second");
  set_error_message("Error in game script:\nsomething went wrong");
  int scaleBefore = font_scale;
  beginFrame(0xFF000000);
  start_draw_text();
  draw_visual_log();
  draw_error_message();
  end_draw_text();
  endFrame();
  EXPECT_EQ(font_scale, scaleBefore);
  std::vector<uint32_t> px = readBackBuffer();
  keepPicture("visual_log");
  // The band: 12c pixels across the top, 0xCC660000 over black.
  uint32_t band = blend(0xCC660000, 0xFF000000);
  EXPECT_TRUE(near(px[(size_t)row_of(239) * 320 + 2], band));
  EXPECT_TRUE(near(px[(size_t)row_of(240 - 12 * c) * 320 + 2], band));
  EXPECT_TRUE(near(px[(size_t)row_of(240 - 12 * c - 1) * 320 + 2], 0xFF000000));
  // Yellow lines in the band, their block's top c below the top edge.
  Ink yellow = ink_where(px, [](uint32_t p) { return red(p) > 240 && green(p) > 220 && blue(p) < 40; });
  ASSERT_GT(yellow.count, 0);
  EXPECT_LE(yellow.y1, 240 - c);
  EXPECT_GE(yellow.y0, 240 - c - 2 * 2 * c);
  // White log lines at scale 2 from x 2c, the newest line's bottom 2c above the bottom.
  Ink white = ink_where(px, is_white);
  ASSERT_GT(white.count, 0);
  EXPECT_EQ(white.x0, 2 * c);
  EXPECT_GE(white.y0, 2 * c);
  EXPECT_LE(white.y1, 6 * c);

  // A message far longer than the screen draws without ending the program.
  set_error_message(std::string(20000, 'e').c_str());
  beginFrame(0xFF000000);
  start_draw_text();
  draw_error_message();
  end_draw_text();
  endFrame();
  set_error_message(nullptr);
  clear_visual_log();
}

TEST_F(TextPixelsTest, StatisticsOverlayWithTheSystemFont) {
  startDevice(640, 480);
  init_font();
  for (int i = 0; i < STATS_RING_SIZE; i++) {
    frame_time_ring[i] = 10000 + i * 100;
    update_time_ring[i] = 2000 + i * 10;
    gpu_activity_ring[i] = -1;
  }
  last_fps = 60;
  const D3dColor bg = 0xFF808080;
  beginFrame(bg);
  start_draw_text();
  draw_update_stats();
  end_draw_text();
  endFrame();
  std::vector<uint32_t> px = readBackBuffer();
  keepPicture("stats_overlay");
  // The overlay's scale at 480 lines is 1: L = 8. The panel (wd - 96, ht - 112)-(wd, ht)
  // darkens the background by 0x40000000 where no text is.
  uint32_t panel = blend(0x40000000, bg);
  EXPECT_TRUE(near(px[(size_t)row_of(470) * 640 + 550], panel));
  EXPECT_TRUE(near(px[(size_t)row_of(470) * 640 + 540], bg));
  // White text in the panel's corner: "60" right-aligned at the top right (its box
  // ends with the one-pixel gap after the last glyph), "FPS" from wd - 88.
  std::vector<uint32_t> right(px);
  for (int row = 0; row < 480; row++)
    for (int x = 0; x < 320; x++) right[(size_t)row * 640 + x] = bg;
  Ink panelText = ink_where(right, [](uint32_t p) { return is_white(p); });
  ASSERT_GT(panelText.count, 0);
  EXPECT_EQ(panelText.x1, 639);
  EXPECT_LE(panelText.y1, 480);
  EXPECT_GE(panelText.y1, 478);
  EXPECT_GE(panelText.x0, 640 - 88);
  // The frame graph: 100 bars 3 pixels wide from wd - 300, green below the limit.
  Ink bars = ink_where(right, [](uint32_t p) { return green(p) > red(p) + 30 && green(p) > blue(p) + 30; });
  ASSERT_GT(bars.count, 0);
  EXPECT_EQ(bars.x0, 640 - 300 + 1 + 1);
  EXPECT_EQ(bars.y0, 0);
  // The text state is back as it was.
  EXPECT_EQ(font_scale, 2);
  EXPECT_EQ(line_gap, 0);
}

// The boxes of the overlay's texts, as the system font places them.
struct TextBox {
  std::string text;
  int x0, y0, x1, y1;  // bottom-left origin; the gap after the last glyph holds the shadow, the row below too
};
std::vector<TextBox> overlay_texts;

void record_text(const char* text, int len, int x, int y, int alignX, int alignY, D3dColor color) {
  std::string s = len < 0 ? std::string(text) : std::string(text, (size_t)len);
  int w = 0, h = 0;
  calc_text_size(s.c_str(), (int)s.size(), w, h);
  int left = x - ((alignX + 1) * w) / 2;
  int bottom = y + line_gap - ((alignY + 1) * h) / 2;
  overlay_texts.push_back({s, left, bottom - 1, left + w, bottom + h});
  draw_text(text, len, x, y, alignX, alignY, color);
}

void set_text_layout(int lineSpacing, int charSpacing, int scale) {
  line_gap = lineSpacing;
  char_gap = charSpacing;
  font_scale = scale;
}

TEST_F(TextPixelsTest, StatisticsOverlayTextsStayOnA1920x1080Screen) {
  startDevice(1920, 1080);
  init_font();
  StatsCanvas canvas;
  canvas.width = 1920;
  canvas.height = 1080;
  canvas.cellHeight = font_cell_height;
  canvas.pushTextState = push_text_state;
  canvas.popTextState = pop_text_state;
  canvas.setTextLayout = set_text_layout;
  canvas.drawText = record_text;
  canvas.drawRect = draw_rect;
  canvas.freeTexmem = [] { return 4095u << 20; };
  canvas.updateStepUsec = [] { return 50000; };
  ASSERT_TRUE(set_stats_canvas(&canvas));
  // The widest figures the panel shows: six-digit frame times, GPU load present.
  for (int i = 0; i < STATS_RING_SIZE; i++) {
    frame_time_ring[i] = 999999 - i;
    update_time_ring[i] = 99999 - i;
    gpu_activity_ring[i] = 100;
  }
  last_fps = 9999;
  overlay_texts.clear();
  beginFrame(0xFF404040);
  start_draw_text();
  draw_update_stats();
  end_draw_text();
  endFrame();
  keepPicture("stats_overlay_1080");
  set_stats_canvas(nullptr);

  ASSERT_GE(overlay_texts.size(), 20u);
  for (const TextBox& t : overlay_texts) {
    SCOPED_TRACE("\"" + t.text + "\"");
    EXPECT_GE(t.x0, 0);
    EXPECT_GE(t.y0, 0);
    EXPECT_LE(t.x1, 1920);
    EXPECT_LE(t.y1, 1080);
  }
}

TEST_F(TextPixelsTest, StatisticsCanvasMustBeComplete) {
  StatsCanvas partial;
  partial.pushTextState = [] {};
  EXPECT_FALSE(set_stats_canvas(&partial));
  startDevice(320, 240);
  init_font();
  // Refused: the system font's canvas stays installed and draws.
  EXPECT_FALSE(set_stats_canvas(&partial));
  beginFrame(0xFF000000);
  start_draw_text();
  draw_update_stats();
  EXPECT_GT(common_vb_writer.used(), 0);
  end_draw_text();
  endFrame();
  EXPECT_TRUE(set_stats_canvas(nullptr));
}

// ---- distance-field text --------------------------------------------------------------

class DistPixelsTest : public TextPixelsTest {
protected:
  void SetUp() override {
    TextPixelsTest::SetUp();
    startDevice(320, 160);
    init_dist_fonts();
    ASSERT_TRUE(font.load("fonts/regular.fnt"));
  }
  void TearDown() override {
    font.clear();
    TextPixelsTest::TearDown();
  }
  void draw(const char* text, float size, float shape1, float shape2, D3dColor colour2) {
    RenderBatch batch;
    font.renderText(batch, v_make(20, 20, 300, 140), TEXT_LEFT | TEXT_TOP, 0xFFFFFFFF, size, text, -1, 0, shape1,
                    shape2, 0, colour2, nullptr);
    beginFrame(0xFF000000);
    start_dist_font_render();
    batch.render();
    end_dist_font_render();
    endFrame();
  }
  // Each glyph's visible box on screen (top-left origin), laid out as renderText does.
  std::vector<std::vector<float>> glyph_boxes(const char* text, float size) {
    std::vector<std::vector<float>> boxes;
    float s = size / font.size;
    __m128 rect = v_make(20, 20, 300, 140);
    for (int i = 0; text[i]; i++) {
      __m128 pen = font.getTextPos(i + 1, rect, TEXT_LEFT | TEXT_TOP, size, text, -1);
      int used;
      const DistGlyph* g = font.findGlyph((uint8_t)text[i], &used);
      float k = i > 0 ? font.kerning((uint8_t)text[i - 1], used) : 0;
      float x0 = v_x(pen) + (g->xoffset + k + font.spread) * s, y0 = v_y(pen) - (g->yoffset - font.spread) * s;
      boxes.push_back({x0, y0, x0 + (g->width - 2 * font.spread) * s, y0 + (g->height - 2 * font.spread) * s});
    }
    return boxes;
  }
  DistFont font;
};

TEST_F(DistPixelsTest, AWordHasInkInsideEachGlyphAndNoneOutside) {
  const char* word = "Hxg";
  draw(word, 64, 0, 0, 0);
  keepPicture("dist_word");
  std::vector<uint32_t> px = readBackBuffer();
  std::vector<std::vector<float>> boxes = glyph_boxes(word, 64);
  float s = 64.0f / font.size;
  for (size_t i = 0; i < boxes.size(); i++) {
    const std::vector<float>& b = boxes[i];
    int inside = 0;
    for (int y = (int)b[1]; y < (int)b[3]; y++)
      for (int x = (int)b[0]; x < (int)b[2]; x++) inside += red(px[(size_t)y * 320 + x]) > 128;
    EXPECT_GT(inside, (b[2] - b[0]) * (b[3] - b[1]) * 0.1) << "glyph " << i;
  }
  // Nothing lit outside the union of the boxes grown by a pixel and a half.
  int outside = 0;
  for (int y = 0; y < 160; y++)
    for (int x = 0; x < 320; x++) {
      bool in = false;
      for (const std::vector<float>& b : boxes)
        in |= x >= b[0] - 1.5f && x < b[2] + 1.5f && y >= b[1] - 1.5f && y < b[3] + 1.5f;
      if (!in && red(px[(size_t)y * 320 + x]) > 24) outside++;
    }
  EXPECT_EQ(outside, 0);
  // Edges are smooth: some pixels lie between ink and background.
  int partial = 0;
  for (uint32_t p : px) partial += red(p) > 40 && red(p) < 215;
  EXPECT_GT(partial, 20);
  (void)s;
}

TEST_F(DistPixelsTest, TheShadowIsTheGlyphMovedByItsOffset) {
  // shape1 = shape2 = 0.5: 0.5 * 32 * 0.32 = 5.12 texels, stored as 2.5 / 255 of the
  // 512-texel page = 5.02 texels, at twice the font's size 10 pixels right and down.
  draw("H", 64, 0.5f, 0.5f, 0xFF0000FF);
  keepPicture("dist_shadow");
  std::vector<uint32_t> px = readBackBuffer();
  auto scan = [&](bool wantBlue) {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    for (int y = 0; y < 160; y++)
      for (int x = 0; x < 320; x++) {
        uint32_t p = px[(size_t)y * 320 + x];
        bool hit = wantBlue ? blue(p) > 200 && red(p) < 40 : red(p) > 200 && blue(p) > 200;
        if (!hit) continue;
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
    return std::vector<int>{x0, y0, x1, y1};
  };
  std::vector<int> white = scan(false), shadow = scan(true);
  ASSERT_GE(white[2], 0);
  ASSERT_GE(shadow[2], 0);
  // The shadow's far edges lie 10 pixels beyond the glyph's.
  EXPECT_NEAR(shadow[2] - white[2], 10, 1.5);
  EXPECT_NEAR(shadow[3] - white[3], 10, 1.5);
  // Drawn under the glyph: the glyph's top-left stays white.
  EXPECT_NEAR(shadow[0] - white[0], 10, 1.5);
}

// ---- rounded boxes -------------------------------------------------------------------------

TEST_F(TextPixelsTest, RoundedBoxEdgesAndShadow) {
  startDevice(200, 100);
  init_rounded_box_render();
  const D3dColor bg = 0xFF303030;
  RenderBatch batch;
  // A red box with corners of 8 and a one-pixel edge, no second layer.
  render_rounded_box(batch, v_make(20, 20, 60, 50), v_make(8, 8, 8, 8), 0xFFFF0000, 1, 0, 0, 0, 0, -1);
  // A green box with square corners over a hard black shadow 6 pixels right and down.
  render_rounded_box(batch, v_make(100, 20, 140, 50), v_make(0, 0, 0, 0), 0xFF00FF00, 0.5f, 6, 6, 0, 0xFF000000, 0);
  // A blurred, spread shadow.
  render_rounded_box(batch, v_make(160, 30, 180, 60), v_make(4, 4, 4, 4), 0xFF0000FF, 1, 0, 0, 6, 0xFFFFFFFF, 2);
  beginFrame(bg);
  start_gui_render();
  set_blend_prealpha();
  batch.render();
  end_gui_render();
  endFrame();
  keepPicture("rounded_boxes");
  std::vector<uint32_t> px = readBackBuffer();
  auto at = [&](int x, int y) { return px[(size_t)y * 200 + x]; };
  EXPECT_EQ(at(40, 35), 0xFFFF0000u);
  EXPECT_EQ(at(21, 35), 0xFFFF0000u);
  EXPECT_EQ(at(18, 35), bg);
  // The rounded corner leaves the box's corner pixel empty and its diagonal partial.
  EXPECT_EQ(at(20, 20), bg);
  EXPECT_EQ(at(25, 25), 0xFFFF0000u);
  // Along the left edge one column blends red into the background.
  int r = red(at(20, 35));
  EXPECT_GT(r, red(bg) + 40);
  EXPECT_LT(r, 255 - 20);

  // Square corners: the pixel next to the corner is filled (the rounded one's is
  // not); the shadow shows below and right only.
  EXPECT_EQ(at(101, 21), 0xFF00FF00u);
  EXPECT_EQ(at(21, 21), bg);
  EXPECT_EQ(at(143, 53), 0xFF000000u);
  EXPECT_EQ(at(120, 53), 0xFF000000u);
  EXPECT_EQ(at(103, 53), bg);
  EXPECT_EQ(at(143, 23), bg);
  EXPECT_EQ(at(120, 35), 0xFF00FF00u);

  // The blurred shadow fades outward from the box.
  int near1 = red(at(182, 45)), near2 = red(at(186, 45)), far = red(at(189, 45));
  EXPECT_GT(near1, near2);
  EXPECT_GT(near2, far);
  EXPECT_GT(near1, red(bg) + 60);
  EXPECT_TRUE(near(at(195, 45), bg));
  EXPECT_EQ(at(170, 45), 0xFF0000FFu);
}

}  // namespace
